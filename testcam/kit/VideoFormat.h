// Uncompressed RGB24 video media types, described by VIDEOINFOHEADER or VIDEOINFOHEADER2.
#pragma once

#include <windows.h>
#include <strmif.h>

namespace quilo::kit {

enum class VideoHeader { Info, Info2 };

// Bytes between rows of an RGB24 bitmap: width × 3 rounded up to a multiple of 4.
LONG rgb24_stride(LONG width) noexcept;
// Bytes of a whole RGB24 bitmap; the sign of the height only gives the row order.
DWORD rgb24_image_size(LONG width, LONG height) noexcept;
// A complete RGB24 video media type (the destination must be empty). A negative height
// describes a top-down bitmap. avgTimePerFrame 0 means no fixed rate.
HRESULT make_rgb24_type(LONG width, LONG height, REFERENCE_TIME avgTimePerFrame, VideoHeader header,
                        AM_MEDIA_TYPE &mt) noexcept;
// The bitmap header of a video media type, or null when the format block is not a whole
// VIDEOINFOHEADER or VIDEOINFOHEADER2.
const BITMAPINFOHEADER *bitmap_header(const AM_MEDIA_TYPE &mt) noexcept;
BITMAPINFOHEADER *bitmap_header(AM_MEDIA_TYPE &mt) noexcept;

} // namespace quilo::kit
