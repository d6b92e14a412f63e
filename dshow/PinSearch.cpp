#include "dshow/PinSearch.h"

#include <uuids.h>

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

bool is_capture_pin(IPin *pin)
{
    ComPtr<IKsPropertySet> properties;
    if (FAILED(pin->QueryInterface(IID_IKsPropertySet, properties.put_void())) || !properties) return false;
    GUID category = GUID_NULL;
    DWORD returned = 0;
    return properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, sizeof(category),
                           &returned) == S_OK &&
           returned == sizeof(category) && IsEqualGUID(category, PIN_CATEGORY_CAPTURE);
}

} // namespace

ComPtr<IPin> findCapturePin(IBaseFilter *filter)
{
    if (!filter) return {};
    ComPtr<IEnumPins> pins;
    if (SUCCEEDED(filter->EnumPins(pins.put())) && pins) {
        ComPtr<IPin> pin;
        while (pins->Next(1, pin.put(), nullptr) == S_OK) {
            PIN_DIRECTION direction = PINDIR_INPUT;
            ComPtr<IPin> peer;
            if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == PINDIR_OUTPUT &&
                FAILED(pin->ConnectedTo(peer.put())) && is_capture_pin(pin.get()))
                return pin;
        }
    }
    return findFreeOutputPin(filter);
}

ComPtr<IPin> findFreeOutputPin(IBaseFilter *filter) { return find_pin(filter, PINDIR_OUTPUT, true); }
ComPtr<IPin> findFreeInputPin(IBaseFilter *filter) { return find_pin(filter, PINDIR_INPUT, true); }
ComPtr<IPin> findOutputPin(IBaseFilter *filter) { return find_pin(filter, PINDIR_OUTPUT, false); }
ComPtr<IPin> findInputPin(IBaseFilter *filter) { return find_pin(filter, PINDIR_INPUT, false); }

} // namespace quilo::dshow
