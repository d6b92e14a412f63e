#include "tools/CameraControlTable.h"

namespace quilo::host {

using Proc = ICQuiloVideoProcClass;

// Gamma is read only through the class's extra slot; its support query and setter are published.
const CameraControl kCameraControls[kCameraControlCount] = {
    {VideoProcAmp_Brightness, "IsCameraSupportBrightness", "GetCameraBrightnessParam", "SetCameraBrightnessParam",
     &Proc::IsCameraSupportBrightness, &Proc::GetCameraBrightnessParam, &Proc::SetCameraBrightnessParam},
    {VideoProcAmp_Contrast, "IsCameraSupportContrast", "GetCameraContrastParam", "SetCameraContrastParam",
     &Proc::IsCameraSupportContrast, &Proc::GetCameraContrastParam, &Proc::SetCameraContrastParam},
    {VideoProcAmp_Hue, "IsCaneraSupportHue", "GetCameraHueParam", "SetCameraHueParam",
     &Proc::IsCaneraSupportHue, &Proc::GetCameraHueParam, &Proc::SetCameraHueParam},
    {VideoProcAmp_Saturation, "IsCameraSupportSaturation", "GetCameraSaturationParam", "SetCameraSaturationParam",
     &Proc::IsCameraSupportSaturation, &Proc::GetCameraSaturationParam, &Proc::SetCameraSaturationParam},
    {VideoProcAmp_Sharpness, "IsCameraSupportSharpness", "GetCameraSharpnessParam", "SetCameraSharpnessParam",
     &Proc::IsCameraSupportSharpness, &Proc::GetCameraSharpnessParam, &Proc::SetCameraSharpnessParam},
    {VideoProcAmp_Gamma, "IsCameraSupportGamma", "GetCameraGammaParam", "SetCameraGammaParam",
     &Proc::IsCameraSupportGamma, &Proc::GetCameraGammaParam, &Proc::SetCameraGammaParam},
    {VideoProcAmp_WhiteBalance, "IsCameraSupportWhiteBalance", "GetCameraWhiteBlanceParam", "SetCameraWhiteBalance",
     &Proc::IsCameraSupportWhiteBalance, &Proc::GetCameraWhiteBlanceParam, &Proc::SetCameraWhiteBalance},
    {VideoProcAmp_BacklightCompensation, "IsCameraSupportBacklightCompensation", "GetCameraBacklightCompensationParam",
     "SetCameraBlacklightCompansationParam", &Proc::IsCameraSupportBacklightCompensation,
     &Proc::GetCameraBacklightCompensationParam, &Proc::SetCameraBlacklightCompansationParam},
};

const CameraControl *find_camera_control(const dshow::DeviceProperty &property)
{
    if (property.cameraControl) return nullptr;
    for (const auto &control : kCameraControls)
        if (control.property == property.id) return &control;
    return nullptr;
}

} // namespace quilo::host
