// The platform's list of video input devices, in the order hosts address them by position.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <string>
#include <vector>

#include "common/ComPtr.h"

namespace quilo::host {

struct VideoDevice
{
    long position = 0;
    bool hasName = false;
    std::string name; // in the ANSI code page; empty when the device gives none
};

// Walks CLSID_VideoInputDeviceCategory through the system device enumerator. COM must be
// initialised on the calling thread. An empty category is S_OK with an empty list.
HRESULT list_video_devices(std::vector<VideoDevice> &devices);

// Binds the device at `position` to its capture filter, as a host that builds its own graph
// does; VFW_E_NO_CAPTURE_HARDWARE when there is none there.
HRESULT bind_video_device(long position, ComPtr<IBaseFilter> &filter);

// Position of the first device whose name equals `name`, or -1.
long find_video_device(const std::vector<VideoDevice> &devices, const std::string &name);

} // namespace quilo::host
