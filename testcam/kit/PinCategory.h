// A pin's category as IKsPropertySet gives it (AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY):
// read-only, one GUID. The capture and still pins answer through these.
#pragma once

#include <windows.h>
#include <strmif.h>

namespace quilo::kit {

HRESULT set_pin_category(REFGUID set);
HRESULT get_pin_category(REFGUID set, DWORD id, const GUID &category, void *data, DWORD dataBytes, DWORD *returned);
HRESULT query_pin_category(REFGUID set, DWORD id, DWORD *support);

} // namespace quilo::kit
