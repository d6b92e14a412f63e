// The in-place row reversal both the component and the reference sequence use: an OpenCV
// image header over a caller's buffer and cvFlip with flip code 0.
#pragma once

struct _IplImage;

namespace quilo::bench {

class RowFlip
{
public:
    RowFlip(int width, int height, int channels);
    ~RowFlip();
    RowFlip(const RowFlip &) = delete;
    RowFlip &operator=(const RowFlip &) = delete;

    bool valid() const { return header_ != nullptr; }
    long stride() const;
    long imageSize() const;
    // Reverses the row order of `pixels` (imageSize() bytes) in place.
    void flip(unsigned char *pixels);

private:
    _IplImage *header_ = nullptr;
};

} // namespace quilo::bench
