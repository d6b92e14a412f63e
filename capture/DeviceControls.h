// What a capture session keeps of its device beyond the graph: the video processing amplifier,
// the camera control, and for analog hardware the crossbar and the video decoder. They stay
// after destroyCapture, so the controls still answer, until the next createCapture, close or
// the object's end. The capture graph builder lives only for the crossbar search.
#pragma once

#include <windows.h>
#include <dshow.h>

#include "capture/Platform.h"
#include "common/ComPtr.h"

namespace quilo::capture {

class DeviceControls
{
public:
    DeviceControls() = default;
    ~DeviceControls() { release(); }
    DeviceControls(const DeviceControls &) = delete;
    DeviceControls &operator=(const DeviceControls &) = delete;

    // The capture graph builder, which searches `graph` for the device's analog crossbar and is
    // released by find().
    HRESULT createBuilder(Platform &platform);
    void searchGraph(IGraphBuilder *graph);
    // The crossbar (routed composite to decoder) and decoder of analog hardware, if the device
    // has them, then its video processing amplifier, which createCapture's devices must have
    // (`needProcAmp`), and its camera control where it has one.
    HRESULT find(IBaseFilter *captureFilter, bool needProcAmp = true);
    // The host's frame size on the capture pin.
    HRESULT applyFrameSize(Platform &platform, IPin *capturePin, LONG width, LONG height);

    IAMVideoProcAmp *procAmp() const noexcept { return procAmp_.get(); }
    IAMAnalogVideoDecoder *videoDecoder() const noexcept { return decoder_.get(); }
    IAMCameraControl *cameraControl() const noexcept { return cameraControl_.get(); }
    IAMCrossbar *crossbar() const noexcept { return crossbar_.get(); }

    void release();

private:
    ComPtr<ICaptureGraphBuilder2> builder_;
    ComPtr<IAMCrossbar> crossbar_;
    ComPtr<IAMAnalogVideoDecoder> decoder_;
    ComPtr<IAMVideoProcAmp> procAmp_;
    ComPtr<IAMCameraControl> cameraControl_;
};

} // namespace quilo::capture
