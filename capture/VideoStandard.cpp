#include "capture/VideoStandard.h"

#include <cstring>

#include "common/HResult.h"

namespace quilo::capture {
namespace {

struct VideoStandardEntry
{
    const char *name;
    long value;
};

// Searched in this order both ways; the values are DirectShow's AnalogVideoStandard bits.
constexpr VideoStandardEntry kVideoStandards[] = {
    {"NTSC_M", AnalogVideo_NTSC_M},   {"NTSC_J", AnalogVideo_NTSC_M_J},   {"NTSC_433", AnalogVideo_NTSC_433},
    {"PAL_B", AnalogVideo_PAL_B},     {"PAL_D", AnalogVideo_PAL_D},       {"PAL_G", AnalogVideo_PAL_G},
    {"PAL_H", AnalogVideo_PAL_H},     {"PAL_I", AnalogVideo_PAL_I},       {"PAL_M", AnalogVideo_PAL_M},
    {"PAL_N", AnalogVideo_PAL_N},     {"PAL_60", AnalogVideo_PAL_60},     {"SECAM_B", AnalogVideo_SECAM_B},
    {"SECAM_D", AnalogVideo_SECAM_D}, {"SECAM_G", AnalogVideo_SECAM_G},   {"SECAM_H", AnalogVideo_SECAM_H},
    {"SECAM_K", AnalogVideo_SECAM_K}, {"SECAM_K1", AnalogVideo_SECAM_K1}, {"SECAM_L", AnalogVideo_SECAM_L},
    {"SECAM_L1", AnalogVideo_SECAM_L1},
};

void write_text(unsigned char *out, const char *text)
{
    std::memcpy(out, text, std::strlen(text) + 1);
}

} // namespace

long video_standard_value(const char *name) noexcept
{
    // strcmp stops at the first difference, so it never reads far past a table name's length.
    for (const auto &entry : kVideoStandards)
        if (std::strcmp(entry.name, name) == 0) return entry.value;
    return 0;
}

const char *video_standard_name(long value) noexcept
{
    for (const auto &entry : kVideoStandards)
        if (entry.value == value) return entry.name;
    return nullptr;
}

HRESULT get_video_standard(IAMAnalogVideoDecoder *decoder, unsigned char *name)
{
    RETURN_HR_IF_NULL(E_POINTER, name);
    if (!decoder) {
        write_text(name, kNoVideoDecoderText);
        return S_OK;
    }
    long value = 0;
    const HRESULT hr = decoder->get_TVFormat(&value);
    if (FAILED(hr)) {
        write_text(name, "");
        return hr;
    }
    const char *text = video_standard_name(value);
    write_text(name, text ? text : "");
    return S_OK;
}

HRESULT set_video_standard(IAMAnalogVideoDecoder *decoder, const unsigned char *name)
{
    RETURN_HR_IF_NULL(E_POINTER, name);
    if (!decoder) return S_FALSE;
    const long value = video_standard_value(reinterpret_cast<const char *>(name));
    RETURN_HR_IF(E_INVALIDARG, value == 0);
    const HRESULT hr = decoder->put_TVFormat(value);
    // S_FALSE from a decoder is still a success to the host.
    return FAILED(hr) ? hr : S_OK;
}

} // namespace quilo::capture
