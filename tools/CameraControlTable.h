// The eight camera image controls of the component, by the names hosts type.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "QuiloVideoClass.h"

namespace quilo::host {

struct CameraControl
{
    const char *name;        // lower case, as the test camera's options spell them
    const char *label;       // as a window shows it
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

// Case-insensitive lookup; null for an unknown name.
const CameraControl *find_camera_control(const char *name);

} // namespace quilo::host
