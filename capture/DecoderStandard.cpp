#include "capture/DecoderStandard.h"

#include <cstring>

#include "common/HResult.h"
#include "dshow/VideoStandards.h"

namespace quilo::capture {
namespace {

void write_text(unsigned char *out, const char *text)
{
    std::memcpy(out, text, std::strlen(text) + 1);
}

} // namespace

long video_standard_value(const char *name) noexcept
{
    // strcmp stops at the first difference, so it never reads far past a table name's length.
    for (const auto &entry : dshow::kVideoStandards)
        if (std::strcmp(entry.name, name) == 0) return entry.value;
    return 0;
}

const char *video_standard_name(long value) noexcept
{
    for (const auto &entry : dshow::kVideoStandards)
        if (entry.value == value) return entry.name;
    return nullptr;
}

HRESULT get_video_standard(IAMAnalogVideoDecoder *decoder, unsigned char *name)
{
    RETURN_HR_IF_NULL(E_POINTER, name);
    if (!decoder) {
        write_text(name, dshow::kNoVideoDecoderText);
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

HRESULT available_video_standards(IAMAnalogVideoDecoder *decoder, std::vector<const char *> &names)
{
    names.clear();
    RETURN_HR_IF(E_POINTER, !decoder);
    long available = 0;
    RETURN_IF_FAILED(decoder->get_AvailableTVFormats(&available));
    for (const auto &entry : dshow::kVideoStandards)
        if (available & entry.value) names.push_back(entry.name);
    return S_OK;
}

} // namespace quilo::capture
