// Module lifetime of QuiloVideo.ocx: its instance handle and the count of reasons to stay
// loaded (live objects, outside references to the class object, server locks).
#pragma once

#include <windows.h>

namespace quilo::shell {

HINSTANCE module_instance() noexcept;
void lock_module() noexcept;
void unlock_module() noexcept;

} // namespace quilo::shell
