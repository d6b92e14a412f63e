#include "capture/DeviceGraph.h"

#include <evcode.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include "common/DeviceList.h"
#include "common/HResult.h"
#include "common/MediaType.h"

namespace quilo::capture {
namespace {

// How often a waiting Grab looks at the graph's events: the bound on how late it notices a
// device error. Frames wake it at once.
constexpr DWORD kEventPollMs = 20;

HRESULT error_of(LONG_PTR param) { return FAILED(static_cast<HRESULT>(param)) ? static_cast<HRESULT>(param) : E_FAIL; }

void free_params(IMediaEvent *events, long code, LONG_PTR first, LONG_PTR second)
{
    ignore_result(events->FreeEventParams(code, first, second), "nothing is left to free if it fails");
}

} // namespace

HRESULT DeviceGraph::create(Platform &platform)
{
    RETURN_IF_FAILED(platform.createInstance(CLSID_FilterGraph, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                             graph_.put_void()));
    RETURN_IF_FAILED(graph_.query(control_));
    return graph_.query(IID_IMediaEvent, events_);
}

HRESULT DeviceGraph::addDevice(Platform &platform, LONG position)
{
    ComPtr<ICreateDevEnum> devices;
    RETURN_IF_FAILED(platform.createInstance(CLSID_SystemDeviceEnum, CLSCTX_ALL, IID_ICreateDevEnum,
                                             devices.put_void()));
    RETURN_IF_FAILED(bind_video_device(devices.get(), position, captureFilter_));
    return graph_->AddFilter(captureFilter_.get(), L"Capture Filter");
}

HRESULT DeviceGraph::addGrabberAndRenderer(Platform &platform)
{
    return filters_.add(graph_.get(), [&platform](REFCLSID clsid, DWORD context, REFIID iid, void **out) {
        return platform.createInstance(clsid, context, iid, out);
    });
}

HRESULT DeviceGraph::connect(IPin *capturePin, FrameFormat &format)
{
    RETURN_IF_FAILED(filters_.connect(graph_.get(), capturePin, false));
    ISampleGrabber *grabber = filters_.grabber.get();
    // Continuous: every sample is offered to the sink, none is kept by the grabber.
    RETURN_IF_FAILED(grabber->SetBufferSamples(FALSE));
    RETURN_IF_FAILED(grabber->SetOneShot(FALSE));
    MediaType connected;
    RETURN_IF_FAILED(grabber->GetConnectedMediaType(connected.get()));
    RETURN_IF_FAILED(read_frame_format(*connected.get(), format));

    ComPtr<FrameSink> sink;
    sink.attach(FrameSink::create(format));
    RETURN_HR_IF(E_OUTOFMEMORY, !sink);
    // 0: SampleCB, with the sample itself; the grabber holds its own reference to the sink.
    RETURN_IF_FAILED(grabber->SetCallback(sink.get(), 0));
    sink_ = std::move(sink);
    return S_OK;
}

HRESULT DeviceGraph::startStream()
{
    // Events of an earlier stream say nothing about this one.
    long code = 0;
    LONG_PTR first = 0, second = 0;
    while (events_->GetEvent(&code, &first, &second, 0) == S_OK) free_params(events_.get(), code, first, second);
    // Marked before the call: a Run that fails may have started some filters already (Wine
    // runs every filter whatever one of them answers), so the graph is stopped all the same.
    running_ = true;
    sink_->restartCount();
    // The first Run after connecting answers S_FALSE while the transition is under way.
    return control_->Run();
}

HRESULT DeviceGraph::readEvents()
{
    HRESULT outcome = S_OK;
    long code = 0;
    LONG_PTR first = 0, second = 0;
    // E_ABORT is "no event"; Wine also answers it at once after the queue was just emptied.
    while (SUCCEEDED(outcome) && events_->GetEvent(&code, &first, &second, 0) == S_OK) {
        switch (code) {
        case EC_ERRORABORT:
        case EC_STREAM_ERROR_STOPPED:
            outcome = error_of(first);
            break;
        case EC_STREAM_ERROR_STILLPLAYING:
        case EC_ERROR_STILLPLAYING:
            break; // a filter's trouble that did not stop the stream: frames still come
        case EC_DEVICE_LOST:
            // 0: the device was removed (1 would be its return).
            if (second == 0) outcome = HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
            break;
        case EC_USERABORT:
            outcome = E_ABORT;
            break;
        case EC_COMPLETE:
            outcome = S_FALSE;
            break;
        default:
            break; // clock changes and the like
        }
        free_params(events_.get(), code, first, second);
    }
    return outcome;
}

HRESULT DeviceGraph::arm(frame::FrameDelivery &frame)
{
    FrameFormat format;
    RETURN_IF_FAILED(sink_->streamFormat(format));
    unsigned char *target = frame.incoming(format);
    RETURN_HR_IF(E_OUTOFMEMORY, !target);
    sink_->arm(target, format);
    return S_OK;
}

HRESULT DeviceGraph::takeFrame(frame::FrameDelivery &frame, DWORD timeoutMs)
{
    RETURN_HR_IF(VFW_E_WRONG_STATE, !sink_);
    // Armed before the stream (re)starts and before the wait: only a frame that arrives from
    // now on can be handed out.
    HRESULT hr = arm(frame);
    if (SUCCEEDED(hr) && !running_) hr = startStream();
    bool restarted = false;
    const DWORD start = GetTickCount();
    HRESULT copied = S_OK;
    bool done = false;
    while (SUCCEEDED(hr)) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) {
            hr = VFW_E_TIMEOUT;
            break;
        }
        const DWORD slice = timeoutMs - elapsed < kEventPollMs ? timeoutMs - elapsed : kEventPollMs;
        if (sink_->wait(slice, copied)) {
            if (copied != S_FALSE) {
                done = true;
                break;
            }
            // The device changed its format: the next frame is taken in the new one.
            hr = arm(frame);
            continue;
        }
        hr = readEvents();
        if (hr == S_FALSE && !restarted) {
            // The device ended its stream; a camera's stream is started again once.
            restarted = true;
            stop();
            hr = startStream();
        } else if (hr == S_FALSE) {
            hr = S_OK; // ended again: wait out the bound
        }
    }
    if (done) {
        hr = copied;
    } else {
        // After this the streaming thread writes nothing more. A copy that completed just as
        // the time ran out still counts; an error event wins over it.
        HRESULT late = S_OK;
        if (sink_->disarm(late) && hr == VFW_E_TIMEOUT && late != S_FALSE) hr = late;
    }
    if (FAILED(hr)) stop();
    return hr;
}

