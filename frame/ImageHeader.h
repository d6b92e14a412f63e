// OpenCV image headers that wrap the frame buffers for the row flip. They never own pixel
// memory.
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

    // cvCreateImageHeader(width x height, 8 bits, channels), one for the source of a copy and
    // one for its destination; any earlier headers are released. With `packedDestination` the
    // destination's rows follow each other without padding (width x channels bytes apart).
    bool create(int width, int height, int channels, bool packedDestination = false) noexcept;
    // cvReleaseImageHeader: frees the headers only, never the pixels they pointed at.
    void release() noexcept;
    void swap(ImageHeader &other) noexcept;
    // Bytes of the whole image the source header describes (row stride x height), and of the
    // destination's.
    long imageSize() const noexcept;
    long destinationSize() const noexcept;
    // Copies the image in `from` (imageSize() bytes) to `to` (destinationSize() bytes, not
    // overlapping), its rows in reverse order when `reverse` (cvFlip with flip code 0), in one
    // pass. E_POINTER without headers or pixels, E_FAIL when OpenCV refuses (before it writes
    // anything).
    HRESULT copyRows(const unsigned char *from, unsigned char *to, bool reverse) noexcept;

private:
    _IplImage *from_ = nullptr;
    _IplImage *to_ = nullptr;
};

} // namespace quilo::frame
