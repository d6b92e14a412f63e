#include "frame/ImageHeader.h"

#include <opencv2/core/core_c.h>

namespace quilo::frame {

// OpenCV reports errors by throwing; none of that may cross the COM boundary.

bool ImageHeader::create(int width, int height, int channels) noexcept
{
    release();
    if (width <= 0 || height <= 0 || channels <= 0) return false;
    try {
        header_ = cvCreateImageHeader(cvSize(width, height), IPL_DEPTH_8U, channels);
    } catch (...) {
        header_ = nullptr;
    }
    return header_ != nullptr;
}

void ImageHeader::release() noexcept
{
    if (!header_) return;
    try {
        cvReleaseImageHeader(&header_);
    } catch (...) {
    }
    header_ = nullptr;
}

long ImageHeader::imageSize() const noexcept
{
    return header_ ? header_->imageSize : 0;
}

HRESULT ImageHeader::flipRows(unsigned char *pixels) noexcept
{
    if (!header_ || !pixels) return E_POINTER;
    // The buffer moves whenever the image size changes, so the pointer is set before each flip.
    header_->imageData = reinterpret_cast<char *>(pixels);
    try {
        cvFlip(header_, nullptr, 0);
    } catch (...) {
        return E_FAIL;
    }
    return S_OK;
}

} // namespace quilo::frame
