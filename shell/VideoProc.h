// The component object CCQuiloVideoProc: identity, reference count, interface table and the
// hand-off of every interface method to its capture context. Standalone it counts its own
// references; as the inner part of an aggregate (AggregatedVideoProc) its IUnknown methods go
// to the outer object.
#pragma once

#include <ocidl.h>

#include "QuiloVideoClass.h"
#include "capture/CaptureContext.h"

namespace quilo::shell {

// Reference count held while an object is being destroyed, so that a stray AddRef/Release
// pair during destruction cannot start a second destruction.
constexpr LONG kDestructionRefCount = static_cast<LONG>(0xC0000001);

// Instance creator of the class table: standalone when outer is null, else aggregated.
HRESULT create_video_proc(IUnknown *outer, REFIID riid, void **ppv) noexcept;

class VideoProc final : public ICQuiloVideoProcClass, public IProvideClassInfo
{
public:
    // outer: the controlling unknown of an aggregate (not counted), or null when standalone.
    explicit VideoProc(IUnknown *outer) noexcept;
    ~VideoProc();
    VideoProc(const VideoProc &) = delete;
    VideoProc &operator=(const VideoProc &) = delete;

    // The object's own interface table, whatever the form.
    HRESULT query_own_interface(REFIID riid, void **ppv) noexcept;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IProvideClassInfo
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo **ppTI) override;

    // ICQuiloVideoProc
    HRESULT STDMETHODCALLTYPE createCapture(LONG deviceID, VARIANT_BOOL bFlipImageHorizontally,
                                            VARIANT_BOOL bSetCameraParam, LONG width, LONG height) override;
    HRESULT STDMETHODCALLTYPE Grab(QuiloImageStruct *imageStruct) override;
    HRESULT STDMETHODCALLTYPE destroyCapture() override;
    HRESULT STDMETHODCALLTYPE startCapture() override;
    HRESULT STDMETHODCALLTYPE GetCameraBrightnessParam(LONG *iBrightnessParam) override;
    HRESULT STDMETHODCALLTYPE GetCameraContrastParam(LONG *iContrastParam) override;
    HRESULT STDMETHODCALLTYPE GetCameraHueParam(LONG *iHueParam) override;
    HRESULT STDMETHODCALLTYPE GetCameraSaturationParam(LONG *iSaturationParam) override;
    HRESULT STDMETHODCALLTYPE GetCameraSharpnessParam(LONG *iSharpnessParam) override;
    HRESULT STDMETHODCALLTYPE GetCameraWhiteBlanceParam(LONG *iWhiteBlanceParam) override;
    HRESULT STDMETHODCALLTYPE GetCameraBacklightCompensationParam(LONG *iBacklightCompensationParam) override;
    HRESULT STDMETHODCALLTYPE GetVideoStandParam(unsigned char *VideoStandParam) override;
    HRESULT STDMETHODCALLTYPE IsCameraSupportBrightness(VARIANT_BOOL *bSupportBrightness) override;
    HRESULT STDMETHODCALLTYPE IsCameraSupportContrast(VARIANT_BOOL *bSupportContrast) override;
    HRESULT STDMETHODCALLTYPE IsCaneraSupportHue(VARIANT_BOOL *bSupportHue) override;
    HRESULT STDMETHODCALLTYPE IsCameraSupportSaturation(VARIANT_BOOL *bSupportSaturation) override;
    HRESULT STDMETHODCALLTYPE IsCameraSupportSharpness(VARIANT_BOOL *bSupportSharpness) override;
    HRESULT STDMETHODCALLTYPE IsCameraSupportGamma(VARIANT_BOOL *bSupportGamma) override;
    HRESULT STDMETHODCALLTYPE IsCameraSupportWhiteBalance(VARIANT_BOOL *bSupportWhiteBalance) override;
    HRESULT STDMETHODCALLTYPE IsCameraSupportBacklightCompensation(VARIANT_BOOL *bSupportBacklightCompensation) override;
    HRESULT STDMETHODCALLTYPE SetCameraBrightnessParam(LONG iBrightnessParam) override;
    HRESULT STDMETHODCALLTYPE SetCameraContrastParam(LONG iContrastParam) override;
    HRESULT STDMETHODCALLTYPE SetCameraHueParam(LONG iHueParam) override;
    HRESULT STDMETHODCALLTYPE SetCameraSaturationParam(LONG iSaturationParam) override;
    HRESULT STDMETHODCALLTYPE SetCameraSharpnessParam(LONG iSharpnessParam) override;
    HRESULT STDMETHODCALLTYPE SetCameraGammaParam(LONG iGammaParam) override;
    HRESULT STDMETHODCALLTYPE SetCameraWhiteBalance(LONG iCameraWhiteBalanceParam) override;
    HRESULT STDMETHODCALLTYPE SetCameraBlacklightCompansationParam(LONG iBlacklightCompansationParam) override;
    HRESULT STDMETHODCALLTYPE SetVideoStandParam(unsigned char *VideoStandParam) override;

    // The class-only method in slot 32, after the published table.
    HRESULT STDMETHODCALLTYPE GetCameraGammaParam(LONG *iGammaParam) override;

private:
    IUnknown *outer_;
    LONG refs_ = 0;
    // Torn down by its own destructor if still set up, so that no camera stays open after
    // the object is gone.
    capture::CaptureContext context_;
};

} // namespace quilo::shell
