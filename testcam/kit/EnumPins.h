// IEnumPins over a kit filter's pins, in the filter's order.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "testcam/kit/ComTable.h"

namespace quilo::kit {

class BaseFilter;

class PinEnumerator final : public IEnumPins
{
public:
    // Holds a reference to the filter for as long as it lives.
    PinEnumerator(BaseFilter &filter, ULONG position);
    PinEnumerator(const PinEnumerator &) = delete;
    PinEnumerator &operator=(const PinEnumerator &) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Next(ULONG count, IPin **pins, ULONG *fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumPins **clone) override;

private:
    ~PinEnumerator();

    LiveObject live_;
    volatile LONG refs_ = 1;
    BaseFilter &filter_;
    volatile LONG position_;
};

} // namespace quilo::kit
