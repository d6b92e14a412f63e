// Writing a grabbed frame to disk through the platform's imaging component (WIC): a standard
// bottom-up 24-bit BMP, a 24-bit RGB PNG or a JPEG; for quilo-grab, quilo-view and the
// automation class's SaveFrame.
#pragma once

#include <windows.h>
#include <string>

struct IWICImagingFactory;

namespace quilo {

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
// rename). COM must be initialised on the calling thread. The file is written under a short
// temporary name of its own (qvfXXXX.tmp) in `path`'s folder and renamed into place, so a
// failure leaves neither a partial file nor a damaged earlier one. A path holding a NUL is
// refused (E_INVALIDARG).
HRESULT write_bmp(const std::string &path, const FrameView &frame);
HRESULT write_png(const std::string &path, const FrameView &frame);
// By the path's extension: .png, .bmp, .jpg or .jpeg (any case); E_INVALIDARG for another one.
// The imaging factory is the caller's when given (one created through its own platform door),
// else created here.
HRESULT write_image_file(const std::wstring &path, const FrameView &frame, IWICImagingFactory *factory = nullptr);
// Whether write_image_file takes the path's extension.
bool is_image_file_name(const std::wstring &path);

} // namespace quilo
