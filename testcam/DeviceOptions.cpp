#include "testcam/DeviceOptions.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quilo::testcam {
namespace {

constexpr long kMinSide = 16;
constexpr long kMaxSide = 4096;
constexpr long kMaxFps = 1000;
constexpr long kMaxStartMs = 60000;
constexpr long kMaxSettle = 1000000;

struct NamedValue
{
    const char *name;
    long value;
};

// AnalogVideoStandard values by name; the first name of a value is the one shown.
const NamedValue kStandards[] = {
    {"NTSC_M", 0x1}, {"NTSC_M_J", 0x2}, {"NTSC_J", 0x2}, {"NTSC_433", 0x4},
    {"PAL_B", 0x10}, {"PAL_D", 0x20}, {"PAL_G", 0x40}, {"PAL_H", 0x80}, {"PAL_I", 0x100},
    {"PAL_M", 0x200}, {"PAL_N", 0x400}, {"PAL_60", 0x800},
    {"SECAM_B", 0x1000}, {"SECAM_D", 0x2000}, {"SECAM_G", 0x4000}, {"SECAM_H", 0x8000},
    {"SECAM_K", 0x10000}, {"SECAM_K1", 0x20000}, {"SECAM_L", 0x40000}, {"SECAM_L1", 0x80000},
    {"PAL_N_COMBO", 0x100000}, {"None", 0},
};

// PhysicalConnectorType values by name; the first name of a value is the one shown.
const NamedValue kConnectors[] = {
    {"tuner", 1}, {"composite", 2}, {"svideo", 3}, {"rgb", 4}, {"yryby", 5},
    {"serialdigital", 6}, {"paralleldigital", 7}, {"scsi", 8}, {"aux", 9}, {"1394", 10},
    {"usb", 11}, {"decoder", 12}, {"encoder", 13}, {"scart", 14}, {"black", 15},
    {"audiotuner", 0x1000}, {"line", 0x1001}, {"mic", 0x1002}, {"aesdigital", 0x1003},
    {"spdif", 0x1004}, {"audioscsi", 0x1005}, {"audioaux", 0x1006}, {"audio1394", 0x1007},
    {"audiousb", 0x1008}, {"audio", 0x1009}, {"audiodecoder", 0x1009},
};

const char *const kCapsNames[] = {"videoinfo", "videoinfo2", "short"};

std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

// A whole decimal or 0x-hexadecimal number, nothing before or after it.
bool parse_number(const std::string &text, long &value)
{
    if (text.empty() || text[0] == ' ' || text[0] == '+') return false;
    errno = 0;
    char *end = nullptr;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const unsigned long long parsed = hex ? std::strtoull(text.c_str() + 2, &end, 16) : 0;
    if (hex) {
        if (errno || *end || parsed > 0xFFFFFFFFull || !std::isxdigit(static_cast<unsigned char>(text[2])))
            return false;
        value = static_cast<long>(static_cast<unsigned long>(parsed));
        return true;
    }
    const long long signedValue = std::strtoll(text.c_str(), &end, 10);
    if (errno || *end || signedValue < LONG_MIN || signedValue > LONG_MAX) return false;
    value = static_cast<long>(signedValue);
    return true;
}

bool parse_size(const std::string &text, long &width, long &height)
{
    const size_t x = text.find_first_of("xX");
    if (x == std::string::npos) return false;
    if (!parse_number(text.substr(0, x), width) || !parse_number(text.substr(x + 1), height)) return false;
    const long side = height < 0 ? -height : height;
    return width >= kMinSide && width <= kMaxSide && side >= kMinSide && side <= kMaxSide;
}

bool parse_connectors(const std::string &text, std::vector<long> &types)
{
    types.clear();
    for (const std::string &name : split(text, ',')) {
        const NamedValue *hit = nullptr;
        for (const NamedValue &entry : kConnectors)
            if (name == entry.name) hit = &entry;
        if (!hit) return false;
        types.push_back(hit->value);
    }
    return !types.empty();
}

bool parse_crossbar(const std::string &text, DeviceOptions &options)
{
    if (text.empty()) {
        options.crossbarInputs.clear();
        options.crossbarOutputs.clear();
        return true;
    }
    const size_t slash = text.find('/');
    if (slash == std::string::npos) return false;
    return parse_connectors(text.substr(0, slash), options.crossbarInputs) &&
           parse_connectors(text.substr(slash + 1), options.crossbarOutputs);
}

bool parse_standard(const std::string &text, long &standard)
{
    for (const NamedValue &entry : kStandards) {
        if (_stricmp(text.c_str(), entry.name) == 0) {
            standard = entry.value;
            return true;
        }
    }
    return parse_number(text, standard);
}

bool parse_caps(const std::string &text, CapsMode &caps)
{
    for (int i = 0; i < 3; ++i) {
        if (text == kCapsNames[i]) {
            caps = static_cast<CapsMode>(i);
            return true;
        }
    }
    return false;
}

std::string size_text(long width, long height)
{
    return std::to_string(width) + "x" + std::to_string(height);
}

std::string hresult_text(long hr)
{
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

// A frame count option: -1 (off) or more; shown only when on.
bool parse_count(const std::string &text, long &count) { return parse_number(text, count) && count >= -1; }
std::string count_text(long count) { return count >= 0 ? std::to_string(count) : std::string(); }

std::string connectors_text(const std::vector<long> &types)
{
    std::string text;
    for (long type : types) {
        if (!text.empty()) text += ',';
        const char *name = connector_name(type);
        text += name ? name : std::to_string(type);
    }
    return text;
}

// Options whose argument is parsed by a function; flags set a member to true.
struct FlagOption
{
    const char *flag;
    bool DeviceOptions::*member;
    const char *valueName;
};

const FlagOption kFlags[] = {
    {"--crossbar-fail", &DeviceOptions::crossbarFail, "CrossbarFail"},
    {"--crossbar-refuse", &DeviceOptions::crossbarRefuse, "CrossbarRefuse"},
    {"--decoder-fail", &DeviceOptions::decoderFail, "DecoderFail"},
    {"--decoder-sfalse", &DeviceOptions::decoderSFalse, "DecoderSFalse"},
    {"--refuse-format", &DeviceOptions::refuseFormat, "RefuseFormat"},
    {"--any-size", &DeviceOptions::anySize, "AnySize"},
    {"--short-samples", &DeviceOptions::shortSamples, "ShortSamples"},
    {"--no-pages", &DeviceOptions::noPages, "NoPages"},
    {"--no-name", &DeviceOptions::noName, "NoName"},
    {"--no-path", &DeviceOptions::noPath, "NoPath"},
    {"--still-pin-first", &DeviceOptions::stillPinFirst, "StillPinFirst"},
    {"--stall", &DeviceOptions::stall, "Stall"},
    {"--unplugged", &DeviceOptions::unplugged, "Unplugged"},
    {"--run-fails", &DeviceOptions::runFails, "RunFails"},
    {"--refuse-set", &DeviceOptions::refuseSet, "RefuseSet"},
    {"--marks", &DeviceOptions::marks, "Marks"},
};

// Options with an argument, parsed from their text form (both command line and registry).
struct ArgumentOption
{
    const char *flag;
    const char *valueName;
    bool isText;
    bool (*parse)(const std::string &text, DeviceOptions &options);
    std::string (*format)(const DeviceOptions &options);
    long DeviceOptions::*number; // the member a REG_DWORD value holds (null for text values)
};

const ArgumentOption kArguments[] = {
    {"--size", "Size", true,
     [](const std::string &t, DeviceOptions &o) { return parse_size(t, o.width, o.height); },
     [](const DeviceOptions &o) { return size_text(o.width, o.height); }, nullptr},
    {"--fps", "FrameRate", false,
     [](const std::string &t, DeviceOptions &o) { return parse_number(t, o.fps) && o.fps >= 0 && o.fps <= kMaxFps; },
     [](const DeviceOptions &o) { return std::to_string(o.fps); }, &DeviceOptions::fps},
    {"--rates", "FrameRates", true,
     [](const std::string &t, DeviceOptions &o) {
         if (t.empty()) return true; // the registry's form of "fixed"
         const size_t dash = t.find('-');
         return dash != std::string::npos && parse_number(t.substr(0, dash), o.minFps) &&
                parse_number(t.substr(dash + 1), o.maxFps) && o.minFps >= 1 && o.minFps <= o.maxFps &&
                o.maxFps <= kMaxFps;
     },
     [](const DeviceOptions &o) {
         return o.hasRateRange() ? std::to_string(o.minFps) + "-" + std::to_string(o.maxFps) : std::string();
     },
     nullptr},
    {"--procamp", "ProcAmp", true,
     [](const std::string &t, DeviceOptions &o) { return parse_properties(ControlKind::ProcAmp, t, o.procAmp); },
     [](const DeviceOptions &o) { return properties_text(ControlKind::ProcAmp, o.procAmp); }, nullptr},
    {"--camctl", "CameraControl", true,
     [](const std::string &t, DeviceOptions &o) {
         return t.empty() || parse_properties(ControlKind::CameraControl, t, o.cameraControl);
     },
     [](const DeviceOptions &o) {
         return o.cameraControl ? properties_text(ControlKind::CameraControl, o.cameraControl) : std::string();
     },
     nullptr},
    {"--range", "Ranges", true,
     [](const std::string &t, DeviceOptions &o) { return parse_ranges(t, o.ranges); },
     [](const DeviceOptions &o) { return ranges_text(o.ranges); }, nullptr},
    {"--crossbar", "Crossbar", true,
     [](const std::string &t, DeviceOptions &o) { return parse_crossbar(t, o); },
     [](const DeviceOptions &o) { return crossbar_text(o); }, nullptr},
    {"--standard", "VideoStandard", false,
     [](const std::string &t, DeviceOptions &o) { return parse_standard(t, o.standard); },
     [](const DeviceOptions &o) { return standard_text(o.standard); }, &DeviceOptions::standard},
    {"--caps", "Caps", true,
     [](const std::string &t, DeviceOptions &o) { return parse_caps(t, o.caps); },
     [](const DeviceOptions &o) { return std::string(kCapsNames[static_cast<int>(o.caps)]); }, nullptr},
    {"--stall-after", "StallAfter", false,
     [](const std::string &t, DeviceOptions &o) { return parse_count(t, o.stallAfter); },
     [](const DeviceOptions &o) { return count_text(o.stallAfter); }, &DeviceOptions::stallAfter},
    {"--lost-after", "LostAfter", false,
     [](const std::string &t, DeviceOptions &o) { return parse_count(t, o.lostAfter); },
     [](const DeviceOptions &o) { return count_text(o.lostAfter); }, &DeviceOptions::lostAfter},
    {"--abort-after", "AbortAfter", false,
     [](const std::string &t, DeviceOptions &o) { return parse_count(t, o.abortAfter); },
     [](const DeviceOptions &o) { return count_text(o.abortAfter); }, &DeviceOptions::abortAfter},
    {"--abort-error", "AbortError", false,
     [](const std::string &t, DeviceOptions &o) { return parse_number(t, o.abortError) && o.abortError < 0; },
     [](const DeviceOptions &o) {
         return o.abortAfter >= 0 || o.runFails ? hresult_text(o.abortError) : std::string();
     },
     &DeviceOptions::abortError},
    {"--end-after", "EndAfter", false,
     [](const std::string &t, DeviceOptions &o) { return parse_count(t, o.endAfter); },
     [](const DeviceOptions &o) { return count_text(o.endAfter); }, &DeviceOptions::endAfter},
    {"--warn-after", "WarnAfter", false,
     [](const std::string &t, DeviceOptions &o) { return parse_count(t, o.warnAfter); },
     [](const DeviceOptions &o) { return count_text(o.warnAfter); }, &DeviceOptions::warnAfter},
    {"--change-after", "ChangeAfter", false,
     [](const std::string &t, DeviceOptions &o) { return parse_count(t, o.changeAfter); },
     [](const DeviceOptions &o) { return count_text(o.changeAfter); }, &DeviceOptions::changeAfter},
    {"--change-size", "ChangeSize", true,
     [](const std::string &t, DeviceOptions &o) {
         if (t.empty()) return true; // the registry's form of "none"
         return parse_size(t, o.changeWidth, o.changeHeight);
     },
     [](const DeviceOptions &o) { return o.changeWidth > 0 ? size_text(o.changeWidth, o.changeHeight) : std::string(); },
     nullptr},
    {"--tag", "Tag", false,
     [](const std::string &t, DeviceOptions &o) { return parse_number(t, o.tag) && o.tag >= 0; },
     [](const DeviceOptions &o) { return std::to_string(o.tag); }, &DeviceOptions::tag},
    {"--start-ms", "StartMs", false,
     [](const std::string &t, DeviceOptions &o) { return parse_number(t, o.startMs) && o.startMs >= 0 && o.startMs <= kMaxStartMs; },
     [](const DeviceOptions &o) { return o.startMs > 0 ? std::to_string(o.startMs) : std::string(); },
     &DeviceOptions::startMs},
    {"--settle", "SettleFrames", false,
     [](const std::string &t, DeviceOptions &o) { return parse_number(t, o.settle) && o.settle >= 0 && o.settle <= kMaxSettle; },
     [](const DeviceOptions &o) { return o.settle > 0 ? std::to_string(o.settle) : std::string(); },
     &DeviceOptions::settle},
};

} // namespace

std::string standard_text(long standard)
{
    for (const NamedValue &entry : kStandards)
        if (entry.value == standard) return entry.name;
    char text[16];
    std::snprintf(text, sizeof(text), "0x%lX", static_cast<unsigned long>(standard));
    return text;
}

const char *connector_name(long physicalType)
{
    for (const NamedValue &entry : kConnectors)
        if (entry.value == physicalType) return entry.name;
    return nullptr;
}

std::string crossbar_text(const DeviceOptions &options)
{
    if (!options.hasCrossbar()) return "";
    return connectors_text(options.crossbarInputs) + "/" + connectors_text(options.crossbarOutputs);
}

bool parse_options(const std::vector<std::string> &args, DeviceOptions &options, std::string &error)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        bool known = false;
        for (const FlagOption &flag : kFlags) {
            if (arg == flag.flag) {
                options.*flag.member = true;
                known = true;
            }
        }
        for (const ArgumentOption &option : kArguments) {
            if (known || arg != option.flag) continue;
            known = true;
            if (i + 1 >= args.size()) {
                error = std::string(option.flag) + " needs a value";
                return false;
            }
            const std::string &value = args[++i];
            // An empty crossbar text means "none" in the registry, but on the command line
            // it is a mistake.
            if (!option.parse(value, options) || value.empty()) {
                error = "bad value for " + std::string(option.flag) + ": \"" + value + "\"";
                return false;
            }
        }
        if (!known) {
            error = "unknown option \"" + arg + "\"";
            return false;
        }
    }
    if (!options.hasCrossbar() && (options.crossbarFail || options.crossbarRefuse)) {
        error = "--crossbar-fail and --crossbar-refuse need --crossbar";
        return false;
    }
    if (options.hasRateRange() && (options.fps < options.minFps || options.fps > options.maxFps)) {
        error = "--fps must lie within --rates (it is the rate a device starts at)";
        return false;
    }
    if ((options.changeAfter >= 0) != (options.changeWidth > 0)) {
        error = "--change-after and --change-size go together";
        return false;
    }
    return true;
}

