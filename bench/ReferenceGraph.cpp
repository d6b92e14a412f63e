#include "bench/ReferenceGraph.h"

#include <amvideo.h>
#include <evcode.h>
#include <uuids.h>
#include <vfwmsgs.h>
#include <atomic>
#include <cstring>

#include "dshow/DeviceList.h"
#include "interface/QuiloCameraDefaults.h"
#include "dshow/DirectShowIds.h"
#include "common/HResult.h"
#include "dshow/GrabberGraph.h"
#include "dshow/PinSearch.h"
#include "common/InterfaceTable.h"
#include "dshow/MediaType.h"

namespace quilo::bench {

// The grabber's callback of the continuous sequence: when a grab has asked for a sample, the
// next one is copied into its buffer and the grab is woken; all other samples pass by.
class NextSampleCallback final : public ISampleGrabberCB
{
public:
    NextSampleCallback() : arrived_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        return answer_query(iid, out, {{&IID_IUnknown, this}, {&IID_ISampleGrabberCB, this}});
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE SampleCB(double, IMediaSample *sample) override
    {
        unsigned char *into = wanted_.exchange(nullptr);
        if (!into) return S_OK;
        BYTE *data = nullptr;
        const bool whole = SUCCEEDED(sample->GetPointer(&data)) && sample->GetActualDataLength() >= bytes_;
        if (whole) std::memcpy(into, data, static_cast<size_t>(bytes_));
        ok_ = whole;
        SetEvent(arrived_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE BufferCB(double, BYTE *, long) override { return E_NOTIMPL; }

    // Asks for the next sample into `into`; wait() then tells whether it came.
    void arm(unsigned char *into, long bytes)
    {
        bytes_ = bytes;
        wanted_.store(into);
    }
    // Signalled (auto-reset) when the asked-for sample came.
    HANDLE arrived() const { return arrived_; }
    // Withdraws the request; true when a sample took it meanwhile. That sample's wake-up is
    // taken here, so it cannot answer the next request.
    bool disarm()
    {
        if (wanted_.exchange(nullptr)) return false;
        WaitForSingleObject(arrived_, INFINITE);
        return true;
    }
    HRESULT outcome() const { return ok_ ? S_OK : VFW_E_BUFFER_UNDERFLOW; }

private:
    ~NextSampleCallback() { CloseHandle(arrived_); }
    volatile LONG refs_ = 1;
    HANDLE arrived_;
    std::atomic<unsigned char *> wanted_{nullptr};
    long bytes_ = 0;
    bool ok_ = false;
};

namespace {

// The component's own bound on a frame, so both sides meet the same time-out.
constexpr long kWaitLimitMs = static_cast<long>(kDefaultGrabTimeoutMs);

HRESULT set_frame_size(IPin *capturePin, long width, long height)
{
    ComPtr<IAMStreamConfig> config;
    RETURN_IF_FAILED(capturePin->QueryInterface(IID_IAMStreamConfig, config.put_void()));
    MediaTypePtr mt;
    VIDEO_STREAM_CONFIG_CAPS caps = {};
    RETURN_IF_FAILED(config->GetStreamCaps(0, mt.put(), reinterpret_cast<BYTE *>(&caps)));
    RETURN_HR_IF(VFW_E_INVALIDMEDIATYPE, !IsEqualGUID(mt->formattype, FORMAT_VideoInfo) ||
                                             mt->cbFormat < sizeof(VIDEOINFOHEADER) || !mt->pbFormat);
    auto *vih = reinterpret_cast<VIDEOINFOHEADER *>(mt->pbFormat);
    vih->bmiHeader.biWidth = width;
    vih->bmiHeader.biHeight = height;
    vih->bmiHeader.biSizeImage = static_cast<DWORD>(((width * vih->bmiHeader.biBitCount + 31) / 32) * 4 * height);
    mt->lSampleSize = vih->bmiHeader.biSizeImage;
    return config->SetFormat(mt.get());
}

void drain(IMediaEvent *events)
{
    long code;
    LONG_PTR a, b;
    while (events->GetEvent(&code, &a, &b, 0) == S_OK) events->FreeEventParams(code, a, b);
}

HRESULT wait_complete(IMediaEvent *events)
{
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD spent = GetTickCount() - start;
        RETURN_HR_IF(VFW_E_TIMEOUT, spent >= static_cast<DWORD>(kWaitLimitMs));
        long code;
        LONG_PTR a, b;
        const HRESULT hr = events->GetEvent(&code, &a, &b, kWaitLimitMs - static_cast<long>(spent));
        // Wine leaves the queue's event signalled after handing out the last event, so the next
        // wait can answer E_ABORT at once: only the deadline means a time-out.
        if (hr == E_ABORT) continue;
        RETURN_IF_FAILED(hr);
        events->FreeEventParams(code, a, b);
        if (code == EC_COMPLETE) return S_OK;
        if (code == EC_ERRORABORT) return FAILED(static_cast<HRESULT>(a)) ? static_cast<HRESULT>(a) : E_FAIL;
    }
}

// What a host that writes DirectShow itself must watch while it waits for a frame: events that
// stop the stream. S_OK when none came.
HRESULT stream_failure(IMediaEvent *events)
{
    HRESULT outcome = S_OK;
    long code;
    LONG_PTR a, b;
    while (SUCCEEDED(outcome) && events->GetEvent(&code, &a, &b, 0) == S_OK) {
        if (code == EC_ERRORABORT || code == EC_STREAM_ERROR_STOPPED)
            outcome = FAILED(static_cast<HRESULT>(a)) ? static_cast<HRESULT>(a) : E_FAIL;
        else if (code == EC_DEVICE_LOST && b == 0)
            outcome = HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
        events->FreeEventParams(code, a, b);
    }
    return outcome;
}

} // namespace

ReferenceGraph::ReferenceGraph() = default;

ReferenceGraph::~ReferenceGraph()
{
    close();
}

HRESULT ReferenceGraph::open(long position, long width, long height, Sequence sequence)
{
    close();
    sequence_ = sequence;
    ComPtr<IBaseFilter> capture;
    // The graph before the device, as the component builds: a device that fails to bind then
    // costs both the same platform calls.
    RETURN_IF_FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                      graph_.put_void()));
    RETURN_IF_FAILED(dshow::bind_video_device(position, capture));
    RETURN_IF_FAILED(graph_->AddFilter(capture.get(), L"Capture"));
    dshow::GrabberFilters filters;
    RETURN_IF_FAILED(filters.add(graph_.get()));
    grabber_ = filters.grabber;

