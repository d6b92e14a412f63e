// Uncompressed video media types, described by VIDEOINFOHEADER or VIDEOINFOHEADER2: the one
// row-stride formula and the one format reader of the component, the test camera, the tools
// and the tests.
#pragma once

#include <windows.h>
#include <strmif.h>

namespace quilo::dshow {

enum class VideoHeader { Info, Info2 };

// Bytes between rows of a bitmap: bitCount × width bits rounded up to whole 32-bit words.
// Computed in 32 bits with wrap-around, as the platform's own DIB macros do.
DWORD dib_stride(WORD bitCount, LONG width) noexcept;
// Bytes of a whole bitmap; the sign of the height only gives the row order.
DWORD dib_image_size(WORD bitCount, LONG width, LONG height) noexcept;
// Bytes of a whole bitmap in 64 bits, without the wrap-around: what a buffer is sized from.
// The sign of the width or height only gives the row order.
ULONGLONG dib_image_bytes(WORD bitCount, LONG width, LONG height) noexcept;
// The same for RGB24: width × 3 rounded up to a multiple of 4.
inline LONG rgb24_stride(LONG width) noexcept { return static_cast<LONG>(dib_stride(24, width)); }
inline DWORD rgb24_image_size(LONG width, LONG height) noexcept { return dib_image_size(24, width, height); }
// A complete RGB24 video media type (the destination must be empty). A negative height
// describes a top-down bitmap. avgTimePerFrame 0 means no fixed rate.
HRESULT make_rgb24_type(LONG width, LONG height, REFERENCE_TIME avgTimePerFrame, VideoHeader header,
                        AM_MEDIA_TYPE &mt) noexcept;
// The bitmap header of a video media type, or null when the format block is not a whole
// VIDEOINFOHEADER or VIDEOINFOHEADER2.
const BITMAPINFOHEADER *bitmap_header(const AM_MEDIA_TYPE &mt) noexcept;
BITMAPINFOHEADER *bitmap_header(AM_MEDIA_TYPE &mt) noexcept;

// Longest side of a frame the component takes: large enough for any camera, small enough that
// every row stride and image byte count fits in 32 bits (16,384 × 16,384 RGB24 is 768 MB).
constexpr LONG kMaxFrameSide = 16384;

// Frame size and row order of a connected video format.
struct FrameFormat
{
    LONG width = 0;
    LONG height = 0;      // always positive
    LONG channels = 0;    // bytes per pixel
    bool topDown = false; // the format's height was negative: rows arrive top row first
    LONG imageBytes = 0;  // row stride × height: what each sample must hold

    // The same pixels and bytes, whatever the row order.
    bool sameSize(const FrameFormat &o) const noexcept
    {
        return width == o.width && height == o.height && channels == o.channels && imageBytes == o.imageBytes;
    }
};
// Reads a FORMAT_VideoInfo or FORMAT_VideoInfo2 block, never past its end. Only 24-bit BI_RGB
// frames of 1..kMaxFrameSide pixels a side are taken; anything else (another block, another
// pixel format, a size out of that range) is VFW_E_INVALIDMEDIATYPE.
HRESULT read_frame_format(const AM_MEDIA_TYPE &type, FrameFormat &format) noexcept;

} // namespace quilo::dshow
