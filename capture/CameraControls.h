// The eight image properties of the device's video processing amplifier: one table, three
// families of calls over it.
#pragma once

#include <windows.h>
#include <strmif.h>

namespace quilo::capture {

enum class CameraProperty : long
{
    Brightness = VideoProcAmp_Brightness,
    Contrast = VideoProcAmp_Contrast,
    Hue = VideoProcAmp_Hue,
    Saturation = VideoProcAmp_Saturation,
    Sharpness = VideoProcAmp_Sharpness,
    Gamma = VideoProcAmp_Gamma,
    WhiteBalance = VideoProcAmp_WhiteBalance,
    BacklightCompensation = VideoProcAmp_BacklightCompensation,
};

// Writes 1 when the device reports a range for the property, else 0; S_OK unless `supported`
// is null.
HRESULT query_support(IAMVideoProcAmp *procAmp, CameraProperty property, VARIANT_BOOL *supported);
// The device's current value, straight into *value; the device's result unchanged.
HRESULT get_property(IAMVideoProcAmp *procAmp, CameraProperty property, LONG *value);
// Sets the value with flags 0; the device's result unchanged.
HRESULT set_property(IAMVideoProcAmp *procAmp, CameraProperty property, LONG value);

} // namespace quilo::capture
