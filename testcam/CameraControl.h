// The filter's IAMCameraControl. Its methods have the names and arguments of IAMVideoProcAmp's,
// which the filter object implements itself, so it is an object of its own that shares the
// filter's identity: QueryInterface, AddRef and Release are the filter's.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "testcam/ControlSet.h"

namespace quilo::testcam {

class CameraControl final : public IAMCameraControl
{
public:
    explicit CameraControl(IUnknown &filter) : filter_(filter) {}
    ControlSet &controls() { return controls_; }
    const ControlSet &controls() const { return controls_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override { return filter_.QueryInterface(iid, out); }
    ULONG STDMETHODCALLTYPE AddRef() override { return filter_.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return filter_.Release(); }
    HRESULT STDMETHODCALLTYPE GetRange(LONG property, LONG *min, LONG *max, LONG *step, LONG *defaultValue,
                                       LONG *caps) override
    {
        return controls_.getRange(property, min, max, step, defaultValue, caps);
    }
    HRESULT STDMETHODCALLTYPE Set(LONG property, LONG value, LONG flags) override
    {
        return controls_.set(property, value, flags);
    }
    HRESULT STDMETHODCALLTYPE Get(LONG property, LONG *value, LONG *flags) override
    {
        return controls_.get(property, value, flags);
    }

private:
    IUnknown &filter_;
    ControlSet controls_{ControlKind::CameraControl};
};

} // namespace quilo::testcam
