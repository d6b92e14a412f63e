// Takes one fresh frame from a set-up context and describes it in the host's record.
#pragma once

#include "QuiloVideo.h"
#include "capture/CaptureContext.h"

namespace quilo::frame {

HRESULT grab(capture::CaptureContext &context, QuiloImageStruct *record);

} // namespace quilo::frame
