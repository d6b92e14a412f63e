#include "tools/CameraControlTable.h"

namespace quilo::host {

using Proc = ICQuiloVideoProcClass;

// Gamma is read only through the class's extra slot; its support query and setter are published.
const CameraControl kCameraControls[8] = {
    {"brightness", "IsCameraSupportBrightness", "GetCameraBrightnessParam", "SetCameraBrightnessParam",
     &Proc::IsCameraSupportBrightness, &Proc::GetCameraBrightnessParam, &Proc::SetCameraBrightnessParam},
    {"contrast", "IsCameraSupportContrast", "GetCameraContrastParam", "SetCameraContrastParam",
     &Proc::IsCameraSupportContrast, &Proc::GetCameraContrastParam, &Proc::SetCameraContrastParam},
    {"hue", "IsCaneraSupportHue", "GetCameraHueParam", "SetCameraHueParam",
     &Proc::IsCaneraSupportHue, &Proc::GetCameraHueParam, &Proc::SetCameraHueParam},
    {"saturation", "IsCameraSupportSaturation", "GetCameraSaturationParam", "SetCameraSaturationParam",
     &Proc::IsCameraSupportSaturation, &Proc::GetCameraSaturationParam, &Proc::SetCameraSaturationParam},
    {"sharpness", "IsCameraSupportSharpness", "GetCameraSharpnessParam", "SetCameraSharpnessParam",
     &Proc::IsCameraSupportSharpness, &Proc::GetCameraSharpnessParam, &Proc::SetCameraSharpnessParam},
    {"gamma", "IsCameraSupportGamma", "GetCameraGammaParam", "SetCameraGammaParam",
     &Proc::IsCameraSupportGamma, &Proc::GetCameraGammaParam, &Proc::SetCameraGammaParam},
    {"whitebalance", "IsCameraSupportWhiteBalance", "GetCameraWhiteBlanceParam", "SetCameraWhiteBalance",
     &Proc::IsCameraSupportWhiteBalance, &Proc::GetCameraWhiteBlanceParam, &Proc::SetCameraWhiteBalance},
    {"backlightcompensation", "IsCameraSupportBacklightCompensation", "GetCameraBacklightCompensationParam",
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
