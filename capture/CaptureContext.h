// The per-object capture context: the one owner of a capture session. It holds the device
// graph (from an open to destroyCapture or close), the device's controls (from a successful
// open to the next one, close or the object's end), the frame handed to the first class's host
// and the host's flags, and releases each in one place.
#pragma once

#include <windows.h>
#include <dshow.h>

#include "QuiloVideo.h"
#include "capture/DeviceControls.h"
#include "capture/DeviceGraph.h"
#include "capture/FrameStamp.h"
#include "capture/Platform.h"
#include "frame/FrameDelivery.h"
#include "interface/QuiloCameraDefaults.h"

namespace quilo::capture {

// What differs between the two classes' opens, as a value: the build follows it and never asks
// which class called.
struct OpenPolicy
{
    // The device: a position in the device list, walked when the graph is built (as the first
    // class's hosts count devices), or the moniker of a device found before (bound as it is,
    // whatever came and went since).
    LONG position = 0;
    IMoniker *moniker = nullptr;
    // The pin streamed: the first free output pin, or the one whose category is capture (else
    // the first free output pin).
    enum class Pin { FirstFreeOutput, CaptureCategory } pin = Pin::FirstFreeOutput;
    // A device without a video processing amplifier is refused.
    bool needProcAmp = true;
    // How the format is settled before connecting: the capture pin's property pages; width x
    // height on the pin's capability 0 (a refusal shows "SetFormat Failed"); or a format of
    // that size and rate chosen from the pin's list, without any dialog (none asked: the
    // device's own).
    enum class Format { PropertyPages, FrameSize, Choose } format = Format::FrameSize;
    LONG width = 0;
    LONG height = 0;
    double frameRate = 0;
    // Frames top row first.
    bool flip = false;
    // CoInitialize on the calling thread, balanced by destroyCapture (the first class's
    // documented sequence). Without it the caller's own apartment is used, and the host's last
    // CoUninitialize stays the last one.
    bool initializeCom = true;
    // Started at once, as startCapture would.
    bool start = false;
};

// How long the first class's Grab waits for the device's frame: long enough for a slow
// camera's first frame.
constexpr DWORD kGrabTimeoutMs = kDefaultGrabTimeoutMs;

class CaptureContext
{
public:
    explicit CaptureContext(Platform &platform = system_platform()) noexcept;
    // A camera is never left open after its object is gone.
    ~CaptureContext();
    CaptureContext(const CaptureContext &) = delete;
    CaptureContext &operator=(const CaptureContext &) = delete;

    // The first class's open: the device at `deviceID`, its first free output pin, a video
    // processing amplifier required, the frame size or the property pages, COM initialised.
    HRESULT createCapture(LONG deviceID, VARIANT_BOOL bFlipImageHorizontally, VARIANT_BOOL bSetCameraParam,
                          LONG width, LONG height);
    // Any open: what was open goes first; on failure nothing is held.
    HRESULT open(const OpenPolicy &policy);
    HRESULT startCapture();
    // The graph and the frame go, and COM is balanced; the controls stay until the next open.
    HRESULT destroyCapture();
    // Everything goes, the controls too: nothing of the device is held afterwards.
    void close();

    // S_OK with a frame that arrived after the call began; VFW_E_WRONG_STATE without an open
    // device; VFW_E_TIMEOUT after kGrabTimeoutMs without one (the stream is stopped then); the
    // graph's error; a failed flip. On failure the record and the frame handed out before are
    // left as they were.
    HRESULT grab(QuiloImageStruct *record);
    // The same, waiting at most `timeoutMs` (the caller's choice), into `frame`: top row first,
    // rows packed, in one pass from the device's frame. A time-out leaves the stream running:
    // it says nothing of the device, and a camera that takes longer to start than one wait
    // delivers to the next. On failure `frame` and `stamp` are as they were.
    HRESULT grab(DWORD timeoutMs, frame::PackedFrame &frame, FrameStamp &stamp);

    bool isSetUp() const noexcept { return graph_.connected(); }
    // The controls held (null when none are): they outlive destroyCapture.
    IAMVideoProcAmp *procAmp() const noexcept { return controls_.procAmp(); }
    IAMAnalogVideoDecoder *videoDecoder() const noexcept { return controls_.videoDecoder(); }
    IAMCameraControl *cameraControl() const noexcept { return controls_.cameraControl(); }
    IAMCrossbar *crossbar() const noexcept { return controls_.crossbar(); }

private:
    HRESULT build(const OpenPolicy &policy);
    // Graph, frame and controls, in that order, then this context's own COM initialisation;
    // the host's started flag carries over.
    void releaseAll();
    void balanceCom();

    Platform &platform_;
    DeviceGraph graph_;
    DeviceControls controls_;
    frame::FrameDelivery frame_;
    bool flipImage_ = false;
    bool isStarted_ = false;
    // This context's own successful CoInitialize, balanced exactly once.
    bool comInitialized_ = false;
};

} // namespace quilo::capture
