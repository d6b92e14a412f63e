// When and where in its stream a frame was taken.
#pragma once

#include <windows.h>

namespace quilo::capture {

struct FrameStamp
{
    // Samples the device sent since its stream (last) started, this frame's included: a frame
    // the device sent while no Grab waited still counts, so a skipped frame shows.
    LONG number = 0;
    double streamTime = 0;   // the sample's start time, in seconds of stream time
    FILETIME arrival = {};   // the host's clock (UTC) when the sample reached the component
};

} // namespace quilo::capture
