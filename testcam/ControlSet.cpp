#include "testcam/ControlSet.h"

#include <strmif.h>
#include <vfwmsgs.h>
#include <string>

#include "common/HResult.h"
#include "testcam/DeviceOptions.h"
#include "testcam/DeviceRegistry.h"

namespace quilo::testcam {
namespace {

constexpr long kManual = VideoProcAmp_Flags_Manual;
constexpr long kAuto = VideoProcAmp_Flags_Auto;
static_assert(kManual == CameraControl_Flags_Manual && kAuto == CameraControl_Flags_Auto,
              "both interfaces use the same flags");

const char *record_of(ControlKind kind)
{
    return kind == ControlKind::ProcAmp ? record::kProcAmpSets : record::kCameraControlSets;
}

} // namespace

void ControlSet::configure(const Setup &setup, const DeviceState *state)
{
    Lock lock(lock_);
    setup_ = setup;
    state_ = state;
    for (long p = 0; p < property_count(kind_); ++p) {
        const ControlRange r = range(p);
        values_[p] = r.defaultValue;
        flags_[p] = r.startsAuto ? kAuto : kManual;
    }
}

bool ControlSet::has(long property) const
{
    return property >= 0 && property < property_count(kind_) && (setup_.properties & property_bit(property));
}

HRESULT ControlSet::getRange(long property, long *min, long *max, long *step, long *defaultValue, long *caps) const
{
    RETURN_HR_IF(E_POINTER, !min || !max || !step || !defaultValue || !caps);
    Lock lock(lock_);
    RETURN_HR_IF(E_PROP_ID_UNSUPPORTED, !has(property));
    const ControlRange r = range(property);
    *min = r.min;
    *max = r.max;
    *step = r.step;
    *defaultValue = r.defaultValue;
    *caps = r.canAuto ? kAuto | kManual : kManual;
    return S_OK;
}

HRESULT ControlSet::set(long property, long value, long flags)
{
    Lock lock(lock_);
    if (state_)
        state_->append(record_of(kind_),
                       std::to_string(property) + ":" + std::to_string(value) + ":" + std::to_string(flags));
    RETURN_HR_IF(E_PROP_ID_UNSUPPORTED, !has(property));
    const ControlRange r = range(property);
    // 0 (neither flag) is taken as manual, as drivers do; both at once, or an unknown bit, is not.
    RETURN_HR_IF(E_INVALIDARG, (flags & ~(kAuto | kManual)) != 0 || flags == (kAuto | kManual));
    RETURN_HR_IF(E_INVALIDARG, (flags & kAuto) && !r.canAuto);
    RETURN_HR_IF(E_INVALIDARG, !(flags & kAuto) && (value < r.min || value > r.max));
    RETURN_HR_IF(kSetRefused, setup_.refuseSet);
    if (state_) state_->loadControl(kind_, property, values_[property], flags_[property]);
    if (flags & kAuto) {
        flags_[property] = kAuto;
    } else {
        values_[property] = value;
        flags_[property] = kManual;
    }
    if (state_) state_->storeControl(kind_, property, values_[property], flags_[property]);
    return S_OK;
}

HRESULT ControlSet::get(long property, long *value, long *flags) const
{
    RETURN_HR_IF(E_POINTER, !value || !flags);
    Lock lock(lock_);
    RETURN_HR_IF(E_PROP_ID_UNSUPPORTED, !has(property));
    *value = values_[property];
    *flags = flags_[property];
    // Another filter object of the device may have set it since.
    if (state_) state_->loadControl(kind_, property, *value, *flags);
    return S_OK;
}

} // namespace quilo::testcam