    const ComPtr<IPin> captureOut = dshow::findOutputPin(capture.get());
    RETURN_HR_IF(VFW_E_NOT_FOUND, !captureOut);
    RETURN_IF_FAILED(set_frame_size(captureOut.get(), width, height));
    RETURN_IF_FAILED(filters.connect(graph_.get(), captureOut.get(), true));
    const bool restart = sequence == Sequence::Restart;
    RETURN_IF_FAILED(grabber_->SetBufferSamples(restart ? TRUE : FALSE));
    RETURN_IF_FAILED(grabber_->SetOneShot(restart ? TRUE : FALSE));
    if (!restart) {
        callback_.attach(new NextSampleCallback());
        RETURN_IF_FAILED(grabber_->SetCallback(callback_.get(), 0));
    }

    MediaType connected;
    RETURN_IF_FAILED(grabber_->GetConnectedMediaType(connected.get()));
    RETURN_HR_IF(VFW_E_INVALIDMEDIATYPE, !IsEqualGUID(connected->formattype, FORMAT_VideoInfo) ||
                                             connected->cbFormat < sizeof(VIDEOINFOHEADER));
    const auto *vih = reinterpret_cast<const VIDEOINFOHEADER *>(connected->pbFormat);
    width_ = vih->bmiHeader.biWidth;
    height_ = vih->bmiHeader.biHeight;
    flip_ = std::make_unique<RowFlip>(width_, height_, vih->bmiHeader.biBitCount / 8);
    RETURN_HR_IF(E_OUTOFMEMORY, !flip_->valid());
    buffer_.resize(static_cast<size_t>(flip_->imageSize()));

