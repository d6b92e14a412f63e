#include "tools/ViewOptions.h"

#include "tools/NumberText.h"

namespace quilo::view {
namespace {

const char kUsage[] =
    "usage: quilo-view [--device N] [--size WxH] [--snapshot FILE.png [--after N]]\n"
    "\n"
    "A live camera window on top of QuiloVideo.ocx: it creates the registered class\n"
    "QuiloVideo.CQuiloVideoProc through COM, shows the device's picture as Grab hands it out,\n"
    "with a slider for each image control the device supports, the analog video standard where\n"
    "the device has a decoder, \"Save frame\" (PNG or BMP) and the capture pin's property pages.\n"
    "\n"
    "options:\n"
    "  --device N         position of the device opened at start (default 0), as\n"
    "                     quilo-grab list shows it\n"
    "  --size WxH         frame size asked of the device (default 640x480)\n"
    "  --snapshot FILE    once N frames have been shown, save the picture as painted in the\n"
    "                     window to FILE as PNG and exit\n"
    "  --after N          frames to show before the snapshot (default 1)\n"
    "\n"
    "Exit code: 0 when the window is closed or the snapshot is written; 1 when the snapshot\n"
    "cannot be taken (the failing call, its HRESULT and text go to standard error); 2 for a\n"
    "command line that is not understood.\n"
    "The component must be registered first, the module of this program's own bitness (the\n"
    "QuiloVideo.ocx beside it): regsvr32 QuiloVideo.ocx.\n";

} // namespace

const char *view_usage_text()
{
    return kUsage;
}

bool parse_view_options(int argc, char **argv, ViewOptions &options, std::string &error)
{
    options = ViewOptions();
    bool afterGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--help" || arg == "-h" || arg == "/?") {
            options.help = true;
            return true;
        }
        if (arg != "--device" && arg != "--size" && arg != "--snapshot" && arg != "--after") {
            error = "unknown option '" + arg + "'";
            return false;
        }
        if (!value) {
            error = arg + " needs a value";
            return false;
        }
        ++i;
        if (arg == "--device" && !host::parse_long(value, 0, 0x7FFFFFFF, options.device)) {
            error = "--device needs a position (0, 1, ...), not '" + std::string(value) + "'";
            return false;
        }
        if (arg == "--size" && !host::parse_size(value, options.width, options.height)) {
            error = "--size needs WIDTHxHEIGHT, for example 640x480, not '" + std::string(value) + "'";
            return false;
        }
        if (arg == "--snapshot") {
            options.snapshot = value;
            if (options.snapshot.empty()) {
                error = "--snapshot needs a file name";
                return false;
            }
        }
        if (arg == "--after") {
            if (!host::parse_long(value, 1, 1000000, options.after)) {
                error = "--after needs a number of frames from 1 to 1000000, not '" + std::string(value) + "'";
                return false;
            }
            afterGiven = true;
        }
    }
    if (afterGiven && options.snapshot.empty()) {
        error = "--after goes with --snapshot";
        return false;
    }
    return true;
}

} // namespace quilo::view
