// Class identifiers of platform filters that mingw-w64's headers declare no constants for.
#pragma once

#include <guiddef.h>

namespace quilo {

// qedit.dll's sample grabber and null renderer.
constexpr GUID kClsidSampleGrabber = {0xC1F400A0, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};
constexpr GUID kClsidNullRenderer = {0xC1F400A4, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};

} // namespace quilo
