#include "testcam/kit/EnumPins.h"

namespace quilo::kit {

HRESULT FilterPins::get(ULONG index, IPin *&pin) const
{
    if (!has(index)) return S_FALSE;
    pin = filter->pin(index);
    pin->AddRef();
    return S_OK;
}

} // namespace quilo::kit
