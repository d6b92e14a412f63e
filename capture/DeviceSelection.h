// Opening a video input device by its position in the platform's device list.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "capture/Platform.h"
#include "common/ComPtr.h"

namespace quilo::capture {

// Binds the device at `position` (from 0, in the platform's order) to its capture filter.
// E_INVALIDARG for a negative position; VFW_E_NO_CAPTURE_HARDWARE when there is no device at
// that position; otherwise the result of the first failing platform call. Only the wanted
// device has to give its "FriendlyName".
HRESULT bindDeviceByIndex(Platform &platform, LONG position, ComPtr<IBaseFilter> &captureFilter);

} // namespace quilo::capture
