#include "dshow/DeviceProperties.h"

#include <cstring>

#include "common/HResult.h"

namespace quilo::dshow {

const std::vector<DeviceProperty> &device_properties()
{
    static const std::vector<DeviceProperty> table = {
        {L"Brightness", "brightness", "Brightness", false, VideoProcAmp_Brightness},
        {L"Contrast", "contrast", "Contrast", false, VideoProcAmp_Contrast},
        {L"Hue", "hue", "Hue", false, VideoProcAmp_Hue},
        {L"Saturation", "saturation", "Saturation", false, VideoProcAmp_Saturation},
        {L"Sharpness", "sharpness", "Sharpness", false, VideoProcAmp_Sharpness},
        {L"Gamma", "gamma", "Gamma", false, VideoProcAmp_Gamma},
        {L"ColorEnable", "colorenable", "Color enable", false, VideoProcAmp_ColorEnable},
        {L"WhiteBalance", "whitebalance", "White balance", false, VideoProcAmp_WhiteBalance},
        {L"BacklightCompensation", "backlightcompensation", "Backlight compensation", false, VideoProcAmp_BacklightCompensation},
        {L"Gain", "gain", "Gain", false, VideoProcAmp_Gain},
        {L"Pan", "pan", "Pan", true, CameraControl_Pan},
        {L"Tilt", "tilt", "Tilt", true, CameraControl_Tilt},
        {L"Roll", "roll", "Roll", true, CameraControl_Roll},
        {L"Zoom", "zoom", "Zoom", true, CameraControl_Zoom},
        {L"Exposure", "exposure", "Exposure", true, CameraControl_Exposure},
        {L"Iris", "iris", "Iris", true, CameraControl_Iris},
        {L"Focus", "focus", "Focus", true, CameraControl_Focus},
    };
    return table;
}

const DeviceProperty *find_device_property(const wchar_t *name)
{
    if (!name) return nullptr;
    for (const auto &property : device_properties())
        if (lstrcmpiW(property.name, name) == 0) return &property;
    return nullptr;
}

const DeviceProperty *find_device_option(const char *option)
{
    if (!option) return nullptr;
    for (const auto &property : device_properties())
        if (std::strcmp(property.option, option) == 0) return &property;
    return nullptr;
}

const DeviceProperty *find_device_property(bool cameraControl, long id)
{
    for (const auto &property : device_properties())
        if (property.cameraControl == cameraControl && property.id == id) return &property;
    return nullptr;
}

// The two interfaces share their flag values: 1 automatic, 2 manual.
static_assert(static_cast<long>(VideoProcAmp_Flags_Auto) == static_cast<long>(CameraControl_Flags_Auto), "automatic flag");
static_assert(static_cast<long>(VideoProcAmp_Flags_Manual) == static_cast<long>(CameraControl_Flags_Manual), "manual flag");

HRESULT read_property(IAMVideoProcAmp *procAmp, IAMCameraControl *camera, const DeviceProperty &property,
                      PropertyState &state)
{
    state = PropertyState();
    LONG capabilities = 0, flags = 0;
    if (property.cameraControl) {
        RETURN_HR_IF(E_NOINTERFACE, !camera);
        RETURN_IF_FAILED(camera->GetRange(property.id, &state.minimum, &state.maximum, &state.step,
                                          &state.defaultValue, &capabilities));
        RETURN_IF_FAILED(camera->Get(property.id, &state.value, &flags));
    } else {
        RETURN_HR_IF(E_NOINTERFACE, !procAmp);
        RETURN_IF_FAILED(procAmp->GetRange(property.id, &state.minimum, &state.maximum, &state.step,
                                           &state.defaultValue, &capabilities));
        RETURN_IF_FAILED(procAmp->Get(property.id, &state.value, &flags));
    }
    state.canAuto = (capabilities & VideoProcAmp_Flags_Auto) != 0;
    state.isAuto = (flags & VideoProcAmp_Flags_Auto) != 0;
    return S_OK;
}

HRESULT write_property(IAMVideoProcAmp *procAmp, IAMCameraControl *camera, const DeviceProperty &property,
                       LONG value, bool automatic)
{
    const LONG flags = automatic ? VideoProcAmp_Flags_Auto : VideoProcAmp_Flags_Manual;
    if (property.cameraControl) {
        RETURN_HR_IF(E_NOINTERFACE, !camera);
        return camera->Set(property.id, value, flags);
    }
    RETURN_HR_IF(E_NOINTERFACE, !procAmp);
    return procAmp->Set(property.id, value, flags);
}

} // namespace quilo::dshow
