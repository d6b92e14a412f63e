#include "bench/RowFlip.h"

#include <opencv2/core/core_c.h>

namespace quilo::bench {

RowFlip::RowFlip(int width, int height, int channels)
{
    try {
        header_ = cvCreateImageHeader(cvSize(width, height), IPL_DEPTH_8U, channels);
    } catch (...) {
        header_ = nullptr;
    }
}

RowFlip::~RowFlip()
{
    if (header_) cvReleaseImageHeader(&header_);
}

long RowFlip::stride() const
{
    return header_ ? header_->widthStep : 0;
}

long RowFlip::imageSize() const
{
    return header_ ? header_->imageSize : 0;
}

void RowFlip::flip(unsigned char *pixels)
{
    if (!header_ || !pixels) return;
    header_->imageData = reinterpret_cast<char *>(pixels);
    cvFlip(header_, nullptr, 0);
}

} // namespace quilo::bench
