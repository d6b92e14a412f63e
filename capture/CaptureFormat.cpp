#include "capture/CaptureFormat.h"

#include <amvideo.h>
#include <dvdmedia.h>
#include <uuids.h>
#include <vfwmsgs.h>
#include <climits>
#include <cstdint>

#include "common/ComPtr.h"
#include "common/HResult.h"
#include "dshow/MediaType.h"
#include "dshow/VideoFormat.h"

namespace quilo::capture {
namespace {

bool is_plain_video_template(const AM_MEDIA_TYPE &mt)
{
    return IsEqualGUID(mt.majortype, MEDIATYPE_Video) && IsEqualGUID(mt.formattype, FORMAT_VideoInfo) &&
           mt.cbFormat >= sizeof(VIDEOINFOHEADER) && mt.pbFormat != nullptr;
}

} // namespace

HRESULT applyFrameSize(Platform &platform, IPin *captureOutPin, LONG width, LONG height)
{
    RETURN_HR_IF(VFW_E_NOT_FOUND, !captureOutPin);
    ComPtr<IAMStreamConfig> streamConfig;
    RETURN_IF_FAILED(captureOutPin->QueryInterface(IID_IAMStreamConfig, streamConfig.put_void()));

    MediaTypePtr caps;
    BYTE limits[128] = {}; // VIDEO_STREAM_CONFIG_CAPS
    if (streamConfig->GetStreamCaps(0, caps.put(), limits) != S_OK || !caps) return S_OK;
    if (!is_plain_video_template(*caps.get())) return S_OK;

    auto *info = reinterpret_cast<VIDEOINFOHEADER *>(caps->pbFormat);
    info->bmiHeader.biWidth = width;
    info->bmiHeader.biHeight = height;
    info->bmiHeader.biSizeImage = dshow::dib_image_size(info->bmiHeader.biBitCount, width, height);

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
    if (hr == S_OK && ids.cElems > 0 && ids.pElems)
        ignore_result(platform.showPropertyFrame(captureOutPin, ids),
                      "what the user chose is the device's; a frame that cannot be shown leaves it as it was");
    CoTaskMemFree(ids.pElems);
}

} // namespace quilo::capture
