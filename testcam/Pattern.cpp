#include "testcam/Pattern.h"

#include <cstdlib>
#include <cstring>

#include <strmif.h>

#include "dshow/VideoFormat.h"

namespace quilo::testcam {

void paint_frame(BYTE *pixels, LONG width, LONG height, LONG sequence, BYTE red)
{
    const LONG stride = dshow::rgb24_stride(width);
    const LONG rows = std::labs(height);
    const bool topDown = height < 0;
    for (LONG r = 0; r < rows; ++r) {
        const LONG y = topDown ? r : rows - 1 - r;
        BYTE *row = pixels + static_cast<size_t>(r) * static_cast<size_t>(stride);
        const BYTE green = static_cast<BYTE>(y & 0xFF);
        BYTE blue = static_cast<BYTE>(sequence & 0xFF);
        for (LONG x = 0; x < width; ++x) {
            row[3 * x] = blue++;
            row[3 * x + 1] = green;
            row[3 * x + 2] = red;
        }
        std::memset(row + 3 * width, 0, static_cast<size_t>(stride - 3 * width));
    }
}

namespace {

constexpr LONG kMarkSide = 8;

void fill_block(BYTE *pixels, LONG width, LONG height, LONG block, BYTE red, BYTE green, BYTE blue)
{
    const LONG stride = dshow::rgb24_stride(width);
    const LONG rows = std::labs(height);
    for (LONG y = 0; y < kMarkSide && y < rows; ++y) {
        const LONG r = height < 0 ? y : rows - 1 - y;
        BYTE *row = pixels + static_cast<size_t>(r) * static_cast<size_t>(stride);
        for (LONG x = block * kMarkSide; x < (block + 1) * kMarkSide && x < width; ++x) {
            row[3 * x] = blue;
            row[3 * x + 1] = green;
            row[3 * x + 2] = red;
        }
    }
}

} // namespace

void paint_marks(BYTE *pixels, LONG width, LONG height, const PictureMarks &marks)
{
    BYTE red = 0, green = 0, blue = 0;
    switch (marks.videoSource) {
    case PhysConn_Video_Tuner: blue = 255; break;
    case PhysConn_Video_Composite: red = green = blue = 255; break;
    case PhysConn_Video_SVideo: green = 255; break;
    case 0: break;
    default: red = green = blue = 128; break;
    }
    fill_block(pixels, width, height, 0, red, green, blue);
    for (LONG p = 0; p < kCameraControlPropertyCount; ++p) {
        const PictureMarks::Control &control = marks.controls[p];
        if (!control.present) continue;
        fill_block(pixels, width, height, 1 + p, control.automatic ? 255 : 0, static_cast<BYTE>(control.value & 0xFF),
                   128);
    }
}

} // namespace quilo::testcam