std::string describe_options(const DeviceOptions &options)
{
    std::string text;
    for (const ArgumentOption &option : kArguments) {
        const std::string value = option.format(options);
        if (value.empty()) continue;
        if (!text.empty()) text += ' ';
        text += std::string(option.flag) + " " + value;
    }
    for (const FlagOption &flag : kFlags)
        if (options.*flag.member) text += std::string(" ") + flag.flag;
    return text;
}

std::vector<OptionValue> option_values(const DeviceOptions &options)
{
    std::vector<OptionValue> values;
    for (const ArgumentOption &option : kArguments) {
        OptionValue value{option.valueName, option.isText, {}, 0};
        if (option.isText)
            value.text = option.format(options);
        else
            value.number = static_cast<DWORD>(options.*option.number);
        values.push_back(value);
    }
    for (const FlagOption &flag : kFlags)
        values.push_back(OptionValue{flag.valueName, false, {}, options.*flag.member ? 1u : 0u});
    return values;
}

HRESULT read_option_values(const ValueReader &read, DeviceOptions &options)
{
    for (const ArgumentOption &option : kArguments) {
        std::string text;
        DWORD number = 0;
        if (FAILED(read(option.valueName, option.isText, text, number))) continue;
        if (!option.isText) {
            char buffer[16];
            std::snprintf(buffer, sizeof(buffer), "%ld", static_cast<long>(number));
            text = buffer;
        }
        if (!option.parse(text, options)) return E_INVALIDARG;
    }
    for (const FlagOption &flag : kFlags) {
        std::string text;
        DWORD number = 0;
        if (SUCCEEDED(read(flag.valueName, false, text, number))) options.*flag.member = number != 0;
    }
    return S_OK;
}

} // namespace quilo::testcam
