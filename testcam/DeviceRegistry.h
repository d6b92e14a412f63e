// Where test camera devices and their state live in the registry.
//
// A device is what IFilterMapper2::RegisterFilter writes for the video input device category
// (HKCR\CLSID\{860BB310-...}\Instance\NAME: FriendlyName, CLSID, FilterData), plus one value
// per option, which the filter reads through its property bag when a host binds it.
// What hosts did to a device, and the control values it keeps while "plugged in", live under
// HKCU\Software\QuiloVideo\TestCamera\Devices\NAME: the host's own user can always write there,
// even where the device keys need an administrator. Adding a device again resets that state.
#pragma once

#include <windows.h>
#include <string>
#include <utility>
#include <vector>

#include "testcam/DeviceOptions.h"

namespace quilo::testcam {

// HKCR-relative key holding the category's device instances.
extern const char kInstanceKey[];
// HKCU-relative key holding each device's state.
extern const char kStateKey[];
// Value under the instance key naming the device (FriendlyName may be absent on purpose).
extern const char kDeviceNameValue[];

// NAME belongs to a video input device that is not a test camera (ERROR_ALREADY_EXISTS).
constexpr HRESULT kNotTestCamera = static_cast<HRESULT>(0x800700B7L);

// Adds (or replaces) a device; COM must be initialised on the calling thread.
HRESULT add_device(const std::string &name, const DeviceOptions &options);
// The "DevicePath" a device of that name has (unless --no-path): every character of the name
// other than a letter or digit becomes '_'.
std::string device_path(const std::string &name);
// S_FALSE when no device has that name.
HRESULT remove_device(const std::string &name);
// Removes every test camera device and all device state.
HRESULT clear_devices(unsigned *removed);
// Test camera devices in registry order.
std::vector<std::string> device_names();
HRESULT read_device_options(const std::string &name, DeviceOptions &options);
bool valid_device_name(const std::string &name, std::string *why = nullptr);

struct FormatEntry
{
    long width, height;
    HRESULT result;
};
struct ControlEntry
{
    long property, value, flags;
};
struct DeviceRecord
{
    bool present = false;                               // the device exists
    std::vector<FormatEntry> formatSets;
    std::vector<ControlEntry> procAmpSets;              // IAMVideoProcAmp::Set calls
    std::vector<ControlEntry> cameraControlSets;        // IAMCameraControl::Set calls
    std::vector<ControlEntry> keptControls[2];          // values hosts set, by ControlKind
    std::vector<long> videoStandardSets;
    std::vector<std::pair<long, long>> routes;          // (output, input)
    long canRouteCalls = 0;
    long framesDelivered = 0, runs = 0, pauses = 0, stops = 0, pageActivations = 0;
    long streamStarts = 0;                              // stop-to-run transitions that streamed
};
DeviceRecord read_device_record(const std::string &name);

// One device's state, written by the filter as hosts act on it. Failures to write are
// ignored: the record is an aid, the device works without it.
class DeviceState
{
public:
    explicit DeviceState(std::string name) : name_(std::move(name)) {}
    const std::string &name() const { return name_; }

    void count(const char *value, long delta = 1) const;
    void append(const char *value, const std::string &entry) const;
    // An image control's kept value and flags; false when no host set it.
    bool loadControl(ControlKind kind, long property, long &value, long &flags) const;
    void storeControl(ControlKind kind, long property, long value, long flags) const;
    // The crossbar's routing as kept by the device: the input routed to each output.
    bool loadRouting(std::vector<long> &routing) const;
    void storeRouting(const std::vector<long> &routing) const;

private:
    bool readText(const std::string &value, std::string &text) const;

    std::string name_;
};

// Record value names.
namespace record {
constexpr char kRuns[] = "Runs";
constexpr char kPauses[] = "Pauses";
constexpr char kStops[] = "Stops";
constexpr char kFramesDelivered[] = "FramesDelivered";
constexpr char kStreamStarts[] = "StreamStarts";
constexpr char kPageActivations[] = "PageActivations";
constexpr char kCanRouteCalls[] = "CanRouteCalls";
constexpr char kRoutes[] = "Routes";                    // "out:in ..."
constexpr char kVideoStandardSets[] = "VideoStandardSets"; // "0x10 ..."
constexpr char kProcAmpSets[] = "ProcAmpSets";          // "property:value:flags ..."
constexpr char kCameraControlSets[] = "CameraControlSets"; // "property:value:flags ..."
constexpr char kRouting[] = "Routing";                  // "input input ...", one per output
constexpr char kFormatSets[] = "FormatSets";            // "WxH:0xHRESULT ..."
} // namespace record

} // namespace quilo::testcam
