#include "testcam/ControlTable.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sstream>

#include "dshow/DeviceProperties.h"

namespace quilo::testcam {
namespace {

// The built-in ranges (docs/TestCamera.md). A typical USB camera, indexed by VideoProcAmpProperty.
const ControlRange kProcAmp[kProcAmpPropertyCount] = {
    {-64, 64, 1, 0}, // brightness
    {0, 64, 1, 32}, // contrast
    {-40, 40, 1, 0}, // hue
    {0, 128, 1, 64}, // saturation
    {0, 6, 1, 3}, // sharpness
    {72, 500, 1, 100}, // gamma
    {0, 1, 1, 1}, // colorenable
    {2800, 6500, 10, 4600, true, true}, // whitebalance
    {0, 2, 1, 1}, // backlightcompensation
    {0, 100, 1, 0, true, false}, // gain
};

// A typical USB camera with a motorised head and lens, indexed by CameraControlProperty.
// Exposure is in log2 seconds, as the platform defines it.
const ControlRange kCameraControl[kCameraControlPropertyCount] = {
    {-180, 180, 1, 0}, // pan
    {-180, 180, 1, 0}, // tilt
    {-180, 180, 1, 0}, // roll
    {100, 400, 10, 100}, // zoom
    {-13, -1, 1, -6, true, true}, // exposure
    {0, 10, 1, 5}, // iris
    {0, 250, 5, 0, true, true}, // focus
};

const ControlRange *table(ControlKind kind) { return kind == ControlKind::ProcAmp ? kProcAmp : kCameraControl; }

std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    std::istringstream stream(text);
    std::string part;
    while (std::getline(stream, part, separator)) parts.push_back(part);
    if (!text.empty() && text.back() == separator) parts.emplace_back();
    return parts;
}

bool parse_long(const std::string &text, long &value)
{
    if (text.empty() || text[0] == ' ' || text[0] == '+') return false;
    errno = 0;
    char *end = nullptr;
    const long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno || *end || parsed < LONG_MIN || parsed > LONG_MAX) return false;
    value = static_cast<long>(parsed);
    return true;
}

bool parse_range(const std::string &text, RangeOverride &entry)
{
    const std::vector<std::string> fields = split(text, ':');
    if (fields.size() != 5 && fields.size() != 6) return false;
    if (!find_control(fields[0], entry.kind, entry.property)) return false;
    ControlRange &range = entry.range;
    if (!parse_long(fields[1], range.min) || !parse_long(fields[2], range.max) || !parse_long(fields[3], range.step) ||
        !parse_long(fields[4], range.defaultValue))
        return false;
    range.canAuto = fields.size() == 6;
    range.startsAuto = range.canAuto && fields[5] == "auto";
    if (range.canAuto && fields[5] != "auto" && fields[5] != "auto-off") return false;
    return range.min <= range.max && range.step > 0 && range.defaultValue >= range.min &&
           range.defaultValue <= range.max;
}

} // namespace

const char *control_name(ControlKind kind, long property)
{
    const dshow::DeviceProperty *found = dshow::find_device_property(kind == ControlKind::CameraControl, property);
    return found ? found->option : nullptr;
}

bool find_control(const std::string &name, ControlKind &kind, long &property)
{
    const dshow::DeviceProperty *found = dshow::find_device_option(name.c_str());
    if (!found) return false;
    kind = found->cameraControl ? ControlKind::CameraControl : ControlKind::ProcAmp;
    property = found->id;
    return true;
}

ControlRange control_range(const std::vector<RangeOverride> &overrides, ControlKind kind, long property)
{
    for (const RangeOverride &entry : overrides)
        if (entry.kind == kind && entry.property == property) return entry.range;
    return table(kind)[property];
}

bool parse_properties(ControlKind kind, const std::string &text, unsigned &mask)
{
    mask = 0;
    if (text == "none") return true;
    if (text == "all") {
        mask = (1u << property_count(kind)) - 1;
        return true;
    }
    for (const std::string &name : split(text, ',')) {
        ControlKind found;
        long property = 0;
        if (!find_control(name, found, property) || found != kind) return false;
        mask |= property_bit(property);
    }
    return mask != 0;
}

std::string properties_text(ControlKind kind, unsigned mask)
{
    if (mask == 0) return "none";
    std::string text;
    for (long property = 0; property < property_count(kind); ++property) {
        if (!(mask & property_bit(property))) continue;
        if (!text.empty()) text += ',';
        text += control_name(kind, property);
    }
    return text;
}

bool parse_ranges(const std::string &text, std::vector<RangeOverride> &overrides)
{
    overrides.clear();
    if (text.empty()) return true; // the registry's form of "built-in ranges"
    for (const std::string &part : split(text, ',')) {
        RangeOverride entry{};
        if (!parse_range(part, entry)) return false;
        overrides.push_back(entry);
    }
    return true;
}

std::string ranges_text(const std::vector<RangeOverride> &overrides)
{
    std::string text;
    for (const RangeOverride &entry : overrides) {
        const ControlRange &r = entry.range;
        if (!text.empty()) text += ',';
        text += std::string(control_name(entry.kind, entry.property)) + ":" + std::to_string(r.min) + ":" +
                std::to_string(r.max) + ":" + std::to_string(r.step) + ":" + std::to_string(r.defaultValue);
        if (r.canAuto) text += r.startsAuto ? ":auto" : ":auto-off";
    }
    return text;
}

std::string range_text(const ControlRange &range)
{
    std::string text = std::to_string(range.min) + ".." + std::to_string(range.max) + " step " +
                       std::to_string(range.step) + ", default " + std::to_string(range.defaultValue);
    if (range.canAuto) text += range.startsAuto ? ", automatic" : ", manual (can be automatic)";
    return text;
}

} // namespace quilo::testcam
