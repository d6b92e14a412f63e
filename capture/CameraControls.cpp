#include "capture/CameraControls.h"

#include <vfwmsgs.h>

#include "common/HResult.h"

namespace quilo::capture {

HRESULT query_support(IAMVideoProcAmp *procAmp, CameraProperty property, VARIANT_BOOL *supported)
{
    RETURN_HR_IF_NULL(E_POINTER, supported);
    if (!procAmp) {
        *supported = 0;
        return S_OK;
    }
    // Only whether the device reports a range matters; the range itself is not handed out.
    LONG minimum = 0, maximum = 0, step = 0, byDefault = 0, flags = 0;
    const HRESULT hr = procAmp->GetRange(static_cast<long>(property), &minimum, &maximum, &step, &byDefault, &flags);
    // True is written as 1, not VARIANT_TRUE: hosts compare with 1.
    *supported = SUCCEEDED(hr) ? 1 : 0;
    return S_OK;
}

HRESULT get_property(IAMVideoProcAmp *procAmp, CameraProperty property, LONG *value)
{
    RETURN_HR_IF_NULL(E_POINTER, value);
    RETURN_HR_IF_NULL(VFW_E_WRONG_STATE, procAmp);
    LONG flags = 0;
    return procAmp->Get(static_cast<long>(property), value, &flags);
}

HRESULT set_property(IAMVideoProcAmp *procAmp, CameraProperty property, LONG value)
{
    RETURN_HR_IF_NULL(VFW_E_WRONG_STATE, procAmp);
    // Flags 0: neither automatic nor manual is forced; range checks are the device's.
    return procAmp->Set(static_cast<long>(property), value, 0);
}

} // namespace quilo::capture
