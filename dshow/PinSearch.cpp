#include "dshow/PinSearch.h"

namespace quilo::dshow {
namespace {

ComPtr<IPin> find_pin(IBaseFilter *filter, PIN_DIRECTION wanted, bool mustBeFree)
{
    if (!filter) return {};
    ComPtr<IEnumPins> pins;
    if (FAILED(filter->EnumPins(pins.put())) || !pins) return {};

    ComPtr<IPin> pin;
    while (pins->Next(1, pin.put(), nullptr) == S_OK) {
        PIN_INFO info = {};
        if (FAILED(pin->QueryPinInfo(&info))) continue;
        // The pin information carries a reference to the filter.
        if (info.pFilter) info.pFilter->Release();
        if (info.dir != wanted) continue;
        if (mustBeFree) {
            ComPtr<IPin> peer;
            if (SUCCEEDED(pin->ConnectedTo(peer.put()))) continue;
        }
        return pin;
    }
    return {};
}

} // namespace

ComPtr<IPin> findFreeOutputPin(IBaseFilter *filter) { return find_pin(filter, PINDIR_OUTPUT, true); }
ComPtr<IPin> findFreeInputPin(IBaseFilter *filter) { return find_pin(filter, PINDIR_INPUT, true); }
ComPtr<IPin> findOutputPin(IBaseFilter *filter) { return find_pin(filter, PINDIR_OUTPUT, false); }
ComPtr<IPin> findInputPin(IBaseFilter *filter) { return find_pin(filter, PINDIR_INPUT, false); }

} // namespace quilo::dshow
