#include "capture/DeviceGraph.h"

#include <evcode.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include "dshow/DeviceList.h"
#include "common/HResult.h"
#include "dshow/MediaType.h"

namespace quilo::capture {
HRESULT DeviceGraph::create(Platform &platform)
{
    RETURN_IF_FAILED(platform.createInstance(CLSID_FilterGraph, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                             graph_.put_void()));
    RETURN_IF_FAILED(graph_.query(control_));
    RETURN_IF_FAILED(graph_.query(IID_IMediaEvent, events_));
    OAEVENT handle = 0;
    RETURN_IF_FAILED(events_->GetEventHandle(&handle));
    eventHandle_ = reinterpret_cast<HANDLE>(handle);
    return S_OK;
}

HRESULT DeviceGraph::addDevice(Platform &platform, LONG position)
{
    ComPtr<ICreateDevEnum> devices;
    RETURN_IF_FAILED(platform.createInstance(CLSID_SystemDeviceEnum, CLSCTX_ALL, IID_ICreateDevEnum,
                                             devices.put_void()));
    RETURN_IF_FAILED(dshow::bind_video_device(devices.get(), position, captureFilter_));
    return graph_->AddFilter(captureFilter_.get(), L"Capture Filter");
}

HRESULT DeviceGraph::addDevice(IMoniker *device)
{
    RETURN_IF_FAILED(dshow::bind_moniker(device, captureFilter_));
    return graph_->AddFilter(captureFilter_.get(), L"Capture Filter");
}

HRESULT DeviceGraph::addGrabberAndRenderer(Platform &platform)
{
    return filters_.add(graph_.get(), [&platform](REFCLSID clsid, DWORD context, REFIID iid, void **out) {
        return platform.createInstance(clsid, context, iid, out);
    });
}

HRESULT DeviceGraph::connect(IPin *capturePin, dshow::FrameFormat &format)
{
    RETURN_IF_FAILED(filters_.connect(graph_.get(), capturePin, false));
    ISampleGrabber *grabber = filters_.grabber.get();
    // Continuous: every sample is offered to the sink, none is kept by the grabber.
    RETURN_IF_FAILED(grabber->SetBufferSamples(FALSE));
    RETURN_IF_FAILED(grabber->SetOneShot(FALSE));
    MediaType connected;
    RETURN_IF_FAILED(grabber->GetConnectedMediaType(connected.get()));
    RETURN_IF_FAILED(dshow::read_frame_format(*connected.get(), format));

    ComPtr<FrameSink> sink;
    sink.attach(FrameSink::create(format));
    RETURN_HR_IF(E_OUTOFMEMORY, !sink);
    // 0: SampleCB, with the sample itself; the grabber holds its own reference to the sink.
    RETURN_IF_FAILED(grabber->SetCallback(sink.get(), 0));
    sink_ = std::move(sink);
    return S_OK;
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
    eventHandle_ = nullptr;
    events_.reset();
    control_.reset();
    graph_.reset();
}

} // namespace quilo::capture
