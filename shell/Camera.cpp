#include "shell/Camera.h"

#include <ocidl.h>
#include <new>
#include <string>

#include "QuiloCamera.h"
#include "capture/CameraSession.h"
#include "common/HResult.h"
#include "common/InterfaceTable.h"
#include "shell/AutomationValues.h"
#include "shell/Dispatch.h"
#include "shell/ClassInfo.h"
#include "shell/Module.h"

namespace quilo::shell {
namespace {

using capture::Choice;
using capture::Outcome;
using State = dshow::PropertyState;

class Camera final : public IQuiloCamera, public ISupportErrorInfo, public IProvideClassInfo
{
public:
    Camera() noexcept { lock_module(); }
    ~Camera() { unlock_module(); }
    Camera(const Camera &) = delete;
    Camera &operator=(const Camera &) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        return answer_query(iid, out,
                            {{&IID_IUnknown, static_cast<IQuiloCamera *>(this)},
                             {&IID_IDispatch, static_cast<IQuiloCamera *>(this)},
                             {&IID_IQuiloCamera, static_cast<IQuiloCamera *>(this)},
                             {&IID_ISupportErrorInfo, static_cast<ISupportErrorInfo *>(this)},
                             {&IID_IProvideClassInfo, static_cast<IProvideClassInfo *>(this)}});
    }
    // Plain counts: every call comes from the object's own apartment.
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG refs = --refs_;
        if (refs == 0) delete this;
        return static_cast<ULONG>(refs);
    }

    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override
    {
        return IsEqualIID(iid, IID_IQuiloCamera) ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo **info) override
    {
        return get_camera_type_info(CLSID_Camera, info);
    }

