#include "shell/VideoProc.h"

#include <ocidl.h>
#include <new>

#include "QuiloVideoClass.h"
#include "capture/CameraControls.h"
#include "capture/CaptureContext.h"
#include "capture/DecoderStandard.h"
#include "common/InterfaceTable.h"
#include "common/ScopeGuard.h"
#include "shell/ClassInfo.h"
#include "shell/Module.h"

namespace quilo::shell {
namespace {

using Property = capture::CameraProperty;

// Every interface method is a hand-off to the object's capture context, its camera controls or
// its video standard. The IUnknown methods of both interfaces go to the controlling unknown:
// the object's own IUnknown when standalone, the outer object when aggregated.
class VideoProc final : public ICQuiloVideoProcClass, public IProvideClassInfo
{
public:
    explicit VideoProc(IUnknown *outer) noexcept : own_(*this), controlling_(outer ? outer : &own_) { lock_module(); }
    ~VideoProc() { unlock_module(); }
    VideoProc(const VideoProc &) = delete;
    VideoProc &operator=(const VideoProc &) = delete;

    // The non-delegating IUnknown; an aggregate's outer object holds only this one.
    IUnknown &own() noexcept { return own_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        return controlling_->QueryInterface(iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return controlling_->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return controlling_->Release(); }

    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo **info) override { return get_class_info(info); }

    HRESULT STDMETHODCALLTYPE createCapture(LONG deviceID, VARIANT_BOOL bFlipImageHorizontally,
                                            VARIANT_BOOL bSetCameraParam, LONG width, LONG height) override
    {
        // The message box and the property frame run modal loops on this thread: a host may
        // drop its last reference from a timer or window message meanwhile. The object holds
        // itself until the call is done.
        AddRef();
        auto release = scope_exit([this] { Release(); });
        return context_.createCapture(deviceID, bFlipImageHorizontally, bSetCameraParam, width, height);
    }
    HRESULT STDMETHODCALLTYPE Grab(QuiloImageStruct *record) override { return context_.grab(record); }
    HRESULT STDMETHODCALLTYPE destroyCapture() override { return context_.destroyCapture(); }
    HRESULT STDMETHODCALLTYPE startCapture() override { return context_.startCapture(); }

    HRESULT STDMETHODCALLTYPE GetCameraBrightnessParam(LONG *v) override { return get(Property::Brightness, v); }
    HRESULT STDMETHODCALLTYPE GetCameraContrastParam(LONG *v) override { return get(Property::Contrast, v); }
    HRESULT STDMETHODCALLTYPE GetCameraHueParam(LONG *v) override { return get(Property::Hue, v); }
    HRESULT STDMETHODCALLTYPE GetCameraSaturationParam(LONG *v) override { return get(Property::Saturation, v); }
    HRESULT STDMETHODCALLTYPE GetCameraSharpnessParam(LONG *v) override { return get(Property::Sharpness, v); }
    HRESULT STDMETHODCALLTYPE GetCameraWhiteBlanceParam(LONG *v) override { return get(Property::WhiteBalance, v); }
    HRESULT STDMETHODCALLTYPE GetCameraBacklightCompensationParam(LONG *v) override
    {
        return get(Property::BacklightCompensation, v);
    }
    // The class-only method in slot 32, after the published table.
    HRESULT STDMETHODCALLTYPE GetCameraGammaParam(LONG *v) override { return get(Property::Gamma, v); }

    HRESULT STDMETHODCALLTYPE IsCameraSupportBrightness(VARIANT_BOOL *b) override
    {
        return has(Property::Brightness, b);
    }
    HRESULT STDMETHODCALLTYPE IsCameraSupportContrast(VARIANT_BOOL *b) override { return has(Property::Contrast, b); }
    HRESULT STDMETHODCALLTYPE IsCaneraSupportHue(VARIANT_BOOL *b) override { return has(Property::Hue, b); }
    HRESULT STDMETHODCALLTYPE IsCameraSupportSaturation(VARIANT_BOOL *b) override
    {
        return has(Property::Saturation, b);
    }
    HRESULT STDMETHODCALLTYPE IsCameraSupportSharpness(VARIANT_BOOL *b) override { return has(Property::Sharpness, b); }
    HRESULT STDMETHODCALLTYPE IsCameraSupportGamma(VARIANT_BOOL *b) override { return has(Property::Gamma, b); }
    HRESULT STDMETHODCALLTYPE IsCameraSupportWhiteBalance(VARIANT_BOOL *b) override
    {
        return has(Property::WhiteBalance, b);
    }
    HRESULT STDMETHODCALLTYPE IsCameraSupportBacklightCompensation(VARIANT_BOOL *b) override
    {
        return has(Property::BacklightCompensation, b);
    }

