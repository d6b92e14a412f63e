#include "frame/ImageHeader.h"

#include <opencv2/core/core_c.h>

namespace quilo::frame {

bool ImageHeader::create(int width, int height, int channels) noexcept
{
    release();
    header_ = cvCreateImageHeader(cvSize(width, height), IPL_DEPTH_8U, channels);
    return header_ != nullptr;
}

void ImageHeader::release() noexcept
{
    if (header_) cvReleaseImageHeader(&header_);
}

long ImageHeader::row_stride() const noexcept
{
    return header_ ? header_->widthStep : 0;
}

void ImageHeader::flip_rows(unsigned char *pixels) noexcept
{
    if (!header_ || !pixels) return;
    // The buffer may have moved since the last flip.
    header_->imageData = reinterpret_cast<char *>(pixels);
    header_->imageDataOrigin = nullptr;
    cvFlip(header_, nullptr, 0);
}

} // namespace quilo::frame
