// quilo-view's command line.
#pragma once

#include <string>

namespace quilo::view {

struct ViewOptions
{
    bool help = false;
    long device = 0;      // opened at start when the device list has it
    long width = 640;
    long height = 480;
    std::string snapshot; // empty: no snapshot
    long after = 1;       // frames shown before the snapshot
};

// False with a message for the user when the command line is not understood.
bool parse_view_options(int argc, char **argv, ViewOptions &options, std::string &error);

// The --help text.
const char *view_usage_text();

} // namespace quilo::view
