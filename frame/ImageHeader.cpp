#include "frame/ImageHeader.h"

#include <opencv2/core/core_c.h>
#include <cstring>
#include <utility>

namespace quilo::frame {
namespace {

// OpenCV reports errors by throwing; none of that may cross the COM boundary.

_IplImage *create_header(int width, int height, int channels) noexcept
{
    try {
        return cvCreateImageHeader(cvSize(width, height), IPL_DEPTH_8U, channels);
    } catch (...) {
        return nullptr;
    }
}

void release_header(_IplImage *&header) noexcept
{
    if (!header) return;
    try {
        cvReleaseImageHeader(&header);
    } catch (...) {
    }
    header = nullptr;
}

} // namespace

bool ImageHeader::create(int width, int height, int channels) noexcept
{
    release();
    if (width <= 0 || height <= 0 || channels <= 0) return false;
    from_ = create_header(width, height, channels);
    to_ = create_header(width, height, channels);
    if (from_ && to_) return true;
    release();
    return false;
}

void ImageHeader::release() noexcept
{
    release_header(from_);
    release_header(to_);
}

void ImageHeader::swap(ImageHeader &other) noexcept
{
    std::swap(from_, other.from_);
    std::swap(to_, other.to_);
}

long ImageHeader::imageSize() const noexcept
{
    return from_ ? from_->imageSize : 0;
}

HRESULT ImageHeader::copyRows(const unsigned char *from, unsigned char *to, bool reverse) noexcept
{
    if (!from_ || !to_ || !from || !to) return E_POINTER;
    if (!reverse) {
        std::memcpy(to, from, static_cast<size_t>(from_->imageSize));
        return S_OK;
    }
    // The buffers move whenever the image size changes, so the pointers are set before each flip.
    from_->imageData = const_cast<char *>(reinterpret_cast<const char *>(from));
    to_->imageData = reinterpret_cast<char *>(to);
    try {
        cvFlip(from_, to_, 0);
    } catch (...) {
        return E_FAIL;
    }
    return S_OK;
}

} // namespace quilo::frame
