// The analog video standards by the names the component takes and gives, exact and
// case-sensitive, in the order both directions search them; the values are DirectShow's
// AnalogVideoStandard bits.
#pragma once

#include <windows.h>
#include <strmif.h>

namespace quilo::dshow {

struct VideoStandardName
{
    const char *name;
    long value;
};

constexpr VideoStandardName kVideoStandards[] = {
    {"NTSC_M", AnalogVideo_NTSC_M},   {"NTSC_J", AnalogVideo_NTSC_M_J},   {"NTSC_433", AnalogVideo_NTSC_433},
    {"PAL_B", AnalogVideo_PAL_B},     {"PAL_D", AnalogVideo_PAL_D},       {"PAL_G", AnalogVideo_PAL_G},
    {"PAL_H", AnalogVideo_PAL_H},     {"PAL_I", AnalogVideo_PAL_I},       {"PAL_M", AnalogVideo_PAL_M},
    {"PAL_N", AnalogVideo_PAL_N},     {"PAL_60", AnalogVideo_PAL_60},     {"SECAM_B", AnalogVideo_SECAM_B},
    {"SECAM_D", AnalogVideo_SECAM_D}, {"SECAM_G", AnalogVideo_SECAM_G},   {"SECAM_H", AnalogVideo_SECAM_H},
    {"SECAM_K", AnalogVideo_SECAM_K}, {"SECAM_K1", AnalogVideo_SECAM_K1}, {"SECAM_L", AnalogVideo_SECAM_L},
    {"SECAM_L1", AnalogVideo_SECAM_L1},
};

// What the component answers for a device without an analog video decoder.
constexpr char kNoVideoDecoderText[] = "None Video";

} // namespace quilo::dshow
