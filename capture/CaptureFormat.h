// Preparing the capture pin before it is connected: the host's frame size, or the user's
// property pages.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "capture/Platform.h"

namespace quilo::capture {

// The only message the engine ever shows.
constexpr char kSetFormatFailedText[] = "SetFormat Failed\n";

// Writes width x height into the pin's first stream capability and sets it as the pin's format.
// S_OK also when that capability cannot be read or is no plain VIDEOINFOHEADER video format
// (the device keeps its format). When the pin refuses the format, the message box is shown
// once and the refusal returned.
HRESULT applyFrameSize(Platform &platform, IPin *captureOutPin, LONG width, LONG height);

// Shows the pin's own property pages in a modal frame, if it has any.
void showCapturePinPages(Platform &platform, IPin *captureOutPin);

} // namespace quilo::capture
