#include "tools/CommandLine.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "tools/NumberText.h"

namespace quilo::grab {
namespace {

using host::parse_long;
using host::parse_size;

const char kUsage[] =
    "usage: quilo-grab COMMAND [OPTIONS]\n"
    "\n"
    "A host program for QuiloVideo.ocx: it creates the registered class QuiloVideo.CQuiloVideoProc\n"
    "through COM, opens a video input device by its position and grabs frames, reads and sets the\n"
    "camera image controls and the analog video standard.\n"
    "\n"
    "commands:\n"
    "  list        List the video input devices: position and name, in the order the\n"
    "              component counts them, with each one's device path and formats.\n"
    "  grab        Open a device, grab frames and write each as PNG and BMP; print the record\n"
    "              (width, height, depth, channels, stride).\n"
    "  controls    Show every image control the device has: range, step, default, value and\n"
    "              automatic mode (through QuiloVideo.Camera); --set changes some first.\n"
    "  set         Set controls, NAME=VALUE or NAME=auto, in the order given, then show them\n"
    "              all as controls does.\n"
    "  standard    Show the analog video standard; --set changes it first.\n"
    "  help        Show this text.\n"
    "\n"
    "options (all commands that open a device):\n"
    "  --device N|NAME  device position as `list` shows it (default 0), or its exact name\n"
    "  --size WxH       frame size the device is set to (default 640x480); a size the device\n"
    "                   refuses is reported with the sizes it offers, without a dialog\n"
    "\n"
    "grab options:\n"
    "  --pages          show the capture pin's property pages instead of setting --size\n"
    "  --flip           ask the component for top-down rows (default)\n"
    "  --no-flip        ask for bottom-up rows; the files show the same picture either way\n"
    "  --fps RATE       open the format of --size at RATE frames per second, through the\n"
    "                   automation class QuiloVideo.Camera (top-down rows)\n"
    "  --count K        grab K frames (default 1)\n"
    "  --out PREFIX     write PREFIX.png and PREFIX.bmp (default: frame), or PREFIX-1.png,\n"
    "                   PREFIX-1.bmp, ... when K is above 1\n"
    "\n"
    "controls options:\n"
    "  --set NAME=VALUE set a control before showing them all; may be repeated. VALUE is in\n"
    "                   the device's units, or auto for its automatic mode. Names (any case):\n"
    "                   brightness, contrast, hue, saturation, sharpness, gamma, colorenable,\n"
    "                   whitebalance, backlightcompensation, gain, pan, tilt, roll, zoom,\n"
    "                   exposure, iris, focus.\n"
    "\n"
    "standard options:\n"
    "  --set NAME       set the video standard: NTSC_M, NTSC_J, NTSC_433, PAL_B, PAL_D, PAL_G,\n"
    "                   PAL_H, PAL_I, PAL_M, PAL_N, PAL_60, SECAM_B, SECAM_D, SECAM_G, SECAM_H,\n"
    "                   SECAM_K, SECAM_K1, SECAM_L, SECAM_L1 (exact spelling). A device without\n"
    "                   an analog video decoder shows \"None Video\" and cannot be set.\n"
    "\n"
    "examples:\n"
    "  quilo-grab list\n"
    "  quilo-grab grab --device 0 --size 1280x720 --out shot\n"
    "  quilo-grab grab --pages --count 3\n"
    "  quilo-grab grab --device \"USB Camera\" --size 1280x720 --fps 15\n"
    "  quilo-grab controls --set brightness=10 --set gamma=120\n"
    "  quilo-grab set exposure=-5 focus=auto --device \"USB Camera\"\n"
    "  quilo-grab standard --set PAL_B\n"
    "\n"
    "Exit status: 0 on success, 1 when the component, the platform or a file write fails (the\n"
    "failing method, its HRESULT and the platform's text for it are printed), 2 for a command\n"
    "line that is not understood.\n"
    "The component must be registered first, the module of this program's own bitness (the\n"
    "QuiloVideo.ocx beside it): regsvr32 QuiloVideo.ocx.\n";

const char *command_name(Command c)
{
    switch (c) {
    case Command::List: return "list";
    case Command::Grab: return "grab";
    case Command::Controls: return "controls";
    case Command::Set: return "set";
    case Command::Standard: return "standard";
    default: return "help";
    }
}

// NAME=VALUE (a whole number) or NAME=auto.
bool parse_setting(const char *text, Options &options, std::string &error)
{
    const char *eq = std::strchr(text, '=');
    ControlSetting setting;
    if (eq) setting.name.assign(text, eq);
    setting.automatic = eq && std::strcmp(eq + 1, "auto") == 0;
    if (setting.name.empty() || (!setting.automatic && !parse_long(eq + 1, LONG_MIN, LONG_MAX, setting.value))) {
        error = "a control setting is NAME=VALUE with a whole number, or NAME=auto, not '" + std::string(text) + "'";
        return false;
    }
    options.controlSettings.push_back(setting);
    return true;
}

} // namespace

const char *usage_text()
{
    return kUsage;
}

bool parse_command_line(int argc, char **argv, Options &options, std::string &error)
{
    options = Options();
    if (argc < 2) {
        error = "no command given";
        return false;
    }
    const std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help" || command == "/?") {
        options.command = Command::Help;
        return true;
    }
    if (command == "list") options.command = Command::List;
    else if (command == "grab") options.command = Command::Grab;
    else if (command == "controls") options.command = Command::Controls;
    else if (command == "set") options.command = Command::Set;
    else if (command == "standard") options.command = Command::Standard;
    else {
        error = "unknown command '" + command + "'";
        return false;
    }

