// The test camera's picture. In frame n (1 for a filter's first delivered frame), the pixel at
// column x and row y (y = 0 at the top of the picture) has blue (x + n) mod 256, green y mod 256
// and red tag mod 256 (255 - tag mod 256 in a settling frame). Hosts check frames against it bit
// for bit.
#pragma once

#include <windows.h>

namespace quilo::testcam {

// Writes frame `sequence` as an RGB24 bitmap: rows 4-byte aligned with zero padding, bottom-up
// for a positive height, top-down for a negative one. `pixels` holds stride × |height| bytes.
void paint_frame(BYTE *pixels, LONG width, LONG height, LONG sequence, BYTE red);

} // namespace quilo::testcam
