#include "capture/CaptureContext.h"

#include <vfwmsgs.h>

#include "capture/CaptureFormat.h"
#include "common/HResult.h"
#include "dshow/PinSearch.h"
#include "dshow/StreamFormats.h"

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
    OpenPolicy policy;
    policy.position = deviceID;
    policy.format = is_true(bSetCameraParam) ? OpenPolicy::Format::FrameSize : OpenPolicy::Format::PropertyPages;
    policy.width = width;
    policy.height = height;
    policy.flip = is_true(bFlipImageHorizontally);
    return open(policy);
}

HRESULT CaptureContext::open(const OpenPolicy &policy)
{
    // Never a second graph over the first; what the last session kept goes before it is replaced.
    destroyCapture();
    releaseAll();
    flipImage_ = policy.flip;
    RETURN_HR_IF(E_INVALIDARG, !policy.moniker && policy.position < 0);

    // A host thread in the multithreaded apartment answers RPC_E_CHANGED_MODE: not ours to undo.
    if (policy.initializeCom) comInitialized_ = SUCCEEDED(platform_.initializeCom());
    HRESULT hr = build(policy);
    if (SUCCEEDED(hr) && policy.start) hr = startCapture();
    if (FAILED(hr)) releaseAll();
    return hr;
}

HRESULT CaptureContext::build(const OpenPolicy &policy)
{
    RETURN_IF_FAILED(controls_.createBuilder(platform_));
    RETURN_IF_FAILED(graph_.create(platform_));
    controls_.searchGraph(graph_.graph());
    RETURN_IF_FAILED(policy.moniker ? graph_.addDevice(policy.moniker) : graph_.addDevice(platform_, policy.position));
    RETURN_IF_FAILED(graph_.addGrabberAndRenderer(platform_));

    const ComPtr<IPin> capturePin = policy.pin == OpenPolicy::Pin::CaptureCategory
                                        ? dshow::findCapturePin(graph_.captureFilter())
                                        : dshow::findFreeOutputPin(graph_.captureFilter());
    RETURN_IF_FAILED(controls_.find(graph_.captureFilter(), policy.needProcAmp));
    switch (policy.format) {
    case OpenPolicy::Format::FrameSize:
        RETURN_IF_FAILED(controls_.applyFrameSize(platform_, capturePin.get(), policy.width, policy.height));
        break;
    case OpenPolicy::Format::PropertyPages:
        showCapturePinPages(platform_, capturePin.get());
        break;
    case OpenPolicy::Format::Choose:
        if (policy.width > 0 && policy.height > 0)
            RETURN_IF_FAILED(dshow::select_stream_format(capturePin.get(), policy.width, policy.height,
                                                         policy.frameRate));
        break;
    }

    dshow::FrameFormat format;
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
    // The controls stay and still answer in the host's own apartment until the next open or
    // the object's end.
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
