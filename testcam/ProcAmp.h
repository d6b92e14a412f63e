// The camera's video processing amplifier: per property a range, step, default and
// auto/manual capability, and the current value, kept per device like a plugged-in camera.
#pragma once

#include <windows.h>

#include "common/CriticalSection.h"
#include "testcam/DeviceOptions.h"

namespace quilo::testcam {

class DeviceState;

class ProcAmp
{
public:
    // Properties present (bit per VideoProcAmpProperty) and the device whose kept values
    // are loaded and updated (may be null: nothing is kept or recorded).
    void configure(unsigned properties, const DeviceState *state);
    bool present() const { return properties_ != 0; }

    HRESULT getRange(long property, long *min, long *max, long *step, long *defaultValue, long *caps) const;
    HRESULT set(long property, long value, long flags);
    HRESULT get(long property, long *value, long *flags) const;

private:
    bool has(long property) const;

    mutable CriticalSection lock_;
    unsigned properties_ = kDefaultProcAmp;
    const DeviceState *state_ = nullptr;
    long values_[kProcAmpPropertyCount] = {};
    long flags_[kProcAmpPropertyCount] = {};
};

} // namespace quilo::testcam
