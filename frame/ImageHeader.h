// OpenCV image header that wraps the frame buffer for the in-place row flip. It never owns
// pixel memory.
#pragma once

#include <windows.h>

struct _IplImage;

namespace quilo::frame {

class ImageHeader
{
public:
    ImageHeader() noexcept = default;
    ~ImageHeader() { release(); }
    ImageHeader(const ImageHeader &) = delete;
    ImageHeader &operator=(const ImageHeader &) = delete;

    // cvCreateImageHeader(width x height, 8 bits, channels); any earlier header is released.
    bool create(int width, int height, int channels) noexcept;
    // cvReleaseImageHeader: frees the header only, never the pixels it pointed at.
    void release() noexcept;
    // Bytes of the whole image the header describes (row stride x height).
    long imageSize() const noexcept;
    // Reverses the row order of `pixels` in place (cvFlip with flip code 0); `pixels` must hold
    // imageSize() bytes. E_POINTER without a header or pixels, E_FAIL when OpenCV refuses.
    HRESULT flipRows(unsigned char *pixels) noexcept;

private:
    _IplImage *header_ = nullptr;
};

} // namespace quilo::frame
