// The automation class QuiloVideo.Camera: cameras by name or path, their formats and frame
// rates, and timestamped frames, for late-bound hosts (scripts, VBA, PowerShell, Python, C#).
#pragma once

#include <unknwn.h>

namespace quilo::shell {

// A new object handing out `iid`; it cannot be aggregated.
HRESULT create_camera(IUnknown *outer, REFIID iid, void **out) noexcept;

} // namespace quilo::shell
