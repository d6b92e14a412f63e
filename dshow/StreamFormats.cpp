#include "dshow/StreamFormats.h"

#include <amvideo.h>
#include <dvdmedia.h>
#include <uuids.h>
#include <vfwmsgs.h>
#include <cmath>
#include <cstdlib>

#include "common/ComPtr.h"
#include "common/HResult.h"
#include "dshow/MediaType.h"
#include "dshow/VideoFormat.h"

namespace quilo::dshow {
namespace {

constexpr double kUnitsPerSecond = 10000000.0; // REFERENCE_TIME is in 100 ns units

// Rounded to a thousandth: an interval of 333,333 units is 30 frames per second, as devices mean it.
double rate_of(LONGLONG interval)
{
    return interval > 0 ? std::round(kUnitsPerSecond / static_cast<double>(interval) * 1000.0) / 1000.0 : 0;
}

// The frame interval of a VIDEOINFOHEADER or VIDEOINFOHEADER2 format block, or null.
REFERENCE_TIME *frame_interval(AM_MEDIA_TYPE &mt)
{
    if (!mt.pbFormat) return nullptr;
    if (IsEqualGUID(mt.formattype, FORMAT_VideoInfo) && mt.cbFormat >= sizeof(VIDEOINFOHEADER))
        return &reinterpret_cast<VIDEOINFOHEADER *>(mt.pbFormat)->AvgTimePerFrame;
    if (IsEqualGUID(mt.formattype, FORMAT_VideoInfo2) && mt.cbFormat >= sizeof(VIDEOINFOHEADER2))
        return &reinterpret_cast<VIDEOINFOHEADER2 *>(mt.pbFormat)->AvgTimePerFrame;
    return nullptr;
}

// One capability as a format; false when it is no video format with a bitmap header.
bool describe(AM_MEDIA_TYPE &mt, const VIDEO_STREAM_CONFIG_CAPS &limits, StreamFormat &format)
{
    const BITMAPINFOHEADER *bitmap = dshow::bitmap_header(mt);
    if (!IsEqualGUID(mt.majortype, MEDIATYPE_Video) || !bitmap) return false;
    format.width = bitmap->biWidth;
    format.height = std::labs(bitmap->biHeight);
    format.subtype = mt.subtype;
    format.minRate = rate_of(limits.MaxFrameInterval);
    format.maxRate = rate_of(limits.MinFrameInterval);
    if (format.maxRate == 0) {
        // A device that gives no interval range streams at its format's one rate.
        const REFERENCE_TIME *interval = frame_interval(mt);
        format.maxRate = format.minRate = interval ? rate_of(*interval) : 0;
    }
    if (format.minRate == 0 || format.minRate > format.maxRate) format.minRate = format.maxRate;
    return true;
}

// Calls `each` with every capability: its media type, its limits and its description.
template <class Each> HRESULT for_each_capability(IAMStreamConfig *config, Each each)
{
    int count = 0, size = 0;
    RETURN_IF_FAILED(config->GetNumberOfCapabilities(&count, &size));
    // Video capabilities are VIDEO_STREAM_CONFIG_CAPS; a pin that says otherwise lists none.
    if (size != sizeof(VIDEO_STREAM_CONFIG_CAPS)) return S_OK;
    for (int i = 0; i < count; ++i) {
        MediaTypePtr type;
        VIDEO_STREAM_CONFIG_CAPS limits = {};
        if (config->GetStreamCaps(i, type.put(), reinterpret_cast<BYTE *>(&limits)) != S_OK || !type) continue;
        StreamFormat format;
        if (!describe(*type.get(), limits, format)) continue;
        if (each(*type.get(), format)) break;
    }
    return S_OK;
}

HRESULT stream_config(IPin *pin, ComPtr<IAMStreamConfig> &config)
{
    RETURN_HR_IF(E_POINTER, !pin);
    RETURN_IF_FAILED(pin->QueryInterface(IID_IAMStreamConfig, config.put_void()));
    RETURN_HR_IF(E_NOINTERFACE, !config);
    return S_OK;
}

} // namespace

std::wstring subtype_name(const GUID &subtype)
{
    static const struct
    {
        const GUID *id;
        const wchar_t *name;
    } known[] = {
        {&MEDIASUBTYPE_RGB24, L"RGB24"}, {&MEDIASUBTYPE_RGB32, L"RGB32"}, {&MEDIASUBTYPE_RGB565, L"RGB565"},
        {&MEDIASUBTYPE_RGB555, L"RGB555"}, {&MEDIASUBTYPE_YUY2, L"YUY2"}, {&MEDIASUBTYPE_UYVY, L"UYVY"},
        {&MEDIASUBTYPE_MJPG, L"MJPG"}, {&MEDIASUBTYPE_NV12, L"NV12"},
        {&MEDIASUBTYPE_YV12, L"YV12"},
    };
    for (const auto &entry : known)
        if (IsEqualGUID(subtype, *entry.id)) return entry.name;
    wchar_t text[39] = {};
    const int length = StringFromGUID2(subtype, text, 39);
    return std::wstring(text, length > 0 ? static_cast<size_t>(length - 1) : 0);
}

HRESULT list_stream_formats(IPin *pin, std::vector<StreamFormat> &formats)
{
    formats.clear();
    ComPtr<IAMStreamConfig> config;
    RETURN_IF_FAILED(stream_config(pin, config));
    return for_each_capability(config.get(), [&](AM_MEDIA_TYPE &, const StreamFormat &format) {
        formats.push_back(format);
        return false;
    });
}

HRESULT select_stream_format(IPin *pin, LONG width, LONG height, double rate)
{
    ComPtr<IAMStreamConfig> config;
    RETURN_IF_FAILED(stream_config(pin, config));
    MediaType chosen;
    StreamFormat chosenFormat;
    bool found = false;
    RETURN_IF_FAILED(for_each_capability(config.get(), [&](AM_MEDIA_TYPE &type, const StreamFormat &format) {
        if (format.width != width || format.height != height) return false;
        const bool rgb24 = IsEqualGUID(format.subtype, MEDIASUBTYPE_RGB24);
        if (!found || rgb24) {
            chosen.clear();
            found = SUCCEEDED(copy_media_type(*chosen.get(), type));
            chosenFormat = format;
        }
        return found && rgb24;
    }));

    if (!found) {
        // No listed format of that size: the size on capability 0, as a device that takes any
        // size expects.
        RETURN_HR_IF(VFW_E_INVALIDMEDIATYPE, rate > 0);
        MediaTypePtr first;
        BYTE limits[sizeof(VIDEO_STREAM_CONFIG_CAPS)] = {};
        RETURN_HR_IF(VFW_E_INVALIDMEDIATYPE, config->GetStreamCaps(0, first.put(), limits) != S_OK || !first);
        BITMAPINFOHEADER *bitmap = dshow::bitmap_header(*first.get());
        RETURN_HR_IF(VFW_E_INVALIDMEDIATYPE, !bitmap);
        bitmap->biWidth = width;
        bitmap->biHeight = bitmap->biHeight < 0 ? -height : height;
        bitmap->biSizeImage = static_cast<DWORD>(dshow::dib_image_bytes(bitmap->biBitCount, width, height));
        return config->SetFormat(first.get());
    }
    if (rate > 0) {
        // A rate within a hundredth of a frame per second of the range counts as in it.
        RETURN_HR_IF(VFW_E_INVALIDMEDIATYPE,
                     rate < chosenFormat.minRate - 0.01 || rate > chosenFormat.maxRate + 0.01);
        REFERENCE_TIME *interval = frame_interval(*chosen.get());
        RETURN_HR_IF(VFW_E_INVALIDMEDIATYPE, !interval);
        *interval = static_cast<REFERENCE_TIME>(std::llround(kUnitsPerSecond / rate));
    }
    return config->SetFormat(chosen.get());
}

} // namespace quilo::dshow
