// Writing a grabbed frame to disk through the platform's imaging component (WIC): a standard
// bottom-up 24-bit BMP and a 24-bit RGB PNG.
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

// Both return S_OK or the failing call's HRESULT (file creation, WIC's encoder, the final
// rename). COM must be initialised on the calling thread. The file is written under a
// temporary name beside `path` and renamed into place, so a failure leaves neither a partial
// file nor a damaged earlier one.
HRESULT write_bmp(const std::string &path, const FrameView &frame);
HRESULT write_png(const std::string &path, const FrameView &frame);

} // namespace quilo::host
