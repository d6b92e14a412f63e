// A still pin, as cameras with a snapshot button have: category PIN_CATEGORY_STILL, RGB24 of the
// device's size, and a frame only when the still is triggered, which nothing here does. A
// device with --still-pin-first lists it before its capture pin, so a host that takes the first
// output pin connects to a pin that never streams.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "testcam/DeviceOptions.h"
#include "testcam/kit/OutputPin.h"

namespace quilo::testcam {

class StillPin final : public kit::OutputPin, public IKsPropertySet
{
public:
    explicit StillPin(kit::BaseFilter &filter) : OutputPin(filter, L"Still") {}

    void configure(const DeviceOptions &options) { options_ = options; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override { return OutputPin::QueryInterface(iid, out); }
    ULONG STDMETHODCALLTYPE AddRef() override { return OutputPin::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return OutputPin::Release(); }
    // IKsPropertySet: the pin's category, read-only.
    HRESULT STDMETHODCALLTYPE Set(REFGUID set, DWORD, void *, DWORD, void *, DWORD) override;
    HRESULT STDMETHODCALLTYPE Get(REFGUID set, DWORD id, void *, DWORD, void *data, DWORD dataBytes,
                                  DWORD *returned) override;
    HRESULT STDMETHODCALLTYPE QuerySupported(REFGUID set, DWORD id, DWORD *support) override;

private:
    HRESULT checkMediaType(const AM_MEDIA_TYPE &mt) override;
    HRESULT mediaType(ULONG index, AM_MEDIA_TYPE &mt) override;
    HRESULT bufferNeeds(const AM_MEDIA_TYPE &mt, ALLOCATOR_PROPERTIES &props) override;
    HRESULT queryExtra(REFIID iid, void **out) override;

    DeviceOptions options_;
};

} // namespace quilo::testcam