    // IDispatch through the embedded library's description of the interface.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override
    {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo **info) override
    {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        return get_camera_type_info(IID_IQuiloCamera, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR *names, UINT count, LCID, DISPID *ids) override
    {
        ComPtr<ITypeInfo> info;
        RETURN_IF_FAILED(get_camera_type_info(IID_IQuiloCamera, info.put()));
        return dispatch_ids(info.get(), iid, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS *params, VARIANT *result,
                                     EXCEPINFO *exception, UINT *badArgument) override
    {
        ComPtr<ITypeInfo> info;
        RETURN_IF_FAILED(get_camera_type_info(IID_IQuiloCamera, info.put()));
        return dispatch_invoke(static_cast<IQuiloCamera *>(this), info.get(), id, iid, flags, params, result,
                               exception, badArgument);
    }

    // Devices.
    HRESULT STDMETHODCALLTYPE get_DeviceCount(LONG *n) override
    {
        return out_call(n, [&](LONG &v) { return session_.deviceCount(v); });
    }
    HRESULT STDMETHODCALLTYPE DeviceName(LONG i, BSTR *s) override
    {
        return text_call(s, [&](std::wstring &t) { return session_.deviceName(i, t); });
    }
    HRESULT STDMETHODCALLTYPE DevicePath(LONG i, BSTR *s) override
    {
        return text_call(s, [&](std::wstring &t) { return session_.devicePath(i, t); });
    }

    // Formats.
    HRESULT STDMETHODCALLTYPE FormatCount(VARIANT device, LONG *n) override
    {
        return out_call(n, [&](LONG &v) {
            Choice choice;
            RETURN_IF_OUTCOME_FAILED(choice_of(device, choice));
            return session_.formatCount(choice, v);
        });
    }
    HRESULT STDMETHODCALLTYPE FormatWidth(VARIANT d, LONG i, LONG *v) override { return formatField(d, i, v, width); }
    HRESULT STDMETHODCALLTYPE FormatHeight(VARIANT d, LONG i, LONG *v) override { return formatField(d, i, v, height); }
    HRESULT STDMETHODCALLTYPE FormatMinRate(VARIANT d, LONG i, double *v) override { return formatField(d, i, v, low); }
    HRESULT STDMETHODCALLTYPE FormatMaxRate(VARIANT d, LONG i, double *v) override { return formatField(d, i, v, high); }
    HRESULT STDMETHODCALLTYPE FormatSubtype(VARIANT device, LONG index, BSTR *subtype) override
    {
        return text_call(subtype, [&](std::wstring &text) {
            dshow::StreamFormat format;
            RETURN_IF_OUTCOME_FAILED(readFormat(device, index, format));
            text = dshow::subtype_name(format.subtype);
            return Outcome();
        });
    }

    // The open device.
    HRESULT STDMETHODCALLTYPE Open(VARIANT device, LONG width, LONG height, VARIANT rate) override
    {
        clear_error();
        session_.close();
        Choice choice;
        double frameRate = 0;
        RETURN_IF_FAILED(answer(choice_of(device, choice)));
        RETURN_IF_FAILED(answer(rate_of(rate, frameRate)));
        return answer(session_.open(choice, width, height, frameRate));
    }
    HRESULT STDMETHODCALLTYPE Close() override
    {
        clear_error();
        session_.close();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_IsOpen(VARIANT_BOOL *b) override
    {
        return out_call(b, [&](VARIANT_BOOL &v) {
            v = variant_bool(session_.isOpen());
            return Outcome();
        });
    }
    HRESULT STDMETHODCALLTYPE get_Name(BSTR *s) override
    {
        return text_call(s, [&](std::wstring &t) { return session_.name(t); });
    }
    HRESULT STDMETHODCALLTYPE get_Path(BSTR *s) override
    {
        return text_call(s, [&](std::wstring &t) { return session_.path(t); });
    }

    // Frames.
    HRESULT STDMETHODCALLTYPE Grab(LONG timeoutMs) override
    {
        clear_error();
        return answer(session_.grab(timeoutMs));
    }
    HRESULT STDMETHODCALLTYPE get_Width(LONG *v) override { return frameField(v, [&] { return frame().width; }); }
    HRESULT STDMETHODCALLTYPE get_Height(LONG *v) override { return frameField(v, [&] { return frame().height; }); }
    HRESULT STDMETHODCALLTYPE get_FrameNumber(LONG *v) override { return frameField(v, [&] { return stamp().number; }); }
    HRESULT STDMETHODCALLTYPE get_StreamTime(double *v) override
    {
        return frameField(v, [&] { return stamp().streamTime; });
    }
    HRESULT STDMETHODCALLTYPE get_ArrivalTime(DATE *v) override
    {
        return frameField(v, [&] { return local_date(stamp().arrival); });
    }
    HRESULT STDMETHODCALLTYPE get_Pixels(VARIANT *bytes) override { return frame_bytes(session_, VT_UI1, bytes); }
    HRESULT STDMETHODCALLTYPE get_PixelArray(VARIANT *values) override
    {
        return frame_bytes(session_, VT_VARIANT, values);
    }
    HRESULT STDMETHODCALLTYPE Pixel(LONG x, LONG y, LONG *rgb) override
    {
        return out_call(rgb, [&](LONG &v) { return session_.pixel(x, y, v); });
    }
    HRESULT STDMETHODCALLTYPE SaveFrame(BSTR path) override
    {
        clear_error();
        return answer(session_.saveFrame(bstr_text(path)));
    }

    // Controls of the open device.
    HRESULT STDMETHODCALLTYPE get_ControlCount(LONG *n) override
    {
        return out_call(n, [&](LONG &v) { return session_.controlCount(v); });
    }
    HRESULT STDMETHODCALLTYPE ControlName(LONG i, BSTR *s) override
    {
        return text_call(s, [&](std::wstring &t) { return session_.controlName(i, t); });
    }
    HRESULT STDMETHODCALLTYPE ControlMin(BSTR n, LONG *v) override { return controlField(n, v, &State::minimum); }
    HRESULT STDMETHODCALLTYPE ControlMax(BSTR n, LONG *v) override { return controlField(n, v, &State::maximum); }
    HRESULT STDMETHODCALLTYPE ControlStep(BSTR n, LONG *v) override { return controlField(n, v, &State::step); }
    HRESULT STDMETHODCALLTYPE ControlDefault(BSTR n, LONG *v) override
    {
        return controlField(n, v, &State::defaultValue);
    }
    HRESULT STDMETHODCALLTYPE ControlValue(BSTR n, LONG *v) override { return controlField(n, v, &State::value); }
    HRESULT STDMETHODCALLTYPE ControlCanAuto(BSTR n, VARIANT_BOOL *b) override
    {
        return controlField(n, b, &State::canAuto);
    }
    HRESULT STDMETHODCALLTYPE ControlIsAuto(BSTR n, VARIANT_BOOL *b) override
    {
        return controlField(n, b, &State::isAuto);
    }
    HRESULT STDMETHODCALLTYPE SetControl(BSTR name, LONG value) override
    {
        clear_error();
        return answer(session_.setControl(bstr_text(name), value));
    }
    HRESULT STDMETHODCALLTYPE SetControlAuto(BSTR name) override
    {
        clear_error();
        return answer(session_.setControlAuto(bstr_text(name)));
    }

    // Analog capture hardware.
    HRESULT STDMETHODCALLTYPE get_InputCount(LONG *n) override
    {
        return out_call(n, [&](LONG &v) { return session_.inputCount(v); });
    }
    HRESULT STDMETHODCALLTYPE InputName(LONG i, BSTR *s) override
    {
        return text_call(s, [&](std::wstring &t) { return session_.inputName(i, t); });
    }
    HRESULT STDMETHODCALLTYPE get_Input(BSTR *s) override
    {
        return text_call(s, [&](std::wstring &t) { return session_.input(t); });
    }
    HRESULT STDMETHODCALLTYPE SelectInput(VARIANT which) override
    {
        clear_error();
        Choice choice;
        // A value that is neither a name nor a number names no input: the session says which there are.
        if (choice_of(which, choice).failed()) choice.index = -1;
        return answer(session_.selectInput(choice));
    }
    HRESULT STDMETHODCALLTYPE get_StandardCount(LONG *n) override
    {
        return out_call(n, [&](LONG &v) { return session_.standardCount(v); });
    }
    HRESULT STDMETHODCALLTYPE StandardName(LONG i, BSTR *s) override
    {
        return text_call(s, [&](std::wstring &t) { return session_.standardName(i, t); });
    }
    HRESULT STDMETHODCALLTYPE get_Standard(BSTR *s) override
    {
        return text_call(s, [&](std::wstring &t) { return session_.standard(t); });
    }
    HRESULT STDMETHODCALLTYPE SetStandard(BSTR name) override
    {
        clear_error();
        return answer(session_.setStandard(bstr_text(name)));
    }

private:
    const frame::PackedFrame &frame() const { return session_.frame(); }
    const capture::FrameStamp &stamp() const { return session_.stamp(); }
    static LONG width(const dshow::StreamFormat &f) { return f.width; }
    static LONG height(const dshow::StreamFormat &f) { return f.height; }
    static double low(const dshow::StreamFormat &f) { return f.minRate; }
    static double high(const dshow::StreamFormat &f) { return f.maxRate; }

    Outcome readFormat(const VARIANT &device, LONG index, dshow::StreamFormat &format)
    {
        Choice choice;
        RETURN_IF_OUTCOME_FAILED(choice_of(device, choice));
        return session_.format(choice, index, format);
    }
    template <class T, class Field> HRESULT formatField(const VARIANT &device, LONG index, T *out, Field field)
    {
        return out_call(out, [&](T &v) {
            dshow::StreamFormat format;
            RETURN_IF_OUTCOME_FAILED(readFormat(device, index, format));
            v = field(format);
            return Outcome();
        });
    }
    template <class T, class Value> HRESULT frameField(T *out, Value value)
    {
        return out_call(out, [&](T &v) {
            RETURN_IF_OUTCOME_FAILED(session_.needFrame());
            v = static_cast<T>(value());
            return Outcome();
        });
    }
    static void put(LONG &out, LONG value) { out = value; }
    static void put(VARIANT_BOOL &out, bool value) { out = variant_bool(value); }
    template <class T, class Field> HRESULT controlField(BSTR name, T *out, Field State::*field)
    {
        return out_call(out, [&](T &v) {
            State state;
            RETURN_IF_OUTCOME_FAILED(session_.control(bstr_text(name), state));
            put(v, state.*field);
            return Outcome();
        });
    }

    LONG refs_ = 0;
    capture::CameraSession session_;
};

} // namespace

HRESULT create_camera(IUnknown *outer, REFIID iid, void **out) noexcept
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto *object = new (std::nothrow) Camera();
    if (!object) return E_OUTOFMEMORY;
    object->AddRef();
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}

} // namespace quilo::shell
