#include "testcam/ProcAmp.h"

#include <strmif.h>
#include <vfwmsgs.h>
#include <string>

#include "common/HResult.h"
#include "testcam/DeviceRegistry.h"

namespace quilo::testcam {
namespace {

struct Range
{
    long min, max, step, defaultValue, caps, defaultFlags;
};

constexpr long kManual = VideoProcAmp_Flags_Manual;
constexpr long kAuto = VideoProcAmp_Flags_Auto;

// Ranges of a typical USB camera, indexed by VideoProcAmpProperty.
const Range kRanges[kProcAmpPropertyCount] = {
    {-64, 64, 1, 0, kManual, kManual},                  // brightness
    {0, 64, 1, 32, kManual, kManual},                   // contrast
    {-40, 40, 1, 0, kManual, kManual},                  // hue
    {0, 128, 1, 64, kManual, kManual},                  // saturation
    {0, 6, 1, 3, kManual, kManual},                     // sharpness
    {72, 500, 1, 100, kManual, kManual},                // gamma
    {0, 1, 1, 1, kManual, kManual},                     // colour enable
    {2800, 6500, 10, 4600, kAuto | kManual, kAuto},     // white balance
    {0, 2, 1, 1, kManual, kManual},                     // backlight compensation
    {0, 100, 1, 0, kAuto | kManual, kManual},           // gain
};

} // namespace

void ProcAmp::configure(unsigned properties, const DeviceState *state)
{
    Lock lock(lock_);
    properties_ = properties;
    state_ = state;
    for (long p = 0; p < kProcAmpPropertyCount; ++p) {
        values_[p] = kRanges[p].defaultValue;
        flags_[p] = kRanges[p].defaultFlags;
        if (state_) state_->loadControl(p, values_[p], flags_[p]);
    }
}

bool ProcAmp::has(long property) const
{
    return property >= 0 && property < kProcAmpPropertyCount && (properties_ & procamp_bit(property));
}

HRESULT ProcAmp::getRange(long property, long *min, long *max, long *step, long *defaultValue, long *caps) const
{
    RETURN_HR_IF(E_POINTER, !min || !max || !step || !defaultValue || !caps);
    Lock lock(lock_);
    RETURN_HR_IF(E_PROP_ID_UNSUPPORTED, !has(property));
    const Range &range = kRanges[property];
    *min = range.min;
    *max = range.max;
    *step = range.step;
    *defaultValue = range.defaultValue;
    *caps = range.caps;
    return S_OK;
}

HRESULT ProcAmp::set(long property, long value, long flags)
{
    Lock lock(lock_);
    if (state_)
        state_->append(record::kProcAmpSets,
                       std::to_string(property) + ":" + std::to_string(value) + ":" + std::to_string(flags));
    RETURN_HR_IF(E_PROP_ID_UNSUPPORTED, !has(property));
    const Range &range = kRanges[property];
    // 0 (neither flag) is taken as manual, as drivers do; both at once, or an unknown bit, is not.
    RETURN_HR_IF(E_INVALIDARG, (flags & ~(kAuto | kManual)) != 0 || flags == (kAuto | kManual));
    RETURN_HR_IF(E_INVALIDARG, (flags & kAuto) && !(range.caps & kAuto));
    if (flags & kAuto) {
        flags_[property] = kAuto;
    } else {
        RETURN_HR_IF(E_INVALIDARG, value < range.min || value > range.max);
        values_[property] = value;
        flags_[property] = kManual;
    }
    if (state_) state_->storeControl(property, values_[property], flags_[property]);
    return S_OK;
}

HRESULT ProcAmp::get(long property, long *value, long *flags) const
{
    RETURN_HR_IF(E_POINTER, !value || !flags);
    Lock lock(lock_);
    RETURN_HR_IF(E_PROP_ID_UNSUPPORTED, !has(property));
    *value = values_[property];
    *flags = flags_[property];
    return S_OK;
}

} // namespace quilo::testcam
