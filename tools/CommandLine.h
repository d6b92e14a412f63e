// quilo-grab's command line: one command and its options.
#pragma once

#include <string>
#include <vector>

namespace quilo::grab {

enum class Command { Help, List, Grab, Controls, Set, Standard };

// NAME=VALUE or NAME=auto; the name is the automation class's (any case), checked by it.
struct ControlSetting
{
    std::string name;
    bool automatic = false;
    long value = 0;
};

struct Options
{
    Command command = Command::Help;
    long device = 0;
    std::string deviceName;       // --device NAME: the device with exactly this name
    double fps = 0;               // grab --fps: opened through QuiloVideo.Camera at this rate
    long width = 640;
    long height = 480;
    bool pages = false;           // grab: property pages instead of a frame size
    bool flip = true;             // grab: top-down rows from the component
    long count = 1;               // grab
    std::string out = "frame";    // grab: output prefix
    std::vector<ControlSetting> controlSettings; // set, controls --set: in command-line order
    bool setStandard = false;     // standard --set
    std::string standard;
};

// False with a message for the user when the command line is not understood.
bool parse_command_line(int argc, char **argv, Options &options, std::string &error);

// The --help text.
const char *usage_text();

} // namespace quilo::grab
