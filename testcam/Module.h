// Module state of QuiloTestCamera.ax: its instance handle and the server lock count.
#pragma once

#include <windows.h>

namespace quilo::testcam {

HINSTANCE module_instance();
void lock_module();
void unlock_module();

// Writes and removes the class keys of the filter and its property page; removing them also
// removes every test camera device, since none of them could be bound any more.
HRESULT register_server();
HRESULT unregister_server();

} // namespace quilo::testcam
