// Takes one fresh frame from a set-up context and describes it in the host's record.
#pragma once

#include "QuiloVideo.h"
#include "capture/CaptureContext.h"

namespace quilo::frame {

// How long Grab waits for the device's sample: long enough for a slow camera's first frame.
constexpr DWORD kGrabTimeoutMs = 8000;

// S_OK with a frame captured after the call began; VFW_E_WRONG_STATE when the context is not
// set up; VFW_E_TIMEOUT when no sample arrives within kGrabTimeoutMs (the graph is left
// stopped); VFW_E_BUFFER_UNDERFLOW for a sample shorter than the format's image. On any
// failure the record is untouched and the frame handed out before stays valid.
HRESULT grab(capture::CaptureContext &context, QuiloImageStruct *record);

} // namespace quilo::frame
