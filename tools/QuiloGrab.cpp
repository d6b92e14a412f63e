// quilo-grab: a command-line host of QuiloVideo.ocx. It reaches the component only through COM
// activation of the registered class, like any other host.
#include <windows.h>
#include <objbase.h>
#include <vfwmsgs.h>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "QuiloCamera.h"
#include "interface/QuiloCameraDefaults.h"
#include "common/HResult.h"
#include "common/Variant.h"
#include "tools/ComApartment.h"
#include "tools/CommandLine.h"
#include "dshow/DeviceList.h"
#include "dshow/VideoFormat.h"
#include "dshow/ErrorText.h"
#include "common/ImageFiles.h"
#include "common/Text.h"
#include "tools/VideoProcHost.h"

namespace quilo::grab {
namespace {

constexpr const char kProgram[] = "quilo-grab";
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int fail(const std::string &what, HRESULT hr)
{
    dshow::report_failure(kProgram, what, hr);
    return kExitFailure;
}

std::string device_label(long position)
{
    std::vector<dshow::VideoDevice> devices;
    if (FAILED(dshow::list_video_devices(devices))) return "";
    for (const auto &d : devices)
        if (d.position == position) return d.hasName ? d.name : "(no name)";
    return "";
}

std::string output_name(const Options &options, long index, const char *extension);

// The sentence the automation class left with its failure, or "".
std::string error_description()
{
    ComPtr<IErrorInfo> info;
    UniqueBstr text;
    if (GetErrorInfo(0, info.put()) != S_OK || !info || FAILED(info->GetDescription(text.put()))) return {};
    return narrow(text.get());
}

// `sentence`: the class's own words for the failure, read when it happened.
int fail_camera(const std::string &what, HRESULT hr, const std::string &sentence = error_description())
{
    if (!sentence.empty()) std::fprintf(stderr, "%s: %s\n", kProgram, sentence.c_str());
    return fail(what, hr);
}

VARIANT position_variant(long position)
{
    VARIANT v;
    V_VT(&v) = VT_I4;
    V_I4(&v) = position;
    return v;
}

// A device's path and formats, read through the automation class; nothing when it is not
// registered (the names alone are listed then, as the device walk gives them).
void print_device_details(IQuiloCamera *camera, long position)
{
    UniqueBstr path;
    if (SUCCEEDED(camera->DevicePath(position, path.put())))
        std::printf("    path: %s\n", path.get() && *path.get() ? narrow(path.get()).c_str() : "(none)");
    const VARIANT device = position_variant(position);
    LONG count = 0;
    if (FAILED(camera->FormatCount(device, &count))) {
        std::printf("    formats: %s\n", error_description().c_str());
        return;
    }
    for (LONG i = 0; i < count; ++i) {
        LONG width = 0, height = 0;
        double low = 0, high = 0;
        UniqueBstr subtype;
        if (FAILED(camera->FormatWidth(device, i, &width)) || FAILED(camera->FormatHeight(device, i, &height)) ||
            FAILED(camera->FormatMinRate(device, i, &low)) || FAILED(camera->FormatMaxRate(device, i, &high)) ||
            FAILED(camera->FormatSubtype(device, i, subtype.put())))
            continue;
        if (low == high) std::printf("    format %ld: %ldx%ld %s %g fps\n", i, width, height, narrow(subtype.get()).c_str(), high);
        else std::printf("    format %ld: %ldx%ld %s %g-%g fps\n", i, width, height, narrow(subtype.get()).c_str(), low, high);
    }
}

int run_list()
{
    std::vector<dshow::VideoDevice> devices;
    const HRESULT hr = dshow::list_video_devices(devices);
    if (FAILED(hr)) return fail("listing video input devices", hr);
    if (devices.empty()) std::printf("No video input devices.\n");
    ComPtr<IQuiloCamera> camera;
    ignore_result(CoCreateInstance(CLSID_Camera, nullptr, CLSCTX_INPROC_SERVER, IID_IQuiloCamera, camera.put_void()),
                  "without the automation class the list has names only");
    for (const auto &d : devices) {
        std::printf("%ld  %s\n", d.position, d.hasName ? d.name.c_str() : "(no name)");
        if (camera) print_device_details(camera.get(), d.position);
    }
    return 0;
}

// --device NAME: the position of the one device with exactly that name.
int resolve_device(Options &options)
{
    if (options.deviceName.empty()) return 0;
    std::vector<dshow::VideoDevice> devices;
    const HRESULT hr = dshow::list_video_devices(devices);
    if (FAILED(hr)) return fail("listing video input devices", hr);
    int matches = 0;
    std::string names;
    for (const auto &d : devices) {
        names += (names.empty() ? "'" : ", '") + d.name + "'";
        if (d.hasName && d.name == options.deviceName) {
            options.device = d.position;
            ++matches;
        }
    }
    if (matches == 1) return 0;
    std::fprintf(stderr, "%s: %s '%s'; devices: %s\n", kProgram,
                 matches ? "more than one video input device is named" : "no video input device is named",
                 options.deviceName.c_str(), names.empty() ? "none" : names.c_str());
    return kExitFailure;
}

// Creates the automation class and opens the chosen device at --size (and at --fps when given);
// on failure the message is already printed.
int open_camera(const Options &options, ComPtr<IQuiloCamera> &camera)
{
    HRESULT hr = CoCreateInstance(CLSID_Camera, nullptr, CLSCTX_INPROC_SERVER, IID_IQuiloCamera, camera.put_void());
    if (FAILED(hr)) return fail("CoCreateInstance(QuiloVideo.Camera)", hr);
    std::printf("device %ld: %s\n", options.device, device_label(options.device).c_str());
    VARIANT rate;
    if (options.fps > 0) {
        V_VT(&rate) = VT_R8;
        V_R8(&rate) = options.fps;
    } else {
        V_VT(&rate) = VT_ERROR; // the optional argument left out: the format's own rate
        V_ERROR(&rate) = DISP_E_PARAMNOTFOUND;
    }
    hr = camera->Open(position_variant(options.device), options.width, options.height, rate);
    return FAILED(hr) ? fail_camera("Open", hr) : 0;
}

// grab --fps: the format and rate are chosen through the automation class, which writes the files.
int run_grab_at_rate(const Options &options)
{
    ComPtr<IQuiloCamera> camera;
    if (const int failed = open_camera(options, camera)) return failed;
    HRESULT hr = S_OK;
    for (long i = 1; i <= options.count; ++i) {
        hr = camera->Grab(static_cast<LONG>(kDefaultGrabTimeoutMs));
        if (FAILED(hr)) return fail_camera("Grab", hr);
        LONG width = 0, height = 0, number = 0;
        double seconds = 0;
        if (FAILED(hr = camera->get_Width(&width)) || FAILED(hr = camera->get_Height(&height)) ||
            FAILED(hr = camera->get_FrameNumber(&number)) || FAILED(hr = camera->get_StreamTime(&seconds)))
            return fail_camera("reading the frame", hr);
        std::printf("frame %ld: width %ld, height %ld, number %ld, stream time %.3f s\n", i, width, height, number,
                    seconds);
        for (const char *extension : {".png", ".bmp"}) {
            const std::string name = output_name(options, i, extension);
            UniqueBstr path(widen(name).c_str());
            hr = camera->SaveFrame(path.get());
            if (FAILED(hr)) return fail_camera("writing " + name, hr);
        }
        std::printf("wrote %s and %s\n", output_name(options, i, ".png").c_str(), output_name(options, i, ".bmp").c_str());
        std::fflush(stdout);
    }
    return 0;
}

// The component object and its open device; destroyCapture runs before the object is released.
struct OpenDevice
{
    ComPtr<ICQuiloVideoProcClass> proc;
    std::unique_ptr<host::CaptureSession> session;
};

// A size the device refuses would make createCapture show its modal "SetFormat Failed" box,
// which no one at a command line may be there to close: the automation class, which shows
// none, asks the device first. A device it cannot open at all is left for createCapture to
// report as it always has; one it opens, but not at that size, stops here.
int check_frame_size(const Options &options)
{
    ComPtr<IQuiloCamera> camera;
    if (FAILED(CoCreateInstance(CLSID_Camera, nullptr, CLSCTX_INPROC_SERVER, IID_IQuiloCamera, camera.put_void())))
        return 0;
    VARIANT rate;
    V_VT(&rate) = VT_ERROR;
    V_ERROR(&rate) = DISP_E_PARAMNOTFOUND;
    const VARIANT device = position_variant(options.device);
    const HRESULT hr = camera->Open(device, options.width, options.height, rate);
    if (SUCCEEDED(hr)) return 0;
    const std::string refusal = error_description();
    // Only when the device opens without the size is the size what it refused.
    if (FAILED(camera->Open(device, 0, 0, rate))) return 0;
    return fail_camera("the frame size " + std::to_string(options.width) + "x" + std::to_string(options.height), hr,
                       refusal);
}

// Creates the object and opens the chosen device; on failure the message is already printed.
int open_device(const Options &options, bool setFrameSize, OpenDevice &device)
{
    if (setFrameSize)
        if (const int refused = check_frame_size(options)) return refused;
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
    if (options.fps > 0) return run_grab_at_rate(options);
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
        const long stride = dshow::rgb24_stride(record.width);
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

// One row of the controls table: name, range, step, default, value, automatic mode.
HRESULT print_control(IQuiloCamera *camera, BSTR name)
{
    LONG min = 0, max = 0, step = 0, def = 0, value = 0;
    VARIANT_BOOL canAuto = VARIANT_FALSE, isAuto = VARIANT_FALSE;
    RETURN_IF_FAILED(camera->ControlMin(name, &min));
    RETURN_IF_FAILED(camera->ControlMax(name, &max));
    RETURN_IF_FAILED(camera->ControlStep(name, &step));
    RETURN_IF_FAILED(camera->ControlDefault(name, &def));
    RETURN_IF_FAILED(camera->ControlValue(name, &value));
    RETURN_IF_FAILED(camera->ControlCanAuto(name, &canAuto));
    RETURN_IF_FAILED(camera->ControlIsAuto(name, &isAuto));
    std::printf("%-22s %8ld %8ld %6ld %8ld %8ld  %s\n", narrow(name).c_str(), min, max, step, def, value,
                !canAuto ? "-" : isAuto ? "on" : "off");
    return S_OK;
}

// controls and set: every control of the device through the automation class, after the
// settings asked for.
int run_controls(const Options &options)
{
    ComPtr<IQuiloCamera> camera;
    if (const int failed = open_camera(options, camera)) return failed;
    HRESULT hr = S_OK;
    for (const auto &setting : options.controlSettings) {
        UniqueBstr name(widen(setting.name).c_str());
        const std::string shown = setting.automatic ? "auto" : std::to_string(setting.value);
        hr = setting.automatic ? camera->SetControlAuto(name.get()) : camera->SetControl(name.get(), setting.value);
        if (FAILED(hr)) return fail_camera("SetControl(" + setting.name + ", " + shown + ")", hr);
        std::printf("set %s to %s\n", setting.name.c_str(), setting.automatic ? "automatic" : shown.c_str());
    }

    LONG count = 0;
    if (FAILED(hr = camera->get_ControlCount(&count))) return fail_camera("ControlCount", hr);
    if (count == 0) {
        std::printf("the device has no image controls\n");
        return 0;
    }
    std::printf("%-22s %8s %8s %6s %8s %8s  %s\n", "control", "min", "max", "step", "default", "value", "auto");
    for (LONG i = 0; i < count; ++i) {
        UniqueBstr name;
        if (FAILED(hr = camera->ControlName(i, name.put()))) return fail_camera("ControlName", hr);
        if (FAILED(hr = print_control(camera.get(), name.get()))) return fail_camera("reading " + narrow(name.get()), hr);
    }
    return 0;
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
    if (const int failed = resolve_device(options)) return failed;
    switch (options.command) {
    case Command::List: return run_list();
    case Command::Grab: return run_grab(options);
    case Command::Controls:
    case Command::Set: return run_controls(options);
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
