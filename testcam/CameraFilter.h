// The test camera's capture filter: a live source with one capture pin, the video processing
// amplifier, the camera control and, when the device has one, a crossbar and an analog video
// decoder on the filter itself. It reads its device's options through IPersistPropertyBag when a host binds it.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <ocidl.h>
#include <memory>

#include "testcam/AnalogInput.h"
#include "testcam/CameraControl.h"
#include "testcam/CapturePin.h"
#include "testcam/ControlSet.h"
#include "testcam/StillPin.h"
#include "testcam/DeviceOptions.h"
#include "testcam/DeviceRegistry.h"
#include "testcam/kit/BaseFilter.h"

namespace quilo::testcam {

class CameraFilter final : public kit::BaseFilter,
                           public IPersistPropertyBag,
                           public IAMVideoProcAmp,
                           public IAMCrossbar,
                           public IAMAnalogVideoDecoder
{
public:
    // The class object's creation function.
    static HRESULT create(REFIID iid, void **out);

    // IUnknown and IPersist, shared by every interface of the filter.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override { return BaseFilter::QueryInterface(iid, out); }
    ULONG STDMETHODCALLTYPE AddRef() override { return BaseFilter::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return BaseFilter::Release(); }
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID *clsid) override { return BaseFilter::GetClassID(clsid); }
    // IMediaFilter (the rest is the kit's)
    HRESULT STDMETHODCALLTYPE Pause() override;
    // IPersistPropertyBag
    HRESULT STDMETHODCALLTYPE InitNew() override;
    HRESULT STDMETHODCALLTYPE Load(IPropertyBag *bag, IErrorLog *log) override;
    HRESULT STDMETHODCALLTYPE Save(IPropertyBag *bag, BOOL clearDirty, BOOL saveAll) override;
    // IAMVideoProcAmp
    HRESULT STDMETHODCALLTYPE GetRange(LONG property, LONG *min, LONG *max, LONG *step, LONG *defaultValue,
                                       LONG *caps) override;
    HRESULT STDMETHODCALLTYPE Set(LONG property, LONG value, LONG flags) override;
    HRESULT STDMETHODCALLTYPE Get(LONG property, LONG *value, LONG *flags) override;
    // IAMCrossbar
    HRESULT STDMETHODCALLTYPE get_PinCounts(LONG *outputs, LONG *inputs) override;
    HRESULT STDMETHODCALLTYPE CanRoute(LONG output, LONG input) override;
    HRESULT STDMETHODCALLTYPE Route(LONG output, LONG input) override;
    HRESULT STDMETHODCALLTYPE get_IsRoutedTo(LONG output, LONG *input) override;
    HRESULT STDMETHODCALLTYPE get_CrossbarPinInfo(BOOL isInput, LONG index, LONG *related, LONG *type) override;
    // IAMAnalogVideoDecoder
    HRESULT STDMETHODCALLTYPE get_AvailableTVFormats(LONG *standards) override;
    HRESULT STDMETHODCALLTYPE put_TVFormat(LONG standard) override;
    HRESULT STDMETHODCALLTYPE get_TVFormat(LONG *standard) override;
    HRESULT STDMETHODCALLTYPE get_HorizontalLocked(LONG *locked) override;
    HRESULT STDMETHODCALLTYPE put_VCRHorizontalLocking(LONG locking) override;
    HRESULT STDMETHODCALLTYPE get_VCRHorizontalLocking(LONG *locking) override;
    HRESULT STDMETHODCALLTYPE get_NumberOfLines(LONG *lines) override;
    HRESULT STDMETHODCALLTYPE put_OutputEnable(LONG enable) override;
    HRESULT STDMETHODCALLTYPE get_OutputEnable(LONG *enable) override;

    // The capture pin, after a still pin with --still-pin-first.
    ULONG pinCount() const override { return options_.stillPinFirst ? 2 : 1; }
    IPin *pin(ULONG index) const override;

protected:
    HRESULT queryExtra(REFIID iid, void **out) override;
    HRESULT onStopToPause() override;
    HRESULT onPauseToRun(REFERENCE_TIME start) override;
    void onRunToPause() override;
    void onToStop() override;
    void onStateCall(FILTER_STATE requested) override;

private:
    CameraFilter();
    ~CameraFilter() override;
    void apply(const DeviceOptions &options);
    // --marks: the routed input and camera control values, painted into each frame.
    void paintMarks(BYTE *pixels, LONG width, LONG height) const;

    bool loaded_ = false;
    DeviceOptions options_;
    // Declared before the pin: the pin's stream reports to it until the pin is gone.
    std::unique_ptr<DeviceState> state_;
    ControlSet procAmp_{ControlKind::ProcAmp};
    CameraControl cameraControl_{*static_cast<IBaseFilter *>(this)};
    Crossbar crossbar_;
    VideoDecoder decoder_;
    mutable CapturePin pin_;
    mutable StillPin stillPin_;
};

} // namespace quilo::testcam
