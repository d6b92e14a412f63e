// The component's eight image controls as its first class offers them: its methods for each
// property of the one table (dshow/DeviceProperties), which names them.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "QuiloVideoClass.h"
#include "dshow/DeviceProperties.h"

namespace quilo::host {

struct CameraControl
{
    VideoProcAmpProperty property; // the device's own property behind the component's methods
    const char *supportCall; // method names for messages
    const char *getCall;
    const char *setCall;
    HRESULT(STDMETHODCALLTYPE ICQuiloVideoProcClass::*isSupported)(VARIANT_BOOL *);
    HRESULT(STDMETHODCALLTYPE ICQuiloVideoProcClass::*get)(LONG *);
    HRESULT(STDMETHODCALLTYPE ICQuiloVideoProcClass::*set)(LONG);
};

constexpr int kCameraControlCount = 8;
extern const CameraControl kCameraControls[kCameraControlCount];

// The component's methods for a device property; null for one the component has none for.
const CameraControl *find_camera_control(const dshow::DeviceProperty &property);

} // namespace quilo::host
