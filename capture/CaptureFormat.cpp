#include "capture/CaptureFormat.h"

#include <amvideo.h>
#include <dvdmedia.h>
#include <uuids.h>
#include <vfwmsgs.h>
#include <climits>
#include <cstdint>

#include "common/HResult.h"
#include "common/MediaType.h"

namespace quilo::capture {
namespace {

bool is_plain_video_template(const AM_MEDIA_TYPE &mt)
{
    return IsEqualGUID(mt.majortype, MEDIATYPE_Video) && IsEqualGUID(mt.formattype, FORMAT_VideoInfo) &&
           mt.cbFormat >= sizeof(VIDEOINFOHEADER) && mt.pbFormat != nullptr;
}

// Bytes of a DIB with rows padded to 32 bits; 32-bit wrap-around like the platform's own macros.
DWORD image_size(WORD bitCount, LONG width, LONG height)
{
    const uint32_t bits = static_cast<uint32_t>(bitCount) * static_cast<uint32_t>(width) + 31u;
    const uint32_t stride = (bits >> 5) * 4u;
    const uint32_t rows = height < 0 ? 0u - static_cast<uint32_t>(height) : static_cast<uint32_t>(height);
    return stride * rows;
}

} // namespace

HRESULT applyFrameSize(Platform &platform, IPin *captureOutPin, ComPtr<IAMStreamConfig> &streamConfig,
                       LONG width, LONG height)
{
    streamConfig.reset();
    RETURN_HR_IF(VFW_E_NOT_FOUND, !captureOutPin);
    RETURN_IF_FAILED(captureOutPin->QueryInterface(IID_IAMStreamConfig, streamConfig.put_void()));

    MediaTypePtr caps;
    BYTE limits[128] = {}; // VIDEO_STREAM_CONFIG_CAPS
    if (streamConfig->GetStreamCaps(0, caps.put(), limits) != S_OK || !caps) return S_OK;
    if (!is_plain_video_template(*caps.get())) return S_OK;

    auto *info = reinterpret_cast<VIDEOINFOHEADER *>(caps->pbFormat);
    info->bmiHeader.biWidth = width;
    info->bmiHeader.biHeight = height;
    info->bmiHeader.biSizeImage = image_size(info->bmiHeader.biBitCount, width, height);

    const HRESULT hr = streamConfig->SetFormat(caps.get());
    if (SUCCEEDED(hr)) return S_OK;
    platform.showMessage(kSetFormatFailedText);
    return hr;
}

void showCapturePinPages(Platform &platform, IPin *captureOutPin)
{
    if (!captureOutPin) return;
    ComPtr<ISpecifyPropertyPages> pages;
    if (captureOutPin->QueryInterface(IID_ISpecifyPropertyPages, pages.put_void()) != S_OK || !pages) return;

    CAUUID ids = {};
    const HRESULT hr = pages->GetPages(&ids);
    if (hr == S_OK && ids.cElems > 0 && ids.pElems) platform.showPropertyFrame(captureOutPin, ids);
    CoTaskMemFree(ids.pElems);
}

HRESULT readConnectedFormat(const AM_MEDIA_TYPE &type, FrameFormat &format)
{
    format = FrameFormat();
    const BITMAPINFOHEADER *bmi = nullptr;
    if (type.pbFormat && IsEqualGUID(type.formattype, FORMAT_VideoInfo) &&
        type.cbFormat >= sizeof(VIDEOINFOHEADER)) {
        bmi = &reinterpret_cast<const VIDEOINFOHEADER *>(type.pbFormat)->bmiHeader;
    } else if (type.pbFormat && IsEqualGUID(type.formattype, FORMAT_VideoInfo2) &&
               type.cbFormat >= sizeof(VIDEOINFOHEADER2)) {
        bmi = &reinterpret_cast<const VIDEOINFOHEADER2 *>(type.pbFormat)->bmiHeader;
    }
    RETURN_HR_IF(VFW_E_INVALIDMEDIATYPE, !bmi);

    const LONG channels = bmi->biBitCount >> 3;
    RETURN_HR_IF(VFW_E_INVALIDMEDIATYPE, bmi->biWidth <= 0 || bmi->biHeight == 0 ||
                                             bmi->biHeight == LONG_MIN || channels <= 0);
    format.width = bmi->biWidth;
    format.topDown = bmi->biHeight < 0;
    format.height = format.topDown ? -bmi->biHeight : bmi->biHeight;
    format.channels = channels;
    return S_OK;
}

} // namespace quilo::capture
