#include "common/VideoFormat.h"

#include <objbase.h>
#include <amvideo.h>
#include <dvdmedia.h>
#include <uuids.h>
#include <vfwmsgs.h>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace quilo {

DWORD dib_stride(WORD bitCount, LONG width) noexcept
{
    const uint32_t bits = static_cast<uint32_t>(bitCount) * static_cast<uint32_t>(width) + 31u;
    return (bits >> 5) * 4u;
}

DWORD dib_image_size(WORD bitCount, LONG width, LONG height) noexcept
{
    const uint32_t rows = height < 0 ? 0u - static_cast<uint32_t>(height) : static_cast<uint32_t>(height);
    return dib_stride(bitCount, width) * rows;
}

HRESULT make_rgb24_type(LONG width, LONG height, REFERENCE_TIME avgTimePerFrame, VideoHeader header,
                        AM_MEDIA_TYPE &mt) noexcept
{
    const bool info2 = header == VideoHeader::Info2;
    const ULONG size = info2 ? sizeof(VIDEOINFOHEADER2) : sizeof(VIDEOINFOHEADER);
    auto *block = static_cast<BYTE *>(CoTaskMemAlloc(size));
    if (!block) return E_OUTOFMEMORY;
    std::memset(block, 0, size);

    const DWORD imageSize = rgb24_image_size(width, height);
    ULONGLONG bits = 0;
    if (avgTimePerFrame > 0)
        bits = static_cast<ULONGLONG>(imageSize) * 8 * 10000000 / static_cast<ULONGLONG>(avgTimePerFrame);
    const DWORD bitRate = bits > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<DWORD>(bits);
    const RECT rect = {0, 0, width, std::labs(height)};
    BITMAPINFOHEADER *bih;
    if (info2) {
        auto *vih = reinterpret_cast<VIDEOINFOHEADER2 *>(block);
        vih->rcSource = rect;
        vih->rcTarget = rect;
        vih->dwBitRate = bitRate;
        vih->AvgTimePerFrame = avgTimePerFrame;
        vih->dwPictAspectRatioX = static_cast<DWORD>(width);
        vih->dwPictAspectRatioY = static_cast<DWORD>(std::labs(height));
        bih = &vih->bmiHeader;
    } else {
        auto *vih = reinterpret_cast<VIDEOINFOHEADER *>(block);
        vih->rcSource = rect;
        vih->rcTarget = rect;
        vih->dwBitRate = bitRate;
        vih->AvgTimePerFrame = avgTimePerFrame;
        bih = &vih->bmiHeader;
    }
    bih->biSize = sizeof(BITMAPINFOHEADER);
    bih->biWidth = width;
    bih->biHeight = height;
    bih->biPlanes = 1;
    bih->biBitCount = 24;
    bih->biCompression = BI_RGB;
    bih->biSizeImage = imageSize;

    mt = AM_MEDIA_TYPE();
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = MEDIASUBTYPE_RGB24;
    mt.bFixedSizeSamples = TRUE;
    mt.bTemporalCompression = FALSE;
    mt.lSampleSize = imageSize;
    mt.formattype = info2 ? FORMAT_VideoInfo2 : FORMAT_VideoInfo;
    mt.cbFormat = size;
    mt.pbFormat = block;
    return S_OK;
}

const BITMAPINFOHEADER *bitmap_header(const AM_MEDIA_TYPE &mt) noexcept
{
    if (!mt.pbFormat) return nullptr;
    if (IsEqualGUID(mt.formattype, FORMAT_VideoInfo) && mt.cbFormat >= sizeof(VIDEOINFOHEADER))
        return &reinterpret_cast<const VIDEOINFOHEADER *>(mt.pbFormat)->bmiHeader;
    if (IsEqualGUID(mt.formattype, FORMAT_VideoInfo2) && mt.cbFormat >= sizeof(VIDEOINFOHEADER2))
        return &reinterpret_cast<const VIDEOINFOHEADER2 *>(mt.pbFormat)->bmiHeader;
    return nullptr;
}

BITMAPINFOHEADER *bitmap_header(AM_MEDIA_TYPE &mt) noexcept
{
    return const_cast<BITMAPINFOHEADER *>(bitmap_header(static_cast<const AM_MEDIA_TYPE &>(mt)));
}

HRESULT read_frame_format(const AM_MEDIA_TYPE &type, FrameFormat &format) noexcept
{
    format = FrameFormat();
    const BITMAPINFOHEADER *bmi = bitmap_header(type);
    if (!bmi) return VFW_E_INVALIDMEDIATYPE;
    const LONG channels = bmi->biBitCount >> 3;
    if (bmi->biWidth <= 0 || bmi->biHeight == 0 || bmi->biHeight == LONG_MIN || channels <= 0)
        return VFW_E_INVALIDMEDIATYPE;
    format.width = bmi->biWidth;
    format.topDown = bmi->biHeight < 0;
    format.height = format.topDown ? -bmi->biHeight : bmi->biHeight;
    format.channels = channels;
    return S_OK;
}

} // namespace quilo
