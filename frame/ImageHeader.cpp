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

bool ImageHeader::create(int width, int height, int channels, bool packedDestination) noexcept
{
    release();
    if (width <= 0 || height <= 0 || channels <= 0) return false;
    from_ = create_header(width, height, channels);
    to_ = create_header(width, height, channels);
    if (!from_ || !to_) {
        release();
        return false;
    }
    if (packedDestination) {
        // Within OpenCV's own 32-bit sizes: the source's padded ones are at least as large.
        to_->widthStep = width * channels;
        to_->imageSize = to_->widthStep * height;
    }
    return true;
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

long ImageHeader::destinationSize() const noexcept
{
    return to_ ? to_->imageSize : 0;
}

HRESULT ImageHeader::copyRows(const unsigned char *from, unsigned char *to, bool reverse) noexcept
{
    if (!from_ || !to_ || !from || !to) return E_POINTER;
    if (!reverse && from_->widthStep == to_->widthStep) {
        std::memcpy(to, from, static_cast<size_t>(from_->imageSize));
        return S_OK;
    }
    // The buffers move whenever the image size changes, so the pointers are set before each copy.
    from_->imageData = const_cast<char *>(reinterpret_cast<const char *>(from));
    to_->imageData = reinterpret_cast<char *>(to);
    try {
        if (reverse) cvFlip(from_, to_, 0);
        else cvCopy(from_, to_); // rows kept, padding dropped
    } catch (...) {
        return E_FAIL;
    }
    return S_OK;
}

} // namespace quilo::frame
