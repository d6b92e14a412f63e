// One kind of the camera's image controls (its video processing amplifier or its camera
// control): per property the configured range and the current value and mode. Values are the
// device's, as a camera's hardware keeps them: every filter object of the device reads and
// writes the same ones, which stay while the device is plugged in.
#pragma once

#include <windows.h>
#include <vector>

#include "common/CriticalSection.h"
#include "testcam/ControlTable.h"

namespace quilo::testcam {

class DeviceState;

class ControlSet
{
public:
    struct Setup
    {
        unsigned properties = 0;            // bit per property present
        std::vector<RangeOverride> ranges;  // in place of the built-in ranges
        bool refuseSet = false;             // every Set fails with kSetRefused
    };
    explicit ControlSet(ControlKind kind) : kind_(kind) {}
    // `state` is the device whose values are shared and recorded (may be null: this object
    // keeps its own and records nothing).
    void configure(const Setup &setup, const DeviceState *state);
    bool present() const { return setup_.properties != 0; }
    bool has(long property) const;

    HRESULT getRange(long property, long *min, long *max, long *step, long *defaultValue, long *caps) const;
    HRESULT set(long property, long value, long flags);
    HRESULT get(long property, long *value, long *flags) const;

private:
    ControlRange range(long property) const { return control_range(setup_.ranges, kind_, property); }

    const ControlKind kind_;
    mutable CriticalSection lock_;
    Setup setup_;
    const DeviceState *state_ = nullptr;
    // Flag values are the same for both kinds (Auto 1, Manual 2).
    long values_[kProcAmpPropertyCount] = {};
    long flags_[kProcAmpPropertyCount] = {};
};

} // namespace quilo::testcam
