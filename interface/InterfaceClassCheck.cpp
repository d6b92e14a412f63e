// The class table must be the published table plus exactly one slot. Single inheritance with
// no data keeps the published slots first; a concrete probe that overrides exactly the 32
// methods fails to compile if anyone adds another pure method to the class table.
#include <type_traits>
#include "QuiloVideoClass.h"

static_assert(std::is_base_of<ICQuiloVideoProc, ICQuiloVideoProcClass>::value, "published table first");
static_assert(std::is_base_of<IUnknown, ICQuiloVideoProc>::value, "derives from IUnknown");
static_assert(!std::is_base_of<IDispatch, ICQuiloVideoProc>::value, "not a dispatch interface");
static_assert(sizeof(ICQuiloVideoProcClass) == sizeof(void *), "one table pointer, no data, one base");

namespace {

struct Probe final : ICQuiloVideoProcClass
{
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **) override { return E_NOTIMPL; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 0; }
    ULONG STDMETHODCALLTYPE Release() override { return 0; }
    HRESULT STDMETHODCALLTYPE createCapture(LONG, VARIANT_BOOL, VARIANT_BOOL, LONG, LONG) override { return 0; }
    HRESULT STDMETHODCALLTYPE Grab(QuiloImageStruct *) override { return 0; }
    HRESULT STDMETHODCALLTYPE destroyCapture() override { return 0; }
    HRESULT STDMETHODCALLTYPE startCapture() override { return 0; }
    HRESULT STDMETHODCALLTYPE GetCameraBrightnessParam(LONG *) override { return 0; }
    HRESULT STDMETHODCALLTYPE GetCameraContrastParam(LONG *) override { return 0; }
    HRESULT STDMETHODCALLTYPE GetCameraHueParam(LONG *) override { return 0; }
    HRESULT STDMETHODCALLTYPE GetCameraSaturationParam(LONG *) override { return 0; }
    HRESULT STDMETHODCALLTYPE GetCameraSharpnessParam(LONG *) override { return 0; }
    HRESULT STDMETHODCALLTYPE GetCameraWhiteBlanceParam(LONG *) override { return 0; }
    HRESULT STDMETHODCALLTYPE GetCameraBacklightCompensationParam(LONG *) override { return 0; }
    HRESULT STDMETHODCALLTYPE GetVideoStandParam(unsigned char *) override { return 0; }
    HRESULT STDMETHODCALLTYPE IsCameraSupportBrightness(VARIANT_BOOL *) override { return 0; }
    HRESULT STDMETHODCALLTYPE IsCameraSupportContrast(VARIANT_BOOL *) override { return 0; }
    HRESULT STDMETHODCALLTYPE IsCaneraSupportHue(VARIANT_BOOL *) override { return 0; }
    HRESULT STDMETHODCALLTYPE IsCameraSupportSaturation(VARIANT_BOOL *) override { return 0; }
    HRESULT STDMETHODCALLTYPE IsCameraSupportSharpness(VARIANT_BOOL *) override { return 0; }
    HRESULT STDMETHODCALLTYPE IsCameraSupportGamma(VARIANT_BOOL *) override { return 0; }
    HRESULT STDMETHODCALLTYPE IsCameraSupportWhiteBalance(VARIANT_BOOL *) override { return 0; }
    HRESULT STDMETHODCALLTYPE IsCameraSupportBacklightCompensation(VARIANT_BOOL *) override { return 0; }
    HRESULT STDMETHODCALLTYPE SetCameraBrightnessParam(LONG) override { return 0; }
    HRESULT STDMETHODCALLTYPE SetCameraContrastParam(LONG) override { return 0; }
    HRESULT STDMETHODCALLTYPE SetCameraHueParam(LONG) override { return 0; }
    HRESULT STDMETHODCALLTYPE SetCameraSaturationParam(LONG) override { return 0; }
    HRESULT STDMETHODCALLTYPE SetCameraSharpnessParam(LONG) override { return 0; }
    HRESULT STDMETHODCALLTYPE SetCameraGammaParam(LONG) override { return 0; }
    HRESULT STDMETHODCALLTYPE SetCameraWhiteBalance(LONG) override { return 0; }
    HRESULT STDMETHODCALLTYPE SetCameraBlacklightCompansationParam(LONG) override { return 0; }
    HRESULT STDMETHODCALLTYPE SetVideoStandParam(unsigned char *) override { return 0; }
    HRESULT STDMETHODCALLTYPE GetCameraGammaParam(LONG *) override { return 0; }
};

static_assert(!std::is_abstract<Probe>::value, "the class table has exactly these 33 methods after IUnknown's 3");

} // namespace
