// The test camera's picture. In frame n (1 for a filter's first delivered frame), the pixel at
// column x and row y (y = 0 at the top of the picture) has blue (x + n) mod 256, green y mod 256
// and red tag mod 256 (255 - tag mod 256 in a settling frame). Hosts check frames against it bit
// for bit.
#pragma once

#include <windows.h>

#include "testcam/ControlTable.h"

namespace quilo::testcam {

// Writes frame `sequence` as an RGB24 bitmap: rows 4-byte aligned with zero padding, bottom-up
// for a positive height, top-down for a negative one. `pixels` holds stride × |height| bytes.
void paint_frame(BYTE *pixels, LONG width, LONG height, LONG sequence, BYTE red);

// What a device with --marks shows in 8x8 blocks along the top-left of its picture (y 0..7):
// block 0 (x 0..7) the connector routed to the decoder, in RGB: tuner blue (0,0,255),
// composite white (255,255,255), S-Video green (0,255,0), any other grey (128,128,128), none
// black; block 1 + p (x 8 + 8p ..) camera control property p when the device has it: red 255
// when automatic else 0, green the value's low byte, blue 128. Blocks past the width are cut.
struct PictureMarks
{
    long videoSource = 0;           // PhysicalConnectorType; 0: nothing routed, or no crossbar
    struct Control
    {
        bool present = false;
        long value = 0;
        bool automatic = false;
    } controls[kCameraControlPropertyCount];
};
void paint_marks(BYTE *pixels, LONG width, LONG height, const PictureMarks &marks);

} // namespace quilo::testcam
