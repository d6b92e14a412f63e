#include "tools/CameraControlTable.h"

namespace quilo::host {

using Proc = ICQuiloVideoProcClass;

// Gamma is read only through the class's extra slot; its support query and setter are published.
const CameraControl kCameraControls[kCameraControlCount] = {
    {"brightness", "Brightness", VideoProcAmp_Brightness, "IsCameraSupportBrightness", "GetCameraBrightnessParam", "SetCameraBrightnessParam",
     &Proc::IsCameraSupportBrightness, &Proc::GetCameraBrightnessParam, &Proc::SetCameraBrightnessParam},
    {"contrast", "Contrast", VideoProcAmp_Contrast, "IsCameraSupportContrast", "GetCameraContrastParam", "SetCameraContrastParam",
     &Proc::IsCameraSupportContrast, &Proc::GetCameraContrastParam, &Proc::SetCameraContrastParam},
    {"hue", "Hue", VideoProcAmp_Hue, "IsCaneraSupportHue", "GetCameraHueParam", "SetCameraHueParam",
     &Proc::IsCaneraSupportHue, &Proc::GetCameraHueParam, &Proc::SetCameraHueParam},
    {"saturation", "Saturation", VideoProcAmp_Saturation, "IsCameraSupportSaturation", "GetCameraSaturationParam", "SetCameraSaturationParam",
     &Proc::IsCameraSupportSaturation, &Proc::GetCameraSaturationParam, &Proc::SetCameraSaturationParam},
    {"sharpness", "Sharpness", VideoProcAmp_Sharpness, "IsCameraSupportSharpness", "GetCameraSharpnessParam", "SetCameraSharpnessParam",
     &Proc::IsCameraSupportSharpness, &Proc::GetCameraSharpnessParam, &Proc::SetCameraSharpnessParam},
    {"gamma", "Gamma", VideoProcAmp_Gamma, "IsCameraSupportGamma", "GetCameraGammaParam", "SetCameraGammaParam",
     &Proc::IsCameraSupportGamma, &Proc::GetCameraGammaParam, &Proc::SetCameraGammaParam},
    {"whitebalance", "White balance", VideoProcAmp_WhiteBalance, "IsCameraSupportWhiteBalance", "GetCameraWhiteBlanceParam", "SetCameraWhiteBalance",
     &Proc::IsCameraSupportWhiteBalance, &Proc::GetCameraWhiteBlanceParam, &Proc::SetCameraWhiteBalance},
    {"backlightcompensation", "Backlight compensation", VideoProcAmp_BacklightCompensation, "IsCameraSupportBacklightCompensation", "GetCameraBacklightCompensationParam",
     "SetCameraBlacklightCompansationParam", &Proc::IsCameraSupportBacklightCompensation,
     &Proc::GetCameraBacklightCompensationParam, &Proc::SetCameraBlacklightCompansationParam},
};

const CameraControl *find_camera_control(const char *name)
{
    if (!name) return nullptr;
    for (const auto &control : kCameraControls)
        if (lstrcmpiA(control.name, name) == 0) return &control;
    return nullptr;
}

} // namespace quilo::host
