// quilo-grab: a command-line host of QuiloVideo.ocx. It reaches the component only through COM
// activation of the registered class, like any other host.
#include <windows.h>
#include <objbase.h>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tools/CameraControlTable.h"
#include "tools/ComApartment.h"
#include "tools/CommandLine.h"
#include "common/DeviceList.h"
#include "common/VideoFormat.h"
#include "tools/ErrorText.h"
#include "common/ImageFiles.h"
#include "tools/VideoProcHost.h"

namespace quilo::grab {
namespace {

constexpr const char kProgram[] = "quilo-grab";
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int fail(const std::string &what, HRESULT hr)
{
    host::report_failure(kProgram, what, hr);
    return kExitFailure;
}

std::string device_label(long position)
{
    std::vector<VideoDevice> devices;
    if (FAILED(list_video_devices(devices))) return "";
    for (const auto &d : devices)
        if (d.position == position) return d.hasName ? d.name : "(no name)";
    return "";
}

int run_list()
{
    std::vector<VideoDevice> devices;
    const HRESULT hr = list_video_devices(devices);
    if (FAILED(hr)) return fail("listing video input devices", hr);
    if (devices.empty()) std::printf("No video input devices.\n");
    for (const auto &d : devices) std::printf("%ld  %s\n", d.position, d.hasName ? d.name.c_str() : "(no name)");
    return 0;
}

// The component object and its open device; destroyCapture runs before the object is released.
struct OpenDevice
{
    ComPtr<ICQuiloVideoProcClass> proc;
    std::unique_ptr<host::CaptureSession> session;
};

// Creates the object and opens the chosen device; on failure the message is already printed.
int open_device(const Options &options, bool setFrameSize, OpenDevice &device)
{
    std::string failedCall;
    HRESULT hr = host::activate_video_proc(device.proc, failedCall);
    if (FAILED(hr)) {
        fail(failedCall, hr);
        if (hr == REGDB_E_CLASSNOTREG || hr == CO_E_CLASSSTRING)
            std::fprintf(stderr, "%s: is QuiloVideo.ocx registered? (regsvr32 QuiloVideo.ocx)\n", kProgram);
        return kExitFailure;
    }
    const std::string label = device_label(options.device);
    std::printf("device %ld: %s\n", options.device, label.empty() ? "(not in the device list)" : label.c_str());
    std::fflush(stdout);
    device.session = std::make_unique<host::CaptureSession>(device.proc.get());
    hr = device.session->open(options.device, options.flip, setFrameSize, options.width, options.height);
    if (FAILED(hr)) return fail("createCapture", hr);
    return 0;
}

std::string output_name(const Options &options, long index, const char *extension)
{
    if (options.count == 1) return options.out + extension;
    return options.out + "-" + std::to_string(index) + extension;
}

int run_grab(const Options &options)
{
    OpenDevice device;
    if (const int failed = open_device(options, !options.pages, device)) return failed;
    ICQuiloVideoProcClass *proc = device.proc.get();

    HRESULT hr = proc->startCapture();
    if (FAILED(hr)) return fail("startCapture", hr);

    for (long i = 1; i <= options.count; ++i) {
        QuiloImageStruct record = {};
        hr = proc->Grab(&record);
        if (FAILED(hr)) return fail("Grab", hr);

        // The component's own figures decide how its buffer is read; nothing else is trusted.
        if (!record.data || record.width <= 0 || record.height <= 0 || record.depth != 8 || record.channels != 3) {
            std::fprintf(stderr,
                         "%s: Grab returned a record this program cannot write: width %ld, height %ld, depth %ld, "
                         "channels %ld, data %s\n",
                         kProgram, record.width, record.height, record.depth, record.channels,
                         record.data ? "set" : "null");
            return kExitFailure;
        }
        const long stride = rgb24_stride(record.width);
        quilo::FrameView frame;
        frame.pixels = record.data;
        frame.width = record.width;
        frame.height = record.height;
        frame.stride = stride;
        frame.topRowFirst = options.flip;

        std::printf("frame %ld: width %ld, height %ld, depth %ld, channels %ld, stride %ld, rows %s\n", i,
                    record.width, record.height, record.depth, record.channels, stride,
                    options.flip ? "top-down" : "bottom-up");
        // Both files are written before the next Grab, which reuses the component's buffer.
        const std::string png = output_name(options, i, ".png");
        const std::string bmp = output_name(options, i, ".bmp");
        hr = quilo::write_png(png, frame);
        if (FAILED(hr)) return fail("writing " + png, hr);
        hr = quilo::write_bmp(bmp, frame);
        if (FAILED(hr)) return fail("writing " + bmp, hr);
        std::printf("wrote %s and %s\n", png.c_str(), bmp.c_str());
        std::fflush(stdout);
    }
    return 0;
}

int run_controls(const Options &options)
{
    OpenDevice device;
    if (const int failed = open_device(options, true, device)) return failed;
    ICQuiloVideoProcClass *proc = device.proc.get();

    for (const auto &setting : options.controlSettings) {
        const HRESULT hr = (proc->*setting.control->set)(setting.value);
        if (FAILED(hr)) return fail(std::string(setting.control->setCall) + "(" + std::to_string(setting.value) + ")", hr);
        std::printf("set %s to %ld\n", setting.control->name, setting.value);
    }

    std::printf("%-22s %-10s %s\n", "control", "supported", "value");
    int result = 0;
    for (const auto &control : host::kCameraControls) {
        VARIANT_BOOL supported = VARIANT_FALSE;
        HRESULT hr = (proc->*control.isSupported)(&supported);
        if (FAILED(hr)) {
            result = fail(control.supportCall, hr);
            continue;
        }
        if (!supported) {
            std::printf("%-22s %-10s %s\n", control.name, "no", "-");
            continue;
        }
        LONG value = 0;
        hr = (proc->*control.get)(&value);
        if (FAILED(hr)) {
            std::printf("%-22s %-10s %s\n", control.name, "yes", "(unreadable)");
            std::fflush(stdout);
            result = fail(control.getCall, hr);
            continue;
        }
        std::printf("%-22s %-10s %ld\n", control.name, "yes", static_cast<long>(value));
    }
    return result;
}

int run_standard(const Options &options)
{
    OpenDevice device;
    if (const int failed = open_device(options, true, device)) return failed;
    ICQuiloVideoProcClass *proc = device.proc.get();

    if (options.setStandard) {
        std::vector<unsigned char> name(options.standard.begin(), options.standard.end());
        name.push_back('\0');
        const HRESULT hr = proc->SetVideoStandParam(name.data());
        if (FAILED(hr)) return fail("SetVideoStandParam(" + options.standard + ")", hr);
        if (hr == S_FALSE) {
            std::fprintf(stderr,
                         "%s: SetVideoStandParam(%s) changed nothing: 0x00000001 the device has no analog video "
                         "decoder\n",
                         kProgram, options.standard.c_str());
            return kExitFailure;
        }
        std::printf("set video standard to %s\n", options.standard.c_str());
    }
    // The longest text is 11 bytes; the rest is room to spare and keeps the text terminated.
    unsigned char text[64] = {};
    const HRESULT hr = proc->GetVideoStandParam(text);
    if (FAILED(hr)) return fail("GetVideoStandParam", hr);
    text[sizeof(text) - 1] = '\0';
    std::printf("video standard: %s\n", text[0] ? reinterpret_cast<const char *>(text) : "(unknown)");
    return 0;
}

int run(int argc, char **argv)
{
    Options options;
    std::string error;
    if (!parse_command_line(argc, argv, options, error)) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", kProgram, error.c_str(), kProgram);
        return kExitUsage;
    }
    if (options.command == Command::Help) {
        std::fputs(usage_text(), stdout);
        return 0;
    }

    host::ComApartment com;
    if (FAILED(com.result())) return fail("CoInitializeEx", com.result());
    switch (options.command) {
    case Command::List: return run_list();
    case Command::Grab: return run_grab(options);
    case Command::Controls: return run_controls(options);
    case Command::Standard: return run_standard(options);
    default: return kExitUsage;
    }
}

} // namespace
} // namespace quilo::grab

int main(int argc, char **argv)
{
    const int code = quilo::grab::run(argc, argv);
    std::fflush(stdout);
    std::fflush(stderr);
    return code;
}
