#include "shell/VideoProc.h"

#include "capture/CameraControls.h"
#include "capture/VideoStandard.h"
#include "shell/AggregatedVideoProc.h"
#include "shell/ClassInfoCache.h"
#include "shell/InterfaceTable.h"
#include "shell/Module.h"

namespace quilo::shell {

namespace {

using capture::CameraProperty;

// The first row is also the object's IUnknown.
const InterfaceEntry<VideoProc> kInterfaces[] = {
    {&IID_ICQuiloVideoProc, [](VideoProc *self) -> IUnknown * { return static_cast<ICQuiloVideoProcClass *>(self); }},
    {&IID_IProvideClassInfo, [](VideoProc *self) -> IUnknown * { return static_cast<IProvideClassInfo *>(self); }},
};

} // namespace

HRESULT create_video_proc(IUnknown *outer, REFIID riid, void **ppv) noexcept
{
    if (outer) return AggregatedVideoProc::create(outer, riid, ppv);
    return create_and_query<VideoProc>(static_cast<IUnknown *>(nullptr), riid, ppv);
}

VideoProc::VideoProc(IUnknown *outer) noexcept : outer_(outer) { module().lock(); }

VideoProc::~VideoProc() { module().unlock(); }

HRESULT VideoProc::query_own_interface(REFIID riid, void **ppv) noexcept
{
    return query_interface_table(this, kInterfaces, riid, ppv);
}

HRESULT STDMETHODCALLTYPE VideoProc::QueryInterface(REFIID riid, void **ppv)
{
    if (outer_) return outer_->QueryInterface(riid, ppv);
    return query_own_interface(riid, ppv);
}

ULONG STDMETHODCALLTYPE VideoProc::AddRef()
{
    if (outer_) return outer_->AddRef();
    return static_cast<ULONG>(++refs_);
}

ULONG STDMETHODCALLTYPE VideoProc::Release()
{
    if (outer_) return outer_->Release();
    const LONG refs = --refs_;
    if (refs == 0) {
        refs_ = kDestructionRefCount;
        delete this;
    }
    return static_cast<ULONG>(refs);
}

HRESULT STDMETHODCALLTYPE VideoProc::GetClassInfo(ITypeInfo **ppTI) { return get_class_type_info(ppTI); }

HRESULT STDMETHODCALLTYPE VideoProc::createCapture(LONG deviceID, VARIANT_BOOL bFlipImageHorizontally,
                                                   VARIANT_BOOL bSetCameraParam, LONG width, LONG height)
{
    return context_.createCapture(deviceID, bFlipImageHorizontally, bSetCameraParam, width, height);
}

HRESULT STDMETHODCALLTYPE VideoProc::Grab(QuiloImageStruct *imageStruct) { return context_.grab(imageStruct); }
HRESULT STDMETHODCALLTYPE VideoProc::destroyCapture() { return context_.destroyCapture(); }
HRESULT STDMETHODCALLTYPE VideoProc::startCapture() { return context_.startCapture(); }

HRESULT STDMETHODCALLTYPE VideoProc::GetCameraBrightnessParam(LONG *v)
{
    return capture::get_property(context_.procAmp(), CameraProperty::Brightness, v);
}
HRESULT STDMETHODCALLTYPE VideoProc::GetCameraContrastParam(LONG *v)
{
    return capture::get_property(context_.procAmp(), CameraProperty::Contrast, v);
}
HRESULT STDMETHODCALLTYPE VideoProc::GetCameraHueParam(LONG *v)
{
    return capture::get_property(context_.procAmp(), CameraProperty::Hue, v);
}
HRESULT STDMETHODCALLTYPE VideoProc::GetCameraSaturationParam(LONG *v)
{
    return capture::get_property(context_.procAmp(), CameraProperty::Saturation, v);
}
HRESULT STDMETHODCALLTYPE VideoProc::GetCameraSharpnessParam(LONG *v)
{
    return capture::get_property(context_.procAmp(), CameraProperty::Sharpness, v);
}
HRESULT STDMETHODCALLTYPE VideoProc::GetCameraWhiteBlanceParam(LONG *v)
{
    return capture::get_property(context_.procAmp(), CameraProperty::WhiteBalance, v);
}
HRESULT STDMETHODCALLTYPE VideoProc::GetCameraBacklightCompensationParam(LONG *v)
{
    return capture::get_property(context_.procAmp(), CameraProperty::BacklightCompensation, v);
}
HRESULT STDMETHODCALLTYPE VideoProc::GetCameraGammaParam(LONG *v)
{
    return capture::get_property(context_.procAmp(), CameraProperty::Gamma, v);
}

HRESULT STDMETHODCALLTYPE VideoProc::GetVideoStandParam(unsigned char *name)
{
    return capture::get_video_standard(context_.videoDecoder(), name);
}
HRESULT STDMETHODCALLTYPE VideoProc::SetVideoStandParam(unsigned char *name)
{
    return capture::set_video_standard(context_.videoDecoder(), name);
}

HRESULT STDMETHODCALLTYPE VideoProc::IsCameraSupportBrightness(VARIANT_BOOL *b)
{
    return capture::query_support(context_.procAmp(), CameraProperty::Brightness, b);
}
HRESULT STDMETHODCALLTYPE VideoProc::IsCameraSupportContrast(VARIANT_BOOL *b)
{
    return capture::query_support(context_.procAmp(), CameraProperty::Contrast, b);
}
HRESULT STDMETHODCALLTYPE VideoProc::IsCaneraSupportHue(VARIANT_BOOL *b)
{
    return capture::query_support(context_.procAmp(), CameraProperty::Hue, b);
}
HRESULT STDMETHODCALLTYPE VideoProc::IsCameraSupportSaturation(VARIANT_BOOL *b)
{
    return capture::query_support(context_.procAmp(), CameraProperty::Saturation, b);
}
HRESULT STDMETHODCALLTYPE VideoProc::IsCameraSupportSharpness(VARIANT_BOOL *b)
{
    return capture::query_support(context_.procAmp(), CameraProperty::Sharpness, b);
}
HRESULT STDMETHODCALLTYPE VideoProc::IsCameraSupportGamma(VARIANT_BOOL *b)
{
    return capture::query_support(context_.procAmp(), CameraProperty::Gamma, b);
}
HRESULT STDMETHODCALLTYPE VideoProc::IsCameraSupportWhiteBalance(VARIANT_BOOL *b)
{
    return capture::query_support(context_.procAmp(), CameraProperty::WhiteBalance, b);
}
HRESULT STDMETHODCALLTYPE VideoProc::IsCameraSupportBacklightCompensation(VARIANT_BOOL *b)
{
    return capture::query_support(context_.procAmp(), CameraProperty::BacklightCompensation, b);
}

HRESULT STDMETHODCALLTYPE VideoProc::SetCameraBrightnessParam(LONG v)
{
    return capture::set_property(context_.procAmp(), CameraProperty::Brightness, v);
}
HRESULT STDMETHODCALLTYPE VideoProc::SetCameraContrastParam(LONG v)
{
    return capture::set_property(context_.procAmp(), CameraProperty::Contrast, v);
}
HRESULT STDMETHODCALLTYPE VideoProc::SetCameraHueParam(LONG v)
{
    return capture::set_property(context_.procAmp(), CameraProperty::Hue, v);
}
HRESULT STDMETHODCALLTYPE VideoProc::SetCameraSaturationParam(LONG v)
{
    return capture::set_property(context_.procAmp(), CameraProperty::Saturation, v);
}
HRESULT STDMETHODCALLTYPE VideoProc::SetCameraSharpnessParam(LONG v)
{
    return capture::set_property(context_.procAmp(), CameraProperty::Sharpness, v);
}
HRESULT STDMETHODCALLTYPE VideoProc::SetCameraGammaParam(LONG v)
{
    return capture::set_property(context_.procAmp(), CameraProperty::Gamma, v);
}
HRESULT STDMETHODCALLTYPE VideoProc::SetCameraWhiteBalance(LONG v)
{
    return capture::set_property(context_.procAmp(), CameraProperty::WhiteBalance, v);
}
HRESULT STDMETHODCALLTYPE VideoProc::SetCameraBlacklightCompansationParam(LONG v)
{
    return capture::set_property(context_.procAmp(), CameraProperty::BacklightCompensation, v);
}

} // namespace quilo::shell