    HRESULT STDMETHODCALLTYPE SetCameraBrightnessParam(LONG v) override { return set(Property::Brightness, v); }
    HRESULT STDMETHODCALLTYPE SetCameraContrastParam(LONG v) override { return set(Property::Contrast, v); }
    HRESULT STDMETHODCALLTYPE SetCameraHueParam(LONG v) override { return set(Property::Hue, v); }
    HRESULT STDMETHODCALLTYPE SetCameraSaturationParam(LONG v) override { return set(Property::Saturation, v); }
    HRESULT STDMETHODCALLTYPE SetCameraSharpnessParam(LONG v) override { return set(Property::Sharpness, v); }
    HRESULT STDMETHODCALLTYPE SetCameraGammaParam(LONG v) override { return set(Property::Gamma, v); }
    HRESULT STDMETHODCALLTYPE SetCameraWhiteBalance(LONG v) override { return set(Property::WhiteBalance, v); }
    HRESULT STDMETHODCALLTYPE SetCameraBlacklightCompansationParam(LONG v) override
    {
        return set(Property::BacklightCompensation, v);
    }

    HRESULT STDMETHODCALLTYPE GetVideoStandParam(unsigned char *name) override
    {
        return capture::get_video_standard(context_.videoDecoder(), name);
    }
    HRESULT STDMETHODCALLTYPE SetVideoStandParam(unsigned char *name) override
    {
        return capture::set_video_standard(context_.videoDecoder(), name);
    }

private:
    // The object's own reference count and interface table.
    class NonDelegatingUnknown final : public IUnknown
    {
    public:
        explicit NonDelegatingUnknown(VideoProc &object) noexcept : object_(object) {}

        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
        {
            // The identity is the first interface standalone, and this IUnknown when aggregated.
            IUnknown *identity = object_.controlling_ == this ? static_cast<ICQuiloVideoProcClass *>(&object_)
                                                               : static_cast<IUnknown *>(this);
            return answer_query(iid, out,
                                {{&IID_IUnknown, identity},
                                 {&IID_ICQuiloVideoProc, static_cast<ICQuiloVideoProcClass *>(&object_)},
                                 {&IID_IProvideClassInfo, static_cast<IProvideClassInfo *>(&object_)}});
        }
        // Plain counts: every call comes from the object's own apartment.
        ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
        ULONG STDMETHODCALLTYPE Release() override
        {
            const LONG refs = --refs_;
            if (refs == 0) delete &object_;
            return static_cast<ULONG>(refs);
        }

    private:
        VideoProc &object_;
        LONG refs_ = 0;
    };

    HRESULT get(Property property, LONG *value) { return capture::get_property(procAmp(), property, value); }
    HRESULT set(Property property, LONG value) { return capture::set_property(procAmp(), property, value); }
    HRESULT has(Property property, VARIANT_BOOL *b) { return capture::query_support(procAmp(), property, b); }
    IAMVideoProcAmp *procAmp() const noexcept { return context_.procAmp(); }

    NonDelegatingUnknown own_;
    IUnknown *controlling_;
    // Tears itself down when the object goes, so that no camera stays open after the last Release.
    capture::CaptureContext context_;
};

} // namespace

HRESULT create_video_proc(IUnknown *outer, REFIID iid, void **out) noexcept
{
    if (!out) return E_POINTER;
    *out = nullptr;
    auto *object = new (std::nothrow) VideoProc(outer);
    if (!object) return E_OUTOFMEMORY;
    // At count 0 a refused interface leaves nothing holding the object.
    const HRESULT hr = object->own().QueryInterface(iid, out);
    if (FAILED(hr)) delete object;
    return hr;
}

} // namespace quilo::shell
