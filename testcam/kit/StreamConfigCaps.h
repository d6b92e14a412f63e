// VIDEO_STREAM_CONFIG_CAPS, which IAMStreamConfig::GetStreamCaps fills and mingw-w64's
// headers do not declare. Layout as the platform defines it: 128 bytes.
#pragma once

#include <windows.h>

namespace quilo::kit {

struct VideoStreamConfigCaps
{
    GUID guid;
    ULONG VideoStandard;
    SIZE InputSize;
    SIZE MinCroppingSize;
    SIZE MaxCroppingSize;
    int CropGranularityX;
    int CropGranularityY;
    int CropAlignX;
    int CropAlignY;
    SIZE MinOutputSize;
    SIZE MaxOutputSize;
    int OutputGranularityX;
    int OutputGranularityY;
    int StretchTapsX;
    int StretchTapsY;
    int ShrinkTapsX;
    int ShrinkTapsY;
    LONGLONG MinFrameInterval;
    LONGLONG MaxFrameInterval;
    LONG MinBitsPerSecond;
    LONG MaxBitsPerSecond;
};
static_assert(sizeof(VideoStreamConfigCaps) == 128, "VIDEO_STREAM_CONFIG_CAPS is 128 bytes");

} // namespace quilo::kit
