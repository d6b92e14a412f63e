// quilo-testcam: adds, removes and lists test camera devices, and shows what hosts did to them.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <strmif.h>
#include <uuids.h>
#include <cstdio>
#include <string>
#include <vector>

#include "common/ComPtr.h"
#include "common/Handle.h"
#include "common/Text.h"
#include "common/Variant.h"
#include "testcam/CameraIds.h"
#include "testcam/DeviceOptions.h"
#include "testcam/DeviceRegistry.h"

using quilo::ComPtr;
using quilo::UniqueHkey;
using quilo::UniqueVariant;
namespace tc = quilo::testcam;

namespace {

enum ExitCode { kOk = 0, kFailed = 1, kUsage = 2 };

const char kUsageText[] =
    "usage: quilo-testcam add NAME [options]   add a test camera device (replaces one of that name)\n"
    "       quilo-testcam remove NAME          remove a test camera device\n"
    "       quilo-testcam clear                remove every test camera device\n"
    "       quilo-testcam list                 devices in the platform's order, their options and\n"
    "                                          what hosts did to them\n"
    "\n"
    "options of add:\n"
    "  --size WxH            size of stream capability 0 (RGB24), 16..4096 (default 640x480)\n"
    "  --fps N               frames per second from a free-running clock; 0 = as fast as taken\n"
    "                        (default 30)\n"
    "  --procamp LIST|none   video processing amplifier properties, comma-separated: brightness,\n"
    "                        contrast,hue,saturation,sharpness,gamma,colorenable,whitebalance,\n"
    "                        backlightcompensation,gain (default: all but colorenable and gain);\n"
    "                        none = no IAMVideoProcAmp\n"
    "  --camctl LIST|all|none camera control properties: pan,tilt,roll,zoom,exposure,iris,focus\n"
    "                        (default none = no IAMCameraControl)\n"
    "  --range LIST          ranges in place of the built-in ones, comma-separated\n"
    "                        NAME:MIN:MAX:STEP:DEFAULT[:auto|:auto-off] (auto: has an automatic\n"
    "                        mode and starts in it; auto-off: has one, starts manual)\n"
    "  --refuse-set          every Set of either interface fails with 0x80070001\n"
    "  --marks               the picture's top-left 8x8 blocks show the routed input and the\n"
    "                        camera control values\n"
    "  --crossbar IN/OUT     crossbar and analog video decoder on the filter, pins by connector,\n"
    "                        e.g. tuner,svideo,composite/decoder,audio\n"
    "  --crossbar-fail       crossbar pin information queries fail\n"
    "  --crossbar-refuse     CanRoute refuses every route\n"
    "  --standard NAME       decoder's video standard at start: NTSC_M, NTSC_J, PAL_B ... SECAM_L1,\n"
    "                        or a number such as 0x100000 (default NTSC_M)\n"
    "  --decoder-fail        get_TVFormat fails\n"
    "  --decoder-sfalse      put_TVFormat answers S_FALSE\n"
    "  --refuse-format       SetFormat fails\n"
    "  --any-size            SetFormat takes any RGB24 size, huge ones included (buffers are\n"
    "                        sized in 32 bits, as the format states them)\n"
    "  --short-samples       every sample holds only half of its frame's bytes\n"
    "  --caps videoinfo2     capability 0 and the connection use VIDEOINFOHEADER2\n"
    "  --caps short          capability 0's format block is 87 bytes long\n"
    "  --no-pages            the capture pin has no property pages\n"
    "  --no-name             the device has no FriendlyName\n"
    "  --stall               the device never delivers a frame\n"
    "  --stall-after N       each opened device delivers N frames, then none\n"
    "  --start-ms N          after each stream start (stopped to running) the first frame\n"
    "                        comes N ms later, as a real camera's does\n"
    "  --settle N            the first N frames after each stream start are settling frames:\n"
    "                        red = 255 - (tag mod 256) instead of tag mod 256\n"
    "  --tag N               red value of every pixel (N mod 256)\n"
    "  --unplugged           listed, but binding it fails with 0x8007048F (device not\n"
    "                        connected), as a camera unplugged while a host opens it\n"
    "  --lost-after N        after frame N the device reports itself removed (EC_DEVICE_LOST)\n"
    "                        and delivers nothing more, as a camera unplugged mid-stream\n"
    "  --abort-after N       after frame N: EC_ERRORABORT with the --abort-error HRESULT, then\n"
    "                        nothing more\n"
    "  --abort-error HR      the HRESULT of --abort-after and --run-fails (default 0x8007001F)\n"
    "  --end-after N         each stream ends (EndOfStream) after N frames of it\n"
    "  --warn-after N        after frame N, once: EC_STREAM_ERROR_STILLPLAYING; frames go on\n"
    "  --change-after N      frames after frame N have the --change-size size, the first of\n"
    "  --change-size WxH     each stream carrying the new media type (negative height: top-down)\n"
    "  --run-fails           Run starts the stream, then fails with the --abort-error HRESULT\n"
    "\n"
    "picture of frame n (1 for a filter's first frame): blue = (x + n) mod 256,\n"
    "green = y mod 256 (y = 0 at the top), red = tag mod 256.\n";

void fail(const std::string &message) { std::fprintf(stderr, "quilo-testcam: %s\n", message.c_str()); }

std::string hresult_text(HRESULT hr)
{
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

bool filter_registered()
{
    UniqueHkey key;
    const std::string path = std::string("CLSID\\") + tc::kClsidTestCameraText + "\\InprocServer32";
    return RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

class ComInit
{
public:
    ComInit() : hr_(CoInitialize(nullptr)) {}
    ~ComInit()
    {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    HRESULT result() const { return hr_; }

private:
    HRESULT hr_;
};

int add(const std::vector<std::string> &args)
{
    if (args.empty()) {
        fail("add needs a device name");
        return kUsage;
    }
    const std::string &name = args[0];
    std::string why;
    if (!tc::valid_device_name(name, &why)) {
        fail(why);
        return kUsage;
    }
    tc::DeviceOptions options;
    if (!tc::parse_options(std::vector<std::string>(args.begin() + 1, args.end()), options, why)) {
        fail(why);
        return kUsage;
    }
    if (!filter_registered()) {
        fail("QuiloTestCamera.ax is not registered; run regsvr32 QuiloTestCamera.ax first");
        return kFailed;
    }
    ComInit com;
    const HRESULT hr = tc::add_device(name, options);
    if (hr == tc::kNotTestCamera) {
        fail("a video input device named \"" + name + "\" exists and is not a test camera");
        return kFailed;
    }
    if (FAILED(hr)) {
        fail("could not add \"" + name + "\": " + hresult_text(hr) +
             (hr == E_ACCESSDENIED ? " (device keys need an administrator)" : ""));
        return kFailed;
    }
    std::printf("added \"%s\": %s\n", name.c_str(), tc::describe_options(options).c_str());
    return kOk;
}

int remove(const std::vector<std::string> &args)
{
    if (args.size() != 1) {
        fail("remove needs exactly one device name");
        return kUsage;
    }
    const HRESULT hr = tc::remove_device(args[0]);
    if (hr == S_FALSE) {
        fail("no test camera device named \"" + args[0] + "\"");
        return kFailed;
    }
    if (hr == tc::kNotTestCamera) {
        fail("\"" + args[0] + "\" is not a test camera device");
        return kFailed;
    }
    if (FAILED(hr)) {
        fail("could not remove \"" + args[0] + "\": " + hresult_text(hr));
        return kFailed;
    }
    std::printf("removed \"%s\"\n", args[0].c_str());
    return kOk;
}

int clear(const std::vector<std::string> &args)
{
    if (!args.empty()) {
        fail("clear takes no arguments");
        return kUsage;
    }
    unsigned removed = 0;
    const HRESULT hr = tc::clear_devices(&removed);
    if (FAILED(hr)) {
        fail("could not remove every device: " + hresult_text(hr));
        return kFailed;
    }
    std::printf("removed %u test camera device%s\n", removed, removed == 1 ? "" : "s");
    return kOk;
}

std::string bag_text(IPropertyBag *bag, const wchar_t *name)
{
    UniqueVariant value;
    if (FAILED(bag->Read(name, value.get(), nullptr)) || V_VT(value.get()) != VT_BSTR) return {};
    return quilo::narrow(V_BSTR(value.get()));
}

// Set calls as "name=value/flags F"; kept values as "name=value" or "name auto".
void print_controls(const char *title, tc::ControlKind kind, const std::vector<tc::ControlEntry> &entries, bool calls)
{
    if (entries.empty()) return;
    std::printf("%s", title);
    for (const auto &entry : entries) {
        const char *name = tc::control_name(kind, entry.property);
        const std::string shown = name ? name : std::to_string(entry.property);
        if (calls)
            std::printf(" %s=%ld/flags %ld", shown.c_str(), entry.value, entry.flags);
        else if (entry.flags & 1) // VideoProcAmp_Flags_Auto and CameraControl_Flags_Auto
            std::printf(" %s auto", shown.c_str());
        else
            std::printf(" %s=%ld", shown.c_str(), entry.value);
    }
    std::printf("\n");
}

// The ranges the device answers, one line per interface it has.
void print_ranges(const char *title, tc::ControlKind kind, unsigned properties, const tc::DeviceOptions &options)
{
    if (!properties) return;
    std::printf("%s", title);
    const char *separator = " ";
    for (long property = 0; property < tc::property_count(kind); ++property) {
        if (!(properties & tc::property_bit(property))) continue;
        std::printf("%s%s %s", separator, tc::control_name(kind, property),
                    tc::range_text(tc::control_range(options.ranges, kind, property)).c_str());
        separator = "; ";
    }
    std::printf("\n");
}

void print_record(const tc::DeviceRecord &record)
{
    std::printf("    runs %ld, pauses %ld, stops %ld, stream starts %ld, frames delivered %ld, property page shown %ld\n",
                record.runs, record.pauses, record.stops, record.streamStarts, record.framesDelivered,
                record.pageActivations);
    if (!record.formatSets.empty()) {
        std::printf("    SetFormat:");
        for (const auto &entry : record.formatSets)
            std::printf(" %ldx%ld->%s", entry.width, entry.height, hresult_text(entry.result).c_str());
        std::printf("\n");
    }
    print_controls("    IAMVideoProcAmp::Set:", tc::ControlKind::ProcAmp, record.procAmpSets, true);
    print_controls("    IAMCameraControl::Set:", tc::ControlKind::CameraControl, record.cameraControlSets, true);
    print_controls("    kept values:", tc::ControlKind::ProcAmp,
                   record.keptControls[static_cast<int>(tc::ControlKind::ProcAmp)], false);
    print_controls("    kept camera control values:", tc::ControlKind::CameraControl,
                   record.keptControls[static_cast<int>(tc::ControlKind::CameraControl)], false);
    if (!record.videoStandardSets.empty()) {
        std::printf("    put_TVFormat:");
        for (long value : record.videoStandardSets) std::printf(" %s", tc::standard_text(value).c_str());
        std::printf("\n");
    }
    if (record.canRouteCalls > 0 || !record.routes.empty()) {
        std::printf("    CanRoute calls %ld; Route:", record.canRouteCalls);
        for (const auto &route : record.routes) std::printf(" output %ld<-input %ld", route.first, route.second);
        std::printf("\n");
    }
}

int list(const std::vector<std::string> &args)
{
    if (!args.empty()) {
        fail("list takes no arguments");
        return kUsage;
    }
    ComInit com;
    if (!filter_registered()) std::printf("(QuiloTestCamera.ax is not registered: its devices cannot be opened)\n");
    ComPtr<ICreateDevEnum> devices;
    HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                  devices.put_void());
    if (FAILED(hr)) {
        fail("the system device enumerator is not available: " + hresult_text(hr));
        return kFailed;
    }
    ComPtr<IEnumMoniker> monikers;
    hr = devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.put(), 0);
    if (hr != S_OK || !monikers) {
        std::printf("no video input devices\n");
        return kOk;
    }
    ComPtr<IMoniker> moniker;
    for (int position = 0; monikers->Next(1, moniker.put(), nullptr) == S_OK; ++position) {
        ComPtr<IPropertyBag> bag;
        if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.put_void()))) {
            std::printf("%d  (device without a property bag)\n", position);
            continue;
        }
        const std::string clsid = bag_text(bag.get(), L"CLSID");
        const std::string name = bag_text(bag.get(), L"DeviceName");
        if (_stricmp(clsid.c_str(), tc::kClsidTestCameraText) != 0 || name.empty()) {
            const std::string friendly = bag_text(bag.get(), L"FriendlyName");
            std::printf("%d  %s (not a test camera)\n", position, friendly.empty() ? "(no name)" : friendly.c_str());
            continue;
        }
        tc::DeviceOptions options;
        const HRESULT optionsHr = tc::read_device_options(name, options);
        std::printf("%d  %s\n", position, name.c_str());
        if (SUCCEEDED(optionsHr)) {
            std::printf("    %s\n", tc::describe_options(options).c_str());
            print_ranges("    IAMVideoProcAmp:", tc::ControlKind::ProcAmp, options.procAmp, options);
            print_ranges("    IAMCameraControl:", tc::ControlKind::CameraControl, options.cameraControl, options);
        } else
            std::printf("    (options unreadable: %s)\n", hresult_text(optionsHr).c_str());
        print_record(tc::read_device_record(name));
    }
    return kOk;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fputs(kUsageText, stderr);
        return kUsage;
    }
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "--help" || command == "-h" || command == "help" || command == "/?") {
        std::fputs(kUsageText, stdout);
        return kOk;
    }
    if (command == "add") return add(args);
    if (command == "remove") return remove(args);
    if (command == "clear") return clear(args);
    if (command == "list") return list(args);
    fail("unknown command \"" + command + "\" (see quilo-testcam --help)");
    return kUsage;
}
