// Writing a grabbed frame to disk: a standard bottom-up 24-bit BMP and an RGB PNG.
#pragma once

#include <windows.h>
#include <string>

namespace quilo::host {

// A frame as the component hands it out: blue-green-red pixels, rows `stride` bytes apart.
struct FrameView
{
    const unsigned char *pixels = nullptr;
    int width = 0;
    int height = 0;
    long stride = 0;
    bool topRowFirst = false; // false: the first row in memory is the bottom of the picture

    // Row y of the picture, y = 0 at the top.
    const unsigned char *row(int y) const
    {
        const int memoryRow = topRowFirst ? y : height - 1 - y;
        return pixels + static_cast<size_t>(memoryRow) * static_cast<size_t>(stride);
    }
};

// Bytes between rows of a 24-bit DIB: width x 3 rounded up to a multiple of 4.
long dib_stride(int width);

// Both return S_OK or the failing platform call's HRESULT (file creation, writing, zlib as
// E_OUTOFMEMORY / E_FAIL). A failed write leaves no partial file behind.
HRESULT write_bmp(const std::string &path, const FrameView &frame);
HRESULT write_png(const std::string &path, const FrameView &frame);

} // namespace quilo::host
