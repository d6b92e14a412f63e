#include "capture/CameraControls.h"

namespace quilo::capture {

HRESULT query_support(IAMVideoProcAmp *, CameraProperty, VARIANT_BOOL *) { return E_NOTIMPL; }
HRESULT get_property(IAMVideoProcAmp *, CameraProperty, LONG *) { return E_NOTIMPL; }
HRESULT set_property(IAMVideoProcAmp *, CameraProperty, LONG) { return E_NOTIMPL; }

} // namespace quilo::capture
