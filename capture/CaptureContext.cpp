#include "capture/CaptureContext.h"

#include <uuids.h>
#include <vfwmsgs.h>

#include "capture/CaptureFormat.h"
#include "capture/CrossbarRouting.h"
#include "common/DeviceList.h"
#include "capture/PinSearch.h"
#include "common/DirectShowIds.h"
#include "common/HResult.h"
#include "common/MediaType.h"
#include "common/VideoFormat.h"

namespace quilo::capture {
namespace {

// Only the low 16 bits of an automation boolean count.
bool is_true(VARIANT_BOOL value) { return (static_cast<unsigned>(value) & 0xFFFFu) != 0; }

} // namespace

CaptureContext::CaptureContext(Platform &p) noexcept : platform(p) {}

CaptureContext::~CaptureContext()
{
    // A camera is never left open after its object is gone. Everything is released before COM
    // is uninitialised, the interfaces destroyCapture keeps included.
    if (isSetUp && isStarted) stopGraph();
    frameBuffer.release();
    releaseInterfaces();
    balanceCom();
}

HRESULT CaptureContext::createCapture(LONG deviceID, VARIANT_BOOL bFlipImageHorizontally,
                                      VARIANT_BOOL bSetCameraParam, LONG width, LONG height)
{
    // Never a second graph over the first; what the last context kept goes before it is replaced.
    destroyCapture();
    releaseInterfaces();

    deviceIndex = deviceID;
    flipImage = is_true(bFlipImageHorizontally);
    RETURN_HR_IF(E_INVALIDARG, deviceID < 0);

    // A host thread in the multithreaded apartment answers RPC_E_CHANGED_MODE: not ours to undo.
    comInitialized = SUCCEEDED(platform.initializeCom());

    const HRESULT hr = buildGraph(is_true(bSetCameraParam), width, height);
    if (FAILED(hr)) {
        releaseInterfaces();
        balanceCom();
        return hr;
    }
    isSetUp = true;
    return S_OK;
}

HRESULT CaptureContext::startCapture()
{
    isStarted = true;
    return S_OK;
}

HRESULT CaptureContext::destroyCapture()
{
    if (!isSetUp) return S_OK;
    if (isStarted || graphRunning) stopGraph();
    isStarted = false;
    frameBuffer.release();
    graph.reset();
    captureFilter.reset();
    mediaControl.reset();
    grabberFilter.reset();
    sampleGrabber.reset();
    grabberInPin.reset();
    grabberOutPin.reset();
    captureOutPin.reset();
    mediaEvent.reset();
    nullRenderer.reset();
    rendererInPin.reset();
    balanceCom();
    imageHeader.release();
    isSetUp = false;
    return S_FALSE;
}

void CaptureContext::stopGraph()
{
    if (mediaControl) mediaControl->Stop();
    graphRunning = false;
}

HRESULT CaptureContext::createGraphObjects()
{
    RETURN_IF_FAILED(platform.createInstance(CLSID_CaptureGraphBuilder2, CLSCTX_INPROC_SERVER,
                                             IID_ICaptureGraphBuilder2, captureBuilder.put_void()));
    RETURN_IF_FAILED(platform.createInstance(CLSID_FilterGraph, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                             graph.put_void()));
    // The builder only searches this graph for a crossbar; a failure shows up as none found.
    captureBuilder->SetFiltergraph(graph.get());
    RETURN_IF_FAILED(graph.query(mediaControl));
    return graph.query(IID_IMediaEvent, mediaEvent);
}

HRESULT CaptureContext::buildGraph(bool setFrameSize, LONG frameWidth, LONG frameHeight)
{
    RETURN_IF_FAILED(createGraphObjects());
    ComPtr<ICreateDevEnum> devices;
    RETURN_IF_FAILED(platform.createInstance(CLSID_SystemDeviceEnum, CLSCTX_ALL, IID_ICreateDevEnum, devices.put_void()));
    RETURN_IF_FAILED(bind_video_device(devices.get(), deviceIndex, captureFilter));
    RETURN_IF_FAILED(graph->AddFilter(captureFilter.get(), L"Capture Filter"));

    RETURN_IF_FAILED(platform.createInstance(kClsidSampleGrabber, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                             grabberFilter.put_void()));
    RETURN_IF_FAILED(grabberFilter.query(sampleGrabber));
    // A grabber that did not join the graph cannot be connected: the connection reports it.
    graph->AddFilter(grabberFilter.get(), L"Grabber");
    {
        // RGB24 video with any format block; nothing else is asked of the connection.
        MediaType rgb24;
        rgb24->majortype = MEDIATYPE_Video;
        rgb24->subtype = MEDIASUBTYPE_RGB24;
        sampleGrabber->SetMediaType(rgb24.get());
    }
    RETURN_IF_FAILED(platform.createInstance(kClsidNullRenderer, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                             nullRenderer.put_void()));
    RETURN_IF_FAILED(graph->AddFilter(nullRenderer.get(), L"NullRenderer"));

    captureOutPin = findFreeOutputPin(captureFilter.get());
    grabberInPin = findFreeInputPin(grabberFilter.get());

    if (captureBuilder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Interleaved, captureFilter.get(),
                                      IID_IAMCrossbar, crossbar.put_void()) != S_OK)
        captureBuilder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, captureFilter.get(),
                                      IID_IAMCrossbar, crossbar.put_void());
    if (crossbar) {
        // A refused route leaves the crossbar as it was; capture goes on from its current input.
        RETURN_IF_FAILED(routeCrossbar(crossbar.get()));
        RETURN_IF_FAILED(captureFilter.query(IID_IAMAnalogVideoDecoder, videoDecoder));
    }
    RETURN_IF_FAILED(captureFilter.query(procAmp));

    if (setFrameSize)
        RETURN_IF_FAILED(applyFrameSize(platform, captureOutPin.get(), streamConfig, frameWidth, frameHeight));
    else
        showCapturePinPages(platform, captureOutPin.get());

    RETURN_HR_IF(VFW_E_NOT_FOUND, !captureOutPin || !grabberInPin);
    RETURN_IF_FAILED(graph->Connect(captureOutPin.get(), grabberInPin.get()));

    grabberOutPin = findOutputPin(grabberFilter.get());
    rendererInPin = findInputPin(nullRenderer.get());
    // The renderer only gives the grabber's output somewhere to go; the grabber buffers
    // its sample either way.
    if (grabberOutPin && rendererInPin) graph->Connect(grabberOutPin.get(), rendererInPin.get());

    sampleGrabber->SetBufferSamples(TRUE);
    sampleGrabber->SetOneShot(TRUE);
    MediaType connected;
    RETURN_IF_FAILED(sampleGrabber->GetConnectedMediaType(connected.get()));
    FrameFormat format;
    RETURN_IF_FAILED(read_frame_format(*connected.get(), format));
    width = format.width;
    height = format.height;
    topDown = format.topDown;
    depth = 8;
    channels = format.channels;

    RETURN_HR_IF(E_OUTOFMEMORY, !imageHeader.create(width, height, channels));
    return S_OK;
}

void CaptureContext::releaseInterfaces()
{
    // Everything a context ever obtained, the interfaces destroyCapture keeps included.
    if (graphRunning) stopGraph();
    rendererInPin.reset();
    grabberOutPin.reset();
    grabberInPin.reset();
    captureOutPin.reset();
    sampleGrabber.reset();
    grabberFilter.reset();
    nullRenderer.reset();
    mediaEvent.reset();
    mediaControl.reset();
    procAmp.reset();
    streamConfig.reset();
    videoDecoder.reset();
    crossbar.reset();
    captureFilter.reset();
    graph.reset();
    captureBuilder.reset();
    imageHeader.release();
}

void CaptureContext::balanceCom()
{
    if (comInitialized) {
        comInitialized = false;
        platform.uninitializeCom();
    }
}

} // namespace quilo::capture
