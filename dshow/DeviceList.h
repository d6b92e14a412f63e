// The platform's list of video input devices, in the order hosts address them by position:
// the one device walk of the component, the tools, the benchmark and the tests.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <string>
#include <vector>

#include "common/ComPtr.h"

namespace quilo::dshow {

struct VideoDevice
{
    long position = 0;
    bool hasName = false;
    std::string name; // in the ANSI code page; empty when the device gives none
    std::wstring wideName;  // the same, as the device gives it
    std::wstring path;      // its "DevicePath"; empty when the device has none
    ComPtr<IMoniker> moniker; // binds exactly this device, even after others come and go
};

// Walks CLSID_VideoInputDeviceCategory through `devices`. An empty category is S_OK with an
// empty list; a failing enumeration is its failure, never a short list.
HRESULT list_video_devices(ICreateDevEnum *devices, std::vector<VideoDevice> &list);
// Binds the device at `position` to its capture filter. E_INVALIDARG for a negative position;
// VFW_E_NO_CAPTURE_HARDWARE when no device has that position; otherwise the first failing
// platform call. A device that cannot give its "FriendlyName" is never bound (its failure),
// but a nameless device before it takes its place without blocking the walk.
HRESULT bind_video_device(ICreateDevEnum *devices, long position, ComPtr<IBaseFilter> &filter);
// Binds one listed device by its moniker, with the same rule for its "FriendlyName".
HRESULT bind_moniker(IMoniker *device, ComPtr<IBaseFilter> &filter);

// The same through the system device enumerator created with CoCreateInstance, as a host
// does; COM must be initialised on the calling thread.
HRESULT list_video_devices(std::vector<VideoDevice> &list);
HRESULT bind_video_device(long position, ComPtr<IBaseFilter> &filter);

// Position of the first device whose name equals `name`, or -1.
long find_video_device(const std::vector<VideoDevice> &list, const std::string &name);

} // namespace quilo::dshow
