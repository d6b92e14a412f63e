// The registry tree of CCQuiloVideoProc: its two ProgIDs and its class key.
#pragma once

#include <windows.h>

namespace quilo::shell {

// Registration routine of the class table entry, for the module's own file.
HRESULT update_video_proc_registry(bool doRegister) noexcept;

} // namespace quilo::shell
