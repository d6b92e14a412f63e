// Every image and camera property of both platform interfaces by name, with its range, default,
// value and automatic mode: IAMVideoProcAmp's ten and IAMCameraControl's seven. The one table of
// their names: QuiloVideo.Camera, quilo-grab and quilo-view, and the test camera's options and
// list read it.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <vector>

namespace quilo::dshow {

struct DeviceProperty
{
    const wchar_t *name;  // "Brightness" … "Gain", "Pan" … "Focus": QuiloVideo.Camera's names
    const char *option;   // "brightness" … "focus": the test camera's and quilo-grab's
    const char *label;    // "White balance": as a window shows it
    bool cameraControl;   // IAMCameraControl's, else IAMVideoProcAmp's
    long id;              // VideoProcAmpProperty or CameraControlProperty
};

// All seventeen, procamp first, each in its interface's order.
const std::vector<DeviceProperty> &device_properties();
// By name, ignoring case; null for no such property.
const DeviceProperty *find_device_property(const wchar_t *name);
// By option name, exactly; null for no such property.
const DeviceProperty *find_device_option(const char *option);
// By interface and id; null for no such property.
const DeviceProperty *find_device_property(bool cameraControl, long id);

struct PropertyState
{
    LONG minimum = 0, maximum = 0, step = 0, defaultValue = 0;
    LONG value = 0;
    bool canAuto = false; // the range's capability flags include automatic
    bool isAuto = false;  // the current flags say automatic
};

// The device's range and current setting; the device's failure (E_PROP_ID_UNSUPPORTED and the
// like) when it has no such property, E_NOINTERFACE when it lacks the interface.
HRESULT read_property(IAMVideoProcAmp *procAmp, IAMCameraControl *camera, const DeviceProperty &property,
                      PropertyState &state);
// Sets a manual value, or (automatic) hands the property to the device, keeping its value.
HRESULT write_property(IAMVideoProcAmp *procAmp, IAMCameraControl *camera, const DeviceProperty &property,
                       LONG value, bool automatic);

} // namespace quilo::dshow
