#include "bench/ReferenceGraph.h"

#include "common/DeviceList.h"

#include <amvideo.h>
#include <evcode.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include "common/DirectShowIds.h"
#include "common/HResult.h"
#include "common/MediaType.h"

namespace quilo::bench {
namespace {

constexpr long kWaitLimitMs = 8000;

HRESULT first_pin(IBaseFilter *filter, PIN_DIRECTION direction, ComPtr<IPin> &pin)
{
    pin.reset();
    ComPtr<IEnumPins> pins;
    RETURN_IF_FAILED(filter->EnumPins(pins.put()));
    ComPtr<IPin> candidate;
    while (pins->Next(1, candidate.put(), nullptr) == S_OK) {
        PIN_DIRECTION d;
        if (SUCCEEDED(candidate->QueryDirection(&d)) && d == direction) {
            pin = candidate;
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

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

} // namespace

ReferenceGraph::~ReferenceGraph()
{
    close();
}

HRESULT ReferenceGraph::open(long position, long width, long height)
{
    close();
    ComPtr<IBaseFilter> capture, grabberFilter, renderer;
    RETURN_IF_FAILED(bind_video_device(position, capture));
    RETURN_IF_FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                      graph_.put_void()));
    RETURN_IF_FAILED(CoCreateInstance(kClsidSampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                      grabberFilter.put_void()));
    RETURN_IF_FAILED(CoCreateInstance(kClsidNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                      renderer.put_void()));
    RETURN_IF_FAILED(graph_->AddFilter(capture.get(), L"Capture"));
    RETURN_IF_FAILED(graph_->AddFilter(grabberFilter.get(), L"Grabber"));
    RETURN_IF_FAILED(graph_->AddFilter(renderer.get(), L"NullRenderer"));
    RETURN_IF_FAILED(grabberFilter.query(grabber_));

    AM_MEDIA_TYPE rgb24 = {};
    rgb24.majortype = MEDIATYPE_Video;
    rgb24.subtype = MEDIASUBTYPE_RGB24;
    RETURN_IF_FAILED(grabber_->SetMediaType(&rgb24));

    ComPtr<IPin> captureOut, grabberIn, grabberOut, rendererIn;
    RETURN_IF_FAILED(first_pin(capture.get(), PINDIR_OUTPUT, captureOut));
    RETURN_IF_FAILED(first_pin(grabberFilter.get(), PINDIR_INPUT, grabberIn));
    RETURN_IF_FAILED(first_pin(grabberFilter.get(), PINDIR_OUTPUT, grabberOut));
    RETURN_IF_FAILED(first_pin(renderer.get(), PINDIR_INPUT, rendererIn));
    RETURN_IF_FAILED(set_frame_size(captureOut.get(), width, height));
    RETURN_IF_FAILED(graph_->Connect(captureOut.get(), grabberIn.get()));
    RETURN_IF_FAILED(graph_->Connect(grabberOut.get(), rendererIn.get()));
    RETURN_IF_FAILED(grabber_->SetBufferSamples(TRUE));
    RETURN_IF_FAILED(grabber_->SetOneShot(TRUE));

    MediaType connected;
    RETURN_IF_FAILED(grabber_->GetConnectedMediaType(connected.get()));
    RETURN_HR_IF(VFW_E_INVALIDMEDIATYPE, !IsEqualGUID(connected->formattype, FORMAT_VideoInfo) ||
                                             connected->cbFormat < sizeof(VIDEOINFOHEADER));
    const auto *vih = reinterpret_cast<const VIDEOINFOHEADER *>(connected->pbFormat);
    width_ = vih->bmiHeader.biWidth;
    height_ = vih->bmiHeader.biHeight;
    flip_ = std::make_unique<RowFlip>(width_, height_, vih->bmiHeader.biBitCount / 8);
    RETURN_HR_IF(E_OUTOFMEMORY, !flip_->valid());
    buffer_.resize(static_cast<size_t>(flip_->image_size()));

    RETURN_IF_FAILED(graph_->QueryInterface(IID_IMediaControl, control_.put_void()));
    // mingw-w64 declares no __uuidof for IMediaEvent: the IID is named.
    RETURN_IF_FAILED(graph_->QueryInterface(IID_IMediaEvent, events_.put_void()));
    return S_OK;
}

HRESULT ReferenceGraph::grab()
{
    RETURN_HR_IF(VFW_E_WRONG_STATE, !control_);
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
