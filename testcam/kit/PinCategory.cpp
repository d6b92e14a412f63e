#include "testcam/kit/PinCategory.h"

#include <uuids.h>
#include <vfwmsgs.h>
#include <cstring>

#include "common/HResult.h"

namespace quilo::kit {

HRESULT set_pin_category(REFGUID set)
{
    return IsEqualGUID(set, AMPROPSETID_Pin) ? E_PROP_ID_UNSUPPORTED : E_PROP_SET_UNSUPPORTED;
}

HRESULT get_pin_category(REFGUID set, DWORD id, const GUID &category, void *data, DWORD dataBytes, DWORD *returned)
{
    RETURN_HR_IF(E_PROP_SET_UNSUPPORTED, !IsEqualGUID(set, AMPROPSETID_Pin));
    RETURN_HR_IF(E_PROP_ID_UNSUPPORTED, id != AMPROPERTY_PIN_CATEGORY);
    if (returned) *returned = sizeof(GUID);
    if (!data) return returned ? S_OK : E_POINTER;
    RETURN_HR_IF(E_UNEXPECTED, dataBytes < sizeof(GUID));
    std::memcpy(data, &category, sizeof(GUID));
    return S_OK;
}

HRESULT query_pin_category(REFGUID set, DWORD id, DWORD *support)
{
    RETURN_HR_IF(E_PROP_SET_UNSUPPORTED, !IsEqualGUID(set, AMPROPSETID_Pin));
    RETURN_HR_IF(E_PROP_ID_UNSUPPORTED, id != AMPROPERTY_PIN_CATEGORY);
    if (support) *support = KSPROPERTY_SUPPORT_GET;
    return S_OK;
}

} // namespace quilo::kit
