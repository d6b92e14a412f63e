#include "dshow/VideoFormat.h"

#include <objbase.h>
#include <amvideo.h>
#include <dvdmedia.h>
#include <uuids.h>
#include <vfwmsgs.h>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace quilo::dshow {

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

ULONGLONG dib_image_bytes(WORD bitCount, LONG width, LONG height) noexcept
{
    // Magnitudes taken in 64 bits, so that LONG_MIN negates too.
    const ULONGLONG columns = width < 0 ? 0ull - static_cast<ULONGLONG>(static_cast<LONGLONG>(width))
                                        : static_cast<ULONGLONG>(width);
    const ULONGLONG rows = height < 0 ? 0ull - static_cast<ULONGLONG>(static_cast<LONGLONG>(height))
                                      : static_cast<ULONGLONG>(height);
    const ULONGLONG stride = (bitCount * columns + 31u) / 32u * 4u;
    // Beyond 2^64 only at depths no video format has; such a size saturates rather than wraps.
    if (rows != 0 && stride > ULLONG_MAX / rows) return ULLONG_MAX;
    return stride * rows;
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
    // The frame is copied, flipped and handed out as RGB24 rows: any other layout would be
    // misread, and the bound keeps every byte count of it, OpenCV's 32-bit ones too, exact.
    if (bmi->biBitCount != 24 || bmi->biCompression != BI_RGB) return VFW_E_INVALIDMEDIATYPE;
    if (bmi->biWidth < 1 || bmi->biWidth > kMaxFrameSide || bmi->biHeight < -kMaxFrameSide ||
        bmi->biHeight == 0 || bmi->biHeight > kMaxFrameSide)
        return VFW_E_INVALIDMEDIATYPE;
    const ULONGLONG bytes = dib_image_bytes(bmi->biBitCount, bmi->biWidth, bmi->biHeight);
    if (bytes > static_cast<ULONGLONG>(LONG_MAX)) return VFW_E_INVALIDMEDIATYPE;
    format.width = bmi->biWidth;
    format.topDown = bmi->biHeight < 0;
    format.height = format.topDown ? -bmi->biHeight : bmi->biHeight;
    format.channels = 3;
    format.imageBytes = static_cast<LONG>(bytes);
    return S_OK;
}

} // namespace quilo::dshow