    const Command c = options.command;
    const bool opensDevice = c != Command::List;
    bool sizeGiven = false, flipGiven = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
        auto needs = [&](bool allowed) {
            if (!allowed) error = arg + " is not an option of " + command_name(c);
            else if (!value) error = arg + " needs a value";
            return allowed && value;
        };
        auto flag = [&](bool allowed) {
            if (!allowed) error = arg + " is not an option of " + command_name(c);
            return allowed;
        };

        if (arg == "--help" || arg == "-h") {
            options.command = Command::Help;
            return true;
        } else if (arg == "--device") {
            if (!needs(opensDevice)) return false;
            // A position, or else the device's exact name.
            if (!parse_long(value, 0, 0x7FFFFFFF, options.device)) {
                options.deviceName = value;
                if (options.deviceName.empty() || options.deviceName[0] == '-') {
                    error = "--device needs a position (0, 1, ...) or a device name, not '" + std::string(value) + "'";
                    return false;
                }
            }
            ++i;
        } else if (arg == "--fps") {
            if (!needs(c == Command::Grab)) return false;
            char *end = nullptr;
            options.fps = std::strtod(value, &end);
            if (!end || *end || !(options.fps > 0 && options.fps <= 1000)) {
                error = "--fps needs a frame rate above 0 and up to 1000, not '" + std::string(value) + "'";
                return false;
            }
            ++i;
        } else if (arg == "--size") {
            if (!needs(opensDevice)) return false;
            if (!parse_size(value, options.width, options.height)) {
                error = "--size needs WIDTHxHEIGHT, for example 640x480, not '" + std::string(value) + "'";
                return false;
            }
            sizeGiven = true;
            ++i;
        } else if (arg == "--pages") {
            if (!flag(c == Command::Grab)) return false;
            options.pages = true;
        } else if (arg == "--flip" || arg == "--no-flip") {
            if (!flag(c == Command::Grab)) return false;
            if (flipGiven && options.flip != (arg == "--flip")) {
                error = "--flip and --no-flip exclude each other";
                return false;
            }
            options.flip = arg == "--flip";
            flipGiven = true;
        } else if (arg == "--count") {
            if (!needs(c == Command::Grab)) return false;
            if (!parse_long(value, 1, 100000, options.count)) {
                error = "--count needs a number from 1 to 100000, not '" + std::string(value) + "'";
                return false;
            }
            ++i;
        } else if (arg == "--out") {
            if (!needs(c == Command::Grab)) return false;
            options.out = value;
            if (options.out.empty()) {
                error = "--out needs a file name prefix";
                return false;
            }
            ++i;
        } else if (arg == "--set" && c == Command::Controls) {
            if (!needs(true) || !parse_setting(value, options, error)) return false;
            ++i;
        } else if (c == Command::Set && arg.find('=') != std::string::npos && arg[0] != '-') {
            if (!parse_setting(arg.c_str(), options, error)) return false;
        } else if (arg == "--set" && c == Command::Standard) {
            if (!needs(true)) return false;
            if (options.setStandard) {
                error = "standard takes one --set";
                return false;
            }
            options.setStandard = true;
            options.standard = value;
            ++i;
        } else if (arg == "--set") {
            return flag(false);
        } else {
            error = "unknown option '" + arg + "'";
            return false;
        }
    }
    if (c == Command::Set && options.controlSettings.empty()) {
        error = "set needs at least one NAME=VALUE or NAME=auto";
        return false;
    }
    if (options.pages && options.fps > 0) {
        error = "--pages and --fps exclude each other: the property pages choose the format";
        return false;
    }
    if (options.pages && sizeGiven) {
        error = "--pages and --size exclude each other: the property pages choose the size";
        return false;
    }
    return true;
}

} // namespace quilo::grab
