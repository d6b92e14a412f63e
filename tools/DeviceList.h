// The platform's list of video input devices, in the order hosts address them by position.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

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

// Position of the first device whose name equals `name`, or -1.
long find_video_device(const std::vector<VideoDevice> &devices, const std::string &name);

} // namespace quilo::host