    RETURN_IF_FAILED(graph_->QueryInterface(IID_IMediaControl, control_.put_void()));
    // mingw-w64 declares no __uuidof for IMediaEvent: the IID is named.
    RETURN_IF_FAILED(graph_->QueryInterface(IID_IMediaEvent, events_.put_void()));
    return S_OK;
}

HRESULT ReferenceGraph::grab()
{
    RETURN_HR_IF(VFW_E_WRONG_STATE, !control_);
    return sequence_ == Sequence::Continuous ? grab_continuous() : grab_restart();
}

HRESULT ReferenceGraph::grab_continuous()
{
    // Asked for before the stream starts: a device that fails right after its first frame still
    // hands that frame over.
    callback_->arm(buffer_.data(), static_cast<long>(buffer_.size()));
    HRESULT hr = S_OK;
    if (!running_) {
        hr = control_->Run();
        running_ = SUCCEEDED(hr);
    }
    // The sample and the graph's events (set while any are queued) wake the wait alike.
    OAEVENT graphEvents = 0;
    if (SUCCEEDED(hr)) hr = events_->GetEventHandle(&graphEvents);
    const HANDLE wakers[] = {callback_->arrived(), reinterpret_cast<HANDLE>(graphEvents)};
    const DWORD start = GetTickCount();
    bool arrived = false;
    while (SUCCEEDED(hr) && !arrived) {
        const DWORD spent = GetTickCount() - start;
        if (spent >= static_cast<DWORD>(kWaitLimitMs)) {
            hr = VFW_E_TIMEOUT;
            break;
        }
        const DWORD woke = WaitForMultipleObjects(2, wakers, FALSE, static_cast<DWORD>(kWaitLimitMs) - spent);
        arrived = woke == WAIT_OBJECT_0;
        if (woke == WAIT_OBJECT_0 + 1) hr = stream_failure(events_.get());
    }
    if (!arrived && callback_->disarm() && hr == VFW_E_TIMEOUT) arrived = true;
    RETURN_IF_FAILED(hr);
    RETURN_IF_FAILED(callback_->outcome());
    flip_->flip(buffer_.data());
    return S_OK;
}

HRESULT ReferenceGraph::grab_restart()
{
    control_->Stop();
    RETURN_IF_FAILED(grabber_->SetOneShot(TRUE));
    drain(events_.get());
    RETURN_IF_FAILED(control_->Run());
    RETURN_IF_FAILED(wait_complete(events_.get()));
    long size = 0;
    RETURN_IF_FAILED(grabber_->GetCurrentBuffer(&size, nullptr));
    RETURN_HR_IF(VFW_E_BUFFER_UNDERFLOW, size < static_cast<long>(buffer_.size()));
    size = static_cast<long>(buffer_.size());
    RETURN_IF_FAILED(grabber_->GetCurrentBuffer(&size, reinterpret_cast<long *>(buffer_.data())));
    flip_->flip(buffer_.data());
    return S_OK;
}

void ReferenceGraph::close()
{
    if (control_) control_->Stop();
    running_ = false;
    if (grabber_ && callback_) grabber_->SetCallback(nullptr, 0);
    callback_.reset();
    // Pins hold references to each other while connected; removing the filters breaks the links.
    if (graph_) {
        ComPtr<IEnumFilters> filters;
        if (SUCCEEDED(graph_->EnumFilters(filters.put()))) {
            std::vector<ComPtr<IBaseFilter>> all;
            ComPtr<IBaseFilter> f;
            while (filters->Next(1, f.put(), nullptr) == S_OK) all.push_back(f);
            for (auto &each : all) graph_->RemoveFilter(each.get());
        }
    }
    flip_.reset();
    events_.reset();
    control_.reset();
    grabber_.reset();
    graph_.reset();
}

} // namespace quilo::bench
