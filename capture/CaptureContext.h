// The per-object capture context: the one owner of a capture session. It holds the device
// graph (from createCapture to destroyCapture), the device's controls (from a successful
// createCapture to the next one or the object's end), the frame handed to the host and the
// host's flags, and releases each in one place.
#pragma once

#include <windows.h>
#include <dshow.h>

#include "QuiloVideo.h"
#include "capture/DeviceControls.h"
#include "capture/DeviceGraph.h"
#include "capture/FrameStamp.h"
#include "capture/Platform.h"
#include "frame/FrameDelivery.h"

namespace quilo::capture {

// What the automation class opens: a device by position, its capture pin chosen by category,
// and optionally a format by size (both > 0) and frame rate (> 0). No dialog is ever shown;
// frames come top row first and are handed out at once.
struct CameraRequest
{
    LONG position = 0;
    LONG width = 0;
    LONG height = 0;
    double frameRate = 0;
};

// How long Grab waits for the device's frame: long enough for a slow camera's first frame.
constexpr DWORD kGrabTimeoutMs = 8000;

class CaptureContext
{
public:
    explicit CaptureContext(Platform &platform = system_platform()) noexcept;
    // A camera is never left open after its object is gone.
    ~CaptureContext();
    CaptureContext(const CaptureContext &) = delete;
    CaptureContext &operator=(const CaptureContext &) = delete;

    // COM on the host's thread: createCapture initialises it (as hosts of the first class were
    // told) and destroyCapture balances that once, as does a createCapture that fails or the
    // context's end without destroyCapture. openCamera never initialises it: the automation
    // class runs in the apartment its host created it in, and the host's own last
    // CoUninitialize must stay the last one.
    HRESULT createCapture(LONG deviceID, VARIANT_BOOL bFlipImageHorizontally, VARIANT_BOOL bSetCameraParam,
                          LONG width, LONG height);
    HRESULT openCamera(const CameraRequest &request);
    HRESULT startCapture();
    // The graph and the frame go; the controls stay until the next createCapture.
    HRESULT destroyCapture();
    // Everything goes, the controls too: nothing of the device is held afterwards.
    void close();
    // S_OK with a frame that arrived after the call began; VFW_E_WRONG_STATE without an open
    // device; VFW_E_TIMEOUT after kGrabTimeoutMs without one; the graph's error; a failed
    // flip. On failure the record and the frame handed out before are left as they were.
    HRESULT grab(QuiloImageStruct *record);
    // The same, waiting at most `timeoutMs` (the caller's choice), with the frame's stamp. A
    // time-out leaves the stream running: it says nothing of the device, and a camera that takes
    // longer to start than one wait delivers to the next.
    HRESULT grab(DWORD timeoutMs, QuiloImageStruct &record, FrameStamp &stamp);

    bool isSetUp() const noexcept { return graph_.connected(); }
    // The controls held (null when none are): they outlive destroyCapture.
    IAMVideoProcAmp *procAmp() const noexcept { return controls_.procAmp(); }
    IAMAnalogVideoDecoder *videoDecoder() const noexcept { return controls_.videoDecoder(); }
    IAMCameraControl *cameraControl() const noexcept { return controls_.cameraControl(); }
    IAMCrossbar *crossbar() const noexcept { return controls_.crossbar(); }

private:
    // How the format is settled before connecting: the capture pin's property pages, a size on
    // the first pin's capability 0 (createCapture), or the automation class's request.
    enum class FormatStep { Pages, FrameSize, Request };
    HRESULT build(LONG deviceID, FormatStep step, LONG width, LONG height, double frameRate);
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
