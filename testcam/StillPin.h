// A still pin, as cameras with a snapshot button have: category PIN_CATEGORY_STILL, RGB24 of the
// device's size, and a frame only when the still is triggered, which nothing here does. A
// device with --still-pin-first lists it before its capture pin, so a host that takes the first
// output pin connects to a pin that never streams.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "testcam/DeviceOptions.h"
#include <uuids.h>

#include "testcam/kit/PinCategory.h"

namespace quilo::testcam {

class StillPin final : public kit::CategoryPin
{
public:
    explicit StillPin(kit::BaseFilter &filter) : CategoryPin(filter, L"Still", PIN_CATEGORY_STILL) {}

    void configure(const DeviceOptions &options) { options_ = options; }

private:
    HRESULT checkMediaType(const AM_MEDIA_TYPE &mt) override;
    HRESULT mediaType(ULONG index, AM_MEDIA_TYPE &mt) override;
    HRESULT bufferNeeds(const AM_MEDIA_TYPE &mt, ALLOCATOR_PROPERTIES &props) override;
    HRESULT queryExtra(REFIID iid, void **out) override;

    DeviceOptions options_;
};

} // namespace quilo::testcam
