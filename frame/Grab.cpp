#include "frame/Grab.h"

namespace quilo::frame {

HRESULT grab(capture::CaptureContext &, QuiloImageStruct *) { return E_NOTIMPL; }

} // namespace quilo::frame
