#include "testcam/Pattern.h"

#include <cstdlib>
#include <cstring>

#include "common/VideoFormat.h"

namespace quilo::testcam {

void paint_frame(BYTE *pixels, LONG width, LONG height, LONG sequence, BYTE red)
{
    const LONG stride = rgb24_stride(width);
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

} // namespace quilo::testcam