void DeviceGraph::stop()
{
    if (!running_) return;
    ignore_result(control_->Stop(), "what counts is whether every filter stopped, asked next");
    // A graph that fails to stop may still move samples: it stays marked running, so the next
    // stop tries again and release leaves the callback in place.
    if (SUCCEEDED(stopFilters())) running_ = false;
}

HRESULT DeviceGraph::stopFilters()
{
    // The graph's Stop leaves filters that a failed Run started: a graph whose Run failed while
    // pausing counts itself stopped and stops nothing.
    ComPtr<IEnumFilters> filters;
    RETURN_IF_FAILED(graph_->EnumFilters(filters.put()));
    HRESULT outcome = S_OK;
    ComPtr<IBaseFilter> filter;
    while (filters->Next(1, filter.put(), nullptr) == S_OK) {
        FILTER_STATE state = State_Running;
        // A state still changing (VFW_S_STATE_INTERMEDIATE) or unknown counts as started.
        if (filter->GetState(0, &state) == S_OK && state == State_Stopped) continue;
        const HRESULT hr = filter->Stop();
        if (FAILED(hr)) outcome = hr;
    }
    return outcome;
}

void DeviceGraph::release()
{
    if (control_) stop();
    // The grabber's reference to the sink goes with the callback, but only once no sample can
    // be in flight: after a failed Stop the grabber keeps the sink and releases it when it goes
    // itself. The sink is disarmed after every Grab, so it writes nothing meanwhile.
    if (filters_.grabber && sink_ && !running_)
        ignore_result(filters_.grabber->SetCallback(nullptr, 0), "the grabber is released next");
    running_ = false;
    sink_.reset();
    filters_.reset();
    captureFilter_.reset();
    events_.reset();
    control_.reset();
    graph_.reset();
}

} // namespace quilo::capture
