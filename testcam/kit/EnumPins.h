// IEnumPins over a kit filter's pins, in the filter's order.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "common/ComPtr.h"
#include "testcam/kit/BaseFilter.h"
#include "testcam/kit/Enumerator.h"

namespace quilo::kit {

// A filter's pins, read under the filter lock. Holds the filter for as long as it lives.
struct FilterPins
{
    using Interface = IEnumPins;
    using Item = IPin *;
    static const IID &iid() { return IID_IEnumPins; }

    template <typename Walk>
    HRESULT guarded(Walk walk) const
    {
        Lock lock(filter->lock());
        return walk();
    }
    bool has(ULONG index) const { return index < filter->pinCount(); }
    HRESULT get(ULONG index, IPin *&pin) const;
    static void drop(IPin *pin) { pin->Release(); }

    ComPtr<BaseFilter> filter;
};

using PinEnumerator = Enumerator<FilterPins>;

} // namespace quilo::kit
