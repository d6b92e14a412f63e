// What a test camera device is like: its options, as `quilo-testcam add` takes them on the
// command line and as they are stored as values of the device's registry key.
#pragma once

#include <windows.h>
#include <functional>
#include <string>
#include <vector>

#include "testcam/ControlTable.h"

namespace quilo::testcam {

enum class CapsMode { VideoInfo, VideoInfo2, Short };

// The eight properties hosts of the component use: all but colour enable (6) and gain (9).
constexpr unsigned kDefaultProcAmp = 0x3FFu & ~property_bit(6) & ~property_bit(9);
// Every Set of an image control fails with this, as a KS driver answers a property it cannot set.
constexpr HRESULT kSetRefused = static_cast<HRESULT>(0x80070001L); // HRESULT_FROM_WIN32(ERROR_INVALID_FUNCTION)

struct DeviceOptions
{
    long width = 640;
    long height = 480;              // negative: capability 0 is top-down
    long fps = 30;                  // 0: as fast as the graph takes frames
    // --rates: the range of frame rates every format offers; SetFormat's AvgTimePerFrame picks
    // one within it and the stream is paced at that rate. 0: fixed at fps.
    long minFps = 0;
    long maxFps = 0;
    unsigned procAmp = kDefaultProcAmp;     // 0: the filter has no IAMVideoProcAmp
    unsigned cameraControl = 0;             // 0: the filter has no IAMCameraControl
    std::vector<RangeOverride> ranges;      // in place of the built-in ranges
    bool refuseSet = false;                 // every Set of either interface fails (kSetRefused)
    // The picture's top-left corner shows the routed input and the camera control values.
    bool marks = false;
    std::vector<long> crossbarInputs;       // physical connector types; empty: no crossbar
    std::vector<long> crossbarOutputs;
    bool crossbarFail = false;
    bool crossbarRefuse = false;
    long standard = 0x1;            // AnalogVideo_NTSC_M
    bool decoderFail = false;
    bool decoderSFalse = false;
    bool refuseFormat = false;
    // SetFormat takes any RGB24 size, huge ones included, as a driver that checks nothing does.
    bool anySize = false;
    // Every sample holds only half of the frame its format describes.
    bool shortSamples = false;
    CapsMode caps = CapsMode::VideoInfo;
    bool noPages = false;
    bool noName = false;
    bool noPath = false;            // no "DevicePath" on the moniker, as some drivers have none
    bool stillPinFirst = false;     // a still pin, which never streams, before the capture pin
    bool stall = false;             // never deliver
    long stallAfter = -1;           // >= 0: deliver that many frames per opened device, then stall
    long tag = 0;
    // A real camera's stream start: the first frame after each stop-to-run transition comes
    // startMs later, and the first `settle` frames after it are badly exposed (settling).
    long startMs = 0;
    long settle = 0;
    // The device entry stays listed but binding it fails as a driver does whose hardware is gone.
    bool unplugged = false;
    // Faults while streaming, each >= 0 to switch it on. Counts are frames of the opened device
    // (its frame number n), except endAfter, which counts the frames of each stream.
    long lostAfter = -1;            // EC_DEVICE_LOST (removed), then no frame: unplugged mid-stream
    long abortAfter = -1;           // EC_ERRORABORT with abortError, then no frame
    long abortError = static_cast<long>(0x8007001FL); // HRESULT_FROM_WIN32(ERROR_GEN_FAILURE)
    long endAfter = -1;             // EndOfStream after that many frames of each stream
    long warnAfter = -1;            // EC_STREAM_ERROR_STILLPLAYING once; frames go on
    long changeAfter = -1;          // later frames are changeWidth x changeHeight (negative:
    long changeWidth = 0;           // top-down), announced on a sample's media type
    long changeHeight = 0;
    // Run fails with abortError after the device's stream started, as a filter does whose Run
    // breaks off half-way: the graph's other filters run, and so does this one's stream.
    bool runFails = false;

    bool hasCrossbar() const { return !crossbarInputs.empty(); }
    bool hasRateRange() const { return maxFps > 0; }
};

// Parses the options that follow `add NAME`. On failure `error` says which argument is wrong.
bool parse_options(const std::vector<std::string> &args, DeviceOptions &options, std::string &error);
// The options as one line of command-line text, every option spelled out.
std::string describe_options(const DeviceOptions &options);

// Names shared by the command line, the registry form and `quilo-testcam list`.
std::string standard_text(long standard);           // "PAL_B", or "0x100000" for other values
std::string crossbar_text(const DeviceOptions &options);   // "tuner,composite/decoder"
const char *connector_name(long physicalType);      // "composite"...; null when unknown

// Registry form: one value per option under the device's key. The filter reads them through
// its property bag; a missing value keeps the default, a malformed one is an error.
struct OptionValue
{
    const char *name;
    bool isText;        // REG_SZ, else REG_DWORD
    std::string text;
    DWORD number = 0;
};
std::vector<OptionValue> option_values(const DeviceOptions &options);
// `read` fills text or number for a value name and fails when the value is absent.
using ValueReader = std::function<HRESULT(const char *name, bool isText, std::string &text, DWORD &number)>;
HRESULT read_option_values(const ValueReader &read, DeviceOptions &options);

} // namespace quilo::testcam
