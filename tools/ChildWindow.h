// Child controls as quilo-view makes them: visible, with an identifier and the GUI font.
#pragma once

#include <windows.h>

namespace quilo::view {

// `id` -1 for a control nothing needs to find.
HWND make_child(HWND parent, const char *className, const char *text, DWORD style, int id);

} // namespace quilo::view
