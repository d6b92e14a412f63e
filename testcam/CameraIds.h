// Class identifiers of the test camera's filter and property page.
#pragma once

#include <guiddef.h>

namespace quilo::testcam {

// {14652C5E-6532-4FB1-AF5B-44584BAB0954}
constexpr GUID kClsidTestCamera = {0x14652C5E, 0x6532, 0x4FB1, {0xAF, 0x5B, 0x44, 0x58, 0x4B, 0xAB, 0x09, 0x54}};
constexpr char kClsidTestCameraText[] = "{14652C5E-6532-4FB1-AF5B-44584BAB0954}";
// {D8F8619A-6756-4723-BB80-A69023C3E89B}
constexpr GUID kClsidTestCameraPage = {0xD8F8619A, 0x6756, 0x4723, {0xBB, 0x80, 0xA6, 0x90, 0x23, 0xC3, 0xE8, 0x9B}};
constexpr char kClsidTestCameraPageText[] = "{D8F8619A-6756-4723-BB80-A69023C3E89B}";

} // namespace quilo::testcam
