// Image files decoded by the platform's own codecs (WIC), so that the tools' writers are
// checked against an independent reader.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

namespace quilo::test {

struct DecodedImage
{
    GUID container = {};          // GUID_ContainerFormatPng, GUID_ContainerFormatBmp, ...
    UINT width = 0;
    UINT height = 0;
    std::vector<BYTE> bgr;        // top row first, width x 3 bytes per row, no padding
};

// Decodes the first frame of `path` into 24-bit blue-green-red. COM must be initialised.
HRESULT decode_image(const std::string &path, DecodedImage &image);

} // namespace quilo::test
