// What the device itself says about its image controls: range, step and current value from its
// own IAMVideoProcAmp, the device found by position through the same device list the
// component uses.
#pragma once

#include <windows.h>
#include <array>

#include "tools/CameraControlTable.h"

namespace quilo::host {

struct ControlRange
{
    HRESULT result = E_FAIL; // GetRange's, or Get's when GetRange succeeded
    long min = 0;
    long max = 0;
    long step = 1;
    long value = 0;
};

using ControlRanges = std::array<ControlRange, kCameraControlCount>;

// One entry per control of kCameraControls. Fails as a whole only when the device cannot be
// bound or has no IAMVideoProcAmp; a control the device lacks has its own failure. COM must be
// initialised on the calling thread.
HRESULT read_control_ranges(long position, ControlRanges &ranges);

} // namespace quilo::host
