// The device graph of one capture session: the capture filter → an RGB24 sample grabber → a
// null renderer, and the stream through it. Once running, the stream is left running from one
// Grab to the next, as a camera streams; each Grab takes the next frame that arrives.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <qedit.h>

#include "capture/FrameSink.h"
#include "capture/Platform.h"
#include "common/ComPtr.h"
#include "dshow/VideoFormat.h"
#include "dshow/GrabberGraph.h"
#include "frame/FrameDelivery.h"

namespace quilo::capture {

class DeviceGraph
{
public:
    DeviceGraph() = default;
    ~DeviceGraph() { release(); }
    DeviceGraph(const DeviceGraph &) = delete;
    DeviceGraph &operator=(const DeviceGraph &) = delete;

    // Building, in this order. Each step returns the platform's failure; release() undoes any
    // part of it.
    HRESULT create(Platform &platform);
    // The device at a position of the list (walked through the platform's device enumerator),
    // or the device of a moniker found before.
    HRESULT addDevice(Platform &platform, LONG position);
    HRESULT addDevice(IMoniker *device);
    HRESULT addGrabberAndRenderer(Platform &platform);
    // Connects `capturePin` to the grabber (and the grabber to the renderer), sets the grabber
    // to call back for every sample, and reads the frame format the connection settled on.
    HRESULT connect(IPin *capturePin, dshow::FrameFormat &format);

    bool connected() const noexcept { return static_cast<bool>(sink_); }
    IGraphBuilder *graph() const noexcept { return graph_.get(); }
    IBaseFilter *captureFilter() const noexcept { return captureFilter_.get(); }

    // Waits at most `timeoutMs` for a frame that arrives after the call began and copies it
    // into `frame`'s incoming buffer, in the format the stream has then (a device may change it
    // mid-stream). Runs the graph first when it is not running. S_OK; or VFW_E_TIMEOUT, the
    // failure of an event that stopped the stream, VFW_E_BUFFER_UNDERFLOW, VFW_E_INVALIDMEDIATYPE
    // for a format the device changed to that the component does not take, or E_OUTOFMEMORY,
    // after which the graph is stopped (after VFW_E_TIMEOUT only with OnTimeout::Stop). A stream
    // the device ended is started again once.
    enum class OnTimeout { Stop, KeepStreaming };
    HRESULT takeFrame(frame::FrameDelivery &frame, DWORD timeoutMs, OnTimeout onTimeout);
    // The stamp of the frame the last successful takeFrame copied.
    FrameStamp lastStamp() const noexcept { return sink_ ? sink_->stamp() : FrameStamp{}; }
    // Stops a graph that runs or was asked to run (a failed Run may have started some of its
    // filters); a graph never run is left alone.
    void stop();
    // Stops and releases everything, in one order.
    void release();

private:
    HRESULT startStream();
    // Stops each filter of the graph that is not stopped; the first failure of a filter's Stop.
    HRESULT stopFilters();
    // Arms the sink with an incoming buffer of `frame` for the stream's current format.
    HRESULT arm(frame::FrameDelivery &frame);
    // Reads the graph's pending events: the failure of an event that stopped the stream, S_FALSE
    // when the device ended its stream, S_OK when nothing of the kind happened (events of a
    // stream that goes on, such as the *_STILLPLAYING errors, are passed by).
    HRESULT readEvents();

    ComPtr<IGraphBuilder> graph_;
    ComPtr<IMediaControl> control_;
    ComPtr<IMediaEvent> events_;
    HANDLE eventHandle_ = nullptr; // the graph's own, set while events are queued; never closed here
    ComPtr<IBaseFilter> captureFilter_;
    dshow::GrabberFilters filters_;
    ComPtr<FrameSink> sink_;
    bool running_ = false;        // Run was called and no Stop has succeeded since
};

} // namespace quilo::capture
