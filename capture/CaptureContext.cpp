#include "capture/CaptureContext.h"

namespace quilo::capture {

CaptureContext::CaptureContext(Platform &p) noexcept : platform(p) {}

CaptureContext::~CaptureContext() = default;

HRESULT CaptureContext::createCapture(LONG, VARIANT_BOOL, VARIANT_BOOL, LONG, LONG) { return E_NOTIMPL; }
HRESULT CaptureContext::startCapture() { return E_NOTIMPL; }
HRESULT CaptureContext::destroyCapture() { return E_NOTIMPL; }

} // namespace quilo::capture
