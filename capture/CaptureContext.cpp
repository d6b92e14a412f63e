#include "capture/CaptureContext.h"

#include <vfwmsgs.h>

#include "capture/CaptureFormat.h"
#include "dshow/StreamFormats.h"
#include "dshow/PinSearch.h"
#include "common/HResult.h"

namespace quilo::capture {
namespace {

// Only the low 16 bits of an automation boolean count.
bool is_true(VARIANT_BOOL value) { return (static_cast<unsigned>(value) & 0xFFFFu) != 0; }

} // namespace

CaptureContext::CaptureContext(Platform &p) noexcept : platform_(p) {}

CaptureContext::~CaptureContext() { releaseAll(); }

HRESULT CaptureContext::createCapture(LONG deviceID, VARIANT_BOOL bFlipImageHorizontally,
                                      VARIANT_BOOL bSetCameraParam, LONG width, LONG height)
{
    // Never a second graph over the first; what the last session kept goes before it is replaced.
    destroyCapture();
    releaseAll();
    flipImage_ = is_true(bFlipImageHorizontally);
    RETURN_HR_IF(E_INVALIDARG, deviceID < 0);

    // A host thread in the multithreaded apartment answers RPC_E_CHANGED_MODE: not ours to undo.
    comInitialized_ = SUCCEEDED(platform_.initializeCom());
    const HRESULT hr = build(deviceID, is_true(bSetCameraParam) ? FormatStep::FrameSize : FormatStep::Pages, width,
                             height, 0);
    if (FAILED(hr)) releaseAll();
    return hr;
}

HRESULT CaptureContext::openCamera(const CameraRequest &request)
{
    destroyCapture();
    releaseAll();
    RETURN_HR_IF(E_INVALIDARG, request.position < 0);
    flipImage_ = true;
    HRESULT hr = build(request.position, FormatStep::Request, request.width, request.height, request.frameRate);
    if (SUCCEEDED(hr)) hr = startCapture();
    if (FAILED(hr)) releaseAll();
    return hr;
}

HRESULT CaptureContext::build(LONG deviceID, FormatStep step, LONG width, LONG height, double frameRate)
{
    RETURN_IF_FAILED(controls_.createBuilder(platform_));
    RETURN_IF_FAILED(graph_.create(platform_));
    controls_.searchGraph(graph_.graph());
    RETURN_IF_FAILED(graph_.addDevice(platform_, deviceID));
    RETURN_IF_FAILED(graph_.addGrabberAndRenderer(platform_));

    // The automation class streams the pin the device names its capture pin; createCapture
    // keeps to the first output pin, as hosts know it.
    const ComPtr<IPin> capturePin = step == FormatStep::Request ? dshow::findCapturePin(graph_.captureFilter())
                                              : dshow::findFreeOutputPin(graph_.captureFilter());
    // The automation class opens a device whatever controls it has.
    RETURN_IF_FAILED(controls_.find(graph_.captureFilter(), step != FormatStep::Request));
    switch (step) {
    case FormatStep::FrameSize:
        RETURN_IF_FAILED(controls_.applyFrameSize(platform_, capturePin.get(), width, height));
        break;
    case FormatStep::Pages:
        showCapturePinPages(platform_, capturePin.get());
        break;
    case FormatStep::Request:
        if (width > 0 && height > 0) RETURN_IF_FAILED(dshow::select_stream_format(capturePin.get(), width, height, frameRate));
        break;
    }

    FrameFormat format;
    RETURN_IF_FAILED(graph_.connect(capturePin.get(), format));
    return frame_.setup(format);
}

HRESULT CaptureContext::startCapture()
{
    isStarted_ = true;
    return S_OK;
}

HRESULT CaptureContext::destroyCapture()
{
    if (!isSetUp()) return S_OK;
    isStarted_ = false;
    // The controls stay and still answer in the host's own apartment until the next
    // createCapture or the object's end.
    graph_.release();
    balanceCom();
    frame_.release();
    return S_FALSE;
}

void CaptureContext::close()
{
    isStarted_ = false;
    releaseAll();
}

void CaptureContext::releaseAll()
{
    graph_.release();
    frame_.release();
    controls_.release();
    balanceCom();
}

void CaptureContext::balanceCom()
{
    if (comInitialized_) {
        comInitialized_ = false;
        platform_.uninitializeCom();
    }
}

} // namespace quilo::capture
