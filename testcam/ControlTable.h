// The camera's image controls as the device is configured: the properties of its video
// processing amplifier and of its camera control, numbered as the platform numbers them, with
// the range, step, default and automatic mode of each. Shared by the filter, which answers
// hosts from it, and the device tool, which parses and shows it.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

namespace quilo::testcam {

// IAMVideoProcAmp (VideoProcAmpProperty) or IAMCameraControl (CameraControlProperty).
enum class ControlKind { ProcAmp, CameraControl };

constexpr long kProcAmpPropertyCount = 10;
constexpr long kCameraControlPropertyCount = 7;
constexpr long property_count(ControlKind kind)
{
    return kind == ControlKind::ProcAmp ? kProcAmpPropertyCount : kCameraControlPropertyCount;
}
// Bit of a property in a device's set of properties of one kind.
constexpr unsigned property_bit(long property) { return 1u << property; }

struct ControlRange
{
    long min = 0, max = 0, step = 1, defaultValue = 0;
    bool canAuto = false;       // the property has an automatic mode
    bool startsAuto = false;    // and is in it until a host sets a value
};

// A range given with --range, in place of the built-in one.
struct RangeOverride
{
    ControlKind kind;
    long property;
    ControlRange range;
};

// "brightness" ... "gain", "pan" ... "focus"; null for no property.
const char *control_name(ControlKind kind, long property);
// Finds a property of either kind by its name.
bool find_control(const std::string &name, ControlKind &kind, long &property);

// The range a device answers for a property: its --range entry, else the built-in one.
ControlRange control_range(const std::vector<RangeOverride> &overrides, ControlKind kind, long property);

// A comma-separated list of one kind's property names, "none" or "all".
bool parse_properties(ControlKind kind, const std::string &text, unsigned &mask);
std::string properties_text(ControlKind kind, unsigned mask);
// --range: comma-separated NAME:MIN:MAX:STEP:DEFAULT[:auto|:auto-off] entries.
bool parse_ranges(const std::string &text, std::vector<RangeOverride> &overrides);
std::string ranges_text(const std::vector<RangeOverride> &overrides);
// One range as `list` shows it: "-13..-1 step 1, default -6, automatic".
std::string range_text(const ControlRange &range);

} // namespace quilo::testcam
