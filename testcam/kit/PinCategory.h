// A pin's category as IKsPropertySet gives it (AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY):
// read-only, one GUID. The capture and still pins are CategoryPins.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "testcam/kit/OutputPin.h"

namespace quilo::kit {

HRESULT set_pin_category(REFGUID set);
HRESULT get_pin_category(REFGUID set, DWORD id, const GUID &category, void *data, DWORD dataBytes, DWORD *returned);
HRESULT query_pin_category(REFGUID set, DWORD id, DWORD *support);

// An output pin that tells its category through IKsPropertySet. Its queryExtra answers
// IID_IKsPropertySet with `static_cast<IKsPropertySet *>(this)`.
class CategoryPin : public OutputPin, public IKsPropertySet
{
public:
    CategoryPin(BaseFilter &filter, const wchar_t *name, const GUID &category)
        : OutputPin(filter, name), category_(category)
    {
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override { return OutputPin::QueryInterface(iid, out); }
    ULONG STDMETHODCALLTYPE AddRef() override { return OutputPin::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return OutputPin::Release(); }
    HRESULT STDMETHODCALLTYPE Set(REFGUID set, DWORD, void *, DWORD, void *, DWORD) override
    {
        return set_pin_category(set);
    }
    HRESULT STDMETHODCALLTYPE Get(REFGUID set, DWORD id, void *, DWORD, void *data, DWORD dataBytes,
                                  DWORD *returned) override
    {
        return get_pin_category(set, id, category_, data, dataBytes, returned);
    }
    HRESULT STDMETHODCALLTYPE QuerySupported(REFGUID set, DWORD id, DWORD *support) override
    {
        return query_pin_category(set, id, support);
    }

private:
    const GUID category_;
};

} // namespace quilo::kit
