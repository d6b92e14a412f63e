#include "shell/Camera.h"

#include <ocidl.h>
#include <vfwmsgs.h>
#include <cmath>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "QuiloCamera.h"
#include "capture/CaptureContext.h"
#include "dshow/CrossbarRouting.h"
#include "capture/DecoderStandard.h"
#include "dshow/DeviceProperties.h"
#include "dshow/StreamFormats.h"
#include "common/DeviceList.h"
#include "common/HResult.h"
#include "common/ImageFiles.h"
#include "common/InterfaceTable.h"
#include "common/Variant.h"
#include "dshow/VideoFormat.h"
#include "dshow/PinSearch.h"
#include "shell/AutomationError.h"
#include "shell/ClassInfo.h"
#include "shell/Module.h"

namespace quilo::shell {
namespace {

constexpr LONG kDefaultTimeoutMs = 8000;
constexpr LONG kMaxTimeoutMs = 24 * 60 * 60 * 1000;
// PixelArray's limit, the same on both builds: the most VARIANTs of the 64-bit build (24 bytes
// each) whose block size still fits the 32 bits the platform's array functions count it in.
// Beyond it the platform would wrap the size and hand out a block far too small.
constexpr size_t kMaxPixelArrayValues = 0xFFFFFFFFu / 24;

std::wstring quoted(const std::wstring &text) { return L"'" + text + L"'"; }

// All of a BSTR, embedded NULs included (null is the empty string).
std::wstring bstr_text(BSTR text) { return text ? std::wstring(text, SysStringLen(text)) : std::wstring(); }

// DISP_E_BADPARAMCOUNT when a call passes more arguments than the member `id` takes.
HRESULT check_argument_count(ITypeInfo *info, DISPID id, WORD flags, const DISPPARAMS *params)
{
    if (!params) return S_OK;
    TYPEATTR *attributes = nullptr;
    RETURN_IF_FAILED(info->GetTypeAttr(&attributes));
    const WORD functions = attributes->cFuncs;
    info->ReleaseTypeAttr(attributes);
    for (WORD i = 0; i < functions; ++i) {
        FUNCDESC *function = nullptr;
        if (FAILED(info->GetFuncDesc(i, &function))) continue;
        UINT takes = 0;
        const bool member = function->memid == id && (function->invkind & flags) != 0;
        for (SHORT p = 0; member && p < function->cParams; ++p)
            if (!(function->lprgelemdescParam[p].paramdesc.wParamFlags & PARAMFLAG_FRETVAL)) ++takes;
        info->ReleaseFuncDesc(function);
        if (member) return params->cArgs > takes ? DISP_E_BADPARAMCOUNT : S_OK;
    }
    return S_OK; // an unknown member is the platform's to refuse
}

std::wstring number_text(double value)
{
    char text[32];
    const int length = snprintf(text, sizeof(text), "%g", value);
    return std::wstring(text, text + (length > 0 ? length : 0));
}

std::wstring device_names(const std::vector<VideoDevice> &devices)
{
    if (devices.empty()) return L"none";
    std::wstring text;
    for (const auto &device : devices) text += (text.empty() ? L"" : L", ") + quoted(device.wideName);
    return text;
}

std::wstring format_text(const dshow::StreamFormat &format)
{
    std::wstring rate = number_text(format.maxRate);
    if (format.minRate != format.maxRate) rate = number_text(format.minRate) + L"-" + rate;
    return std::to_wstring(format.width) + L"x" + std::to_wstring(format.height) + L" " +
           dshow::subtype_name(format.subtype) + L" at " + rate + L" fps";
}

HRESULT put_bstr(const std::wstring &text, BSTR *out)
{
    if (!out) return E_POINTER;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

// 100 ns ticks between 1601-01-01 (FILETIME) and 1899-12-30 (DATE's day 0).
constexpr double kDateEpochDays = 109205.0;
constexpr double kTicksPerDay = 864000000000.0;

DATE local_date(const FILETIME &utc)
{
    FILETIME local = {};
    if (!FileTimeToLocalFileTime(&utc, &local)) local = utc;
    const ULONGLONG ticks = (static_cast<ULONGLONG>(local.dwHighDateTime) << 32) | local.dwLowDateTime;
    return static_cast<double>(ticks) / kTicksPerDay - kDateEpochDays;
}

// A name or path rather than a position: scripts pass strings by value or by reference.
bool is_text(const VARIANT &value)
{
    const VARIANT *v = &value;
    if (V_VT(v) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(v)) v = V_VARIANTREF(v);
    return (V_VT(v) & ~VT_BYREF) == VT_BSTR;
}

// An omitted frame rate (VT_ERROR, as automation passes a missing optional argument) is 0.
HRESULT read_rate(const VARIANT &rate, double &frameRate)
{
    frameRate = 0;
    if (V_VT(&rate) == VT_ERROR || V_VT(&rate) == VT_EMPTY) return S_OK;
    UniqueVariant number;
    if (FAILED(VariantChangeType(number.get(), const_cast<VARIANT *>(&rate), 0, VT_R8)))
        return raise_error(DISP_E_TYPEMISMATCH, L"the frame rate must be a number of frames per second");
    frameRate = V_R8(number.get());
    return S_OK;
}

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
        if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        ComPtr<ITypeInfo> info;
        RETURN_IF_FAILED(get_camera_type_info(IID_IQuiloCamera, info.put()));
        return DispGetIDsOfNames(info.get(), names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS *params, VARIANT *result,
                                     EXCEPINFO *exception, UINT *badArgument) override
    {
        if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        ComPtr<ITypeInfo> info;
        RETURN_IF_FAILED(get_camera_type_info(IID_IQuiloCamera, info.put()));
        clear_error();
        // The platform's Invoke drops arguments beyond a member's last parameter.
        RETURN_IF_FAILED(check_argument_count(info.get(), id, flags, params));
        return DispInvoke(static_cast<IQuiloCamera *>(this), info.get(), id, flags, params, result, exception,
                          badArgument);
    }

    // Devices.
    HRESULT STDMETHODCALLTYPE get_DeviceCount(LONG *count) override
    {
        clear_error();
        if (!count) return E_POINTER;
        *count = 0;
        std::vector<VideoDevice> devices;
        RETURN_IF_FAILED(listDevices(devices));
        *count = static_cast<LONG>(devices.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DeviceName(LONG position, BSTR *name) override
    {
        clear_error();
        if (!name) return E_POINTER;
        *name = nullptr;
        VideoDevice device;
        RETURN_IF_FAILED(deviceAt(position, device));
        return put_bstr(device.wideName, name);
    }
    HRESULT STDMETHODCALLTYPE DevicePath(LONG position, BSTR *path) override
    {
        clear_error();
        if (!path) return E_POINTER;
        *path = nullptr;
        VideoDevice device;
        RETURN_IF_FAILED(deviceAt(position, device));
        return put_bstr(device.path, path);
    }

    // Formats.
    HRESULT STDMETHODCALLTYPE FormatCount(VARIANT device, LONG *count) override
    {
        clear_error();
        if (!count) return E_POINTER;
        *count = 0;
        RETURN_IF_FAILED(readFormats(device, /*fresh=*/true));
        *count = static_cast<LONG>(formats_.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE FormatWidth(VARIANT device, LONG index, LONG *width) override
    {
        clear_error();
        return formatField(device, index, width, [](const dshow::StreamFormat &f) { return f.width; });
    }
    HRESULT STDMETHODCALLTYPE FormatHeight(VARIANT device, LONG index, LONG *height) override
    {
        clear_error();
        return formatField(device, index, height, [](const dshow::StreamFormat &f) { return f.height; });
    }
    HRESULT STDMETHODCALLTYPE FormatMinRate(VARIANT device, LONG index, double *rate) override
    {
        clear_error();
        return formatField(device, index, rate, [](const dshow::StreamFormat &f) { return f.minRate; });
    }
    HRESULT STDMETHODCALLTYPE FormatMaxRate(VARIANT device, LONG index, double *rate) override
    {
        clear_error();
        return formatField(device, index, rate, [](const dshow::StreamFormat &f) { return f.maxRate; });
    }
    HRESULT STDMETHODCALLTYPE FormatSubtype(VARIANT device, LONG index, BSTR *subtype) override
    {
        clear_error();
        if (!subtype) return E_POINTER;
        *subtype = nullptr;
        const dshow::StreamFormat *format = nullptr;
        RETURN_IF_FAILED(formatAt(device, index, format));
        return put_bstr(dshow::subtype_name(format->subtype), subtype);
    }

    // The open device.
    HRESULT STDMETHODCALLTYPE Open(VARIANT device, LONG width, LONG height, VARIANT rate) override
    {
        clear_error();
        Close();
        VideoDevice found;
        RETURN_IF_FAILED(resolve(device, found));
        double frameRate = 0;
        RETURN_IF_FAILED(read_rate(rate, frameRate));
        if ((width != 0 || height != 0 || frameRate != 0) &&
            (width < 1 || height < 1 || width > kMaxFrameSide || height > kMaxFrameSide || !(frameRate >= 0) ||
             frameRate > 1000))
            return raise_error(E_INVALIDARG, L"a format needs a width and a height of 1 to " +
                                                 std::to_wstring(kMaxFrameSide) +
                                                 L" pixels, and a frame rate of 0 (the format's own) to 1000 "
                                                 L"frames per second; asked for " +
                                                 std::to_wstring(width) + L"x" + std::to_wstring(height) + L" at " +
                                                 number_text(frameRate) + L" fps");
        capture::CameraRequest request;
        request.position = found.position;
        request.width = width;
        request.height = height;
        request.frameRate = frameRate;
        const HRESULT hr = context_.openCamera(request);
        if (FAILED(hr)) return openFailed(hr, found, request);
        open_ = true;
        device_ = found;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Close() override
    {
        clear_error();
        // Nothing of the device is held afterwards, so other programs can open it. The last
        // frame stays readable: it is the host's copy, not the device's.
        context_.close();
        open_ = false;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_IsOpen(VARIANT_BOOL *open) override
    {
        clear_error();
        if (!open) return E_POINTER;
        *open = open_ ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Name(BSTR *name) override
    {
        clear_error();
        if (!name) return E_POINTER;
        *name = nullptr;
        RETURN_IF_FAILED(needOpen());
        return put_bstr(device_.wideName, name);
    }
    HRESULT STDMETHODCALLTYPE get_Path(BSTR *path) override
    {
        clear_error();
        if (!path) return E_POINTER;
        *path = nullptr;
        RETURN_IF_FAILED(needOpen());
        return put_bstr(device_.path, path);
    }

    // Frames.
    HRESULT STDMETHODCALLTYPE Grab(LONG timeoutMs) override
    {
        clear_error();
        RETURN_IF_FAILED(needOpen());
        // 0 could never see a frame arrive after the call; the upper bound keeps a typo from
        // blocking the host for weeks.
        if (timeoutMs < 1 || timeoutMs > kMaxTimeoutMs)
            return raise_error(E_INVALIDARG, L"the time-out must be 1 to " + std::to_wstring(kMaxTimeoutMs) +
                                                 L" milliseconds (24 hours), not " + std::to_wstring(timeoutMs) +
                                                 L"; leave it out for " + std::to_wstring(kDefaultTimeoutMs));
        QuiloImageStruct record = {};
        capture::FrameStamp stamp;
        const HRESULT hr = context_.grab(static_cast<DWORD>(timeoutMs), record, stamp);
        if (hr == VFW_E_TIMEOUT)
            return raise_error(hr, L"no frame arrived from " + quoted(device_.wideName) + L" within " +
                                       std::to_wstring(timeoutMs) + L" ms");
        if (FAILED(hr))
            return raise_error(hr, L"grabbing a frame from " + quoted(device_.wideName) + L" failed (" +
                                       describe_hresult(hr) + L")");
        return keep(record, stamp);
    }
    HRESULT STDMETHODCALLTYPE get_Width(LONG *width) override { return frameField(width, width_); }
    HRESULT STDMETHODCALLTYPE get_Height(LONG *height) override { return frameField(height, height_); }
    HRESULT STDMETHODCALLTYPE get_FrameNumber(LONG *number) override { return frameField(number, stamp_.number); }
    HRESULT STDMETHODCALLTYPE get_StreamTime(double *seconds) override
    {
        clear_error();
        return frameField(seconds, stamp_.streamTime);
    }
    HRESULT STDMETHODCALLTYPE get_ArrivalTime(DATE *time) override
    {
        clear_error();
        return frameField(time, local_date(stamp_.arrival));
    }
    HRESULT STDMETHODCALLTYPE get_Pixels(VARIANT *bytes) override
    {
        clear_error();
        if (!bytes) return E_POINTER;
        VariantInit(bytes);
        RETURN_IF_FAILED(needFrame());
        SAFEARRAY *array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(pixels_.size()));
        if (!array) return raise_error(E_OUTOFMEMORY, L"there is not enough memory for the frame's bytes");
        void *data = nullptr;
        const HRESULT hr = SafeArrayAccessData(array, &data);
        if (FAILED(hr)) {
            ignore_result(SafeArrayDestroy(array), "the array is not handed out");
            return raise_error(hr, L"the frame's bytes cannot be written into the array (" + describe_hresult(hr) + L")");
        }
        memcpy(data, pixels_.data(), pixels_.size());
        ignore_result(SafeArrayUnaccessData(array), "the array was locked just before");
        V_VT(bytes) = VT_ARRAY | VT_UI1;
        V_ARRAY(bytes) = array;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_PixelArray(VARIANT *values) override
    {
        clear_error();
        if (!values) return E_POINTER;
        VariantInit(values);
        RETURN_IF_FAILED(needFrame());
        if (pixels_.size() > kMaxPixelArrayValues)
            return raise_error(E_OUTOFMEMORY, L"the " + std::to_wstring(width_) + L"x" + std::to_wstring(height_) +
                                                  L" frame has " + std::to_wstring(pixels_.size()) +
                                                  L" values, more than an array of variants can hold (" +
                                                  std::to_wstring(kMaxPixelArrayValues) + L"); use Pixels");
        SAFEARRAY *array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(pixels_.size()));
        if (!array) return raise_error(E_OUTOFMEMORY, L"there is not enough memory for the frame's values");
        VARIANT *data = nullptr;
        const HRESULT hr = SafeArrayAccessData(array, reinterpret_cast<void **>(&data));
        if (FAILED(hr)) {
            ignore_result(SafeArrayDestroy(array), "the array is not handed out");
            return raise_error(hr, L"the frame's values cannot be written into the array (" + describe_hresult(hr) +
                                       L")");
        }
        for (size_t i = 0; i < pixels_.size(); ++i) {
            V_VT(&data[i]) = VT_UI1;
            V_UI1(&data[i]) = pixels_[i];
        }
        ignore_result(SafeArrayUnaccessData(array), "the array was locked just before");
        V_VT(values) = VT_ARRAY | VT_VARIANT;
        V_ARRAY(values) = array;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Pixel(LONG x, LONG y, LONG *rgb) override
    {
        clear_error();
        if (!rgb) return E_POINTER;
        *rgb = 0;
        RETURN_IF_FAILED(needFrame());
        if (x < 0 || y < 0 || x >= width_ || y >= height_)
            return raise_error(E_INVALIDARG, L"pixel (" + std::to_wstring(x) + L", " + std::to_wstring(y) +
                                                 L") is outside the " + std::to_wstring(width_) + L"x" +
                                                 std::to_wstring(height_) + L" frame");
        const unsigned char *p = &pixels_[(static_cast<size_t>(y) * width_ + x) * 3];
        *rgb = (static_cast<LONG>(p[2]) << 16) | (static_cast<LONG>(p[1]) << 8) | p[0];
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SaveFrame(BSTR path) override
    {
        clear_error();
        RETURN_IF_FAILED(needFrame());
        const std::wstring target = bstr_text(path);
        // Cut at a NUL, the name would be another file's.
        if (target.find(L'\0') != std::wstring::npos)
            return raise_error(E_INVALIDARG, L"a file name cannot hold a NUL character");
        if (!is_image_file_name(target))
            return raise_error(E_INVALIDARG, L"cannot save the frame as " + quoted(target) +
                                                 L": the file name must end in .png, .bmp, .jpg or .jpeg");
        FrameView view;
        view.pixels = pixels_.data();
        view.width = width_;
        view.height = height_;
        view.stride = static_cast<long>(width_) * 3;
        view.topRowFirst = true;
        const HRESULT hr = write_image_file(target, view);
        if (FAILED(hr))
            return raise_error(hr, L"saving the frame as " + quoted(target) + L" failed (" + describe_hresult(hr) +
                                       L")");
        return S_OK;
    }

    // Controls of the open device.
    HRESULT STDMETHODCALLTYPE get_ControlCount(LONG *count) override
    {
        clear_error();
        if (!count) return E_POINTER;
        *count = 0;
        RETURN_IF_FAILED(needOpen());
        *count = static_cast<LONG>(supportedControls().size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ControlName(LONG index, BSTR *name) override
    {
        clear_error();
        if (!name) return E_POINTER;
        *name = nullptr;
        RETURN_IF_FAILED(needOpen());
        const auto supported = supportedControls();
        if (index < 0 || static_cast<size_t>(index) >= supported.size())
            return raise_error(E_INVALIDARG, L"there is no control " + std::to_wstring(index) + L"; " +
                                                 quoted(device_.wideName) + L" has " +
                                                 std::to_wstring(supported.size()));
        return put_bstr(supported[static_cast<size_t>(index)]->name, name);
    }
    HRESULT STDMETHODCALLTYPE ControlMin(BSTR name, LONG *v) override { return controlField(name, v, &State::minimum); }
    HRESULT STDMETHODCALLTYPE ControlMax(BSTR name, LONG *v) override { return controlField(name, v, &State::maximum); }
    HRESULT STDMETHODCALLTYPE ControlStep(BSTR name, LONG *v) override { return controlField(name, v, &State::step); }
    HRESULT STDMETHODCALLTYPE ControlDefault(BSTR name, LONG *v) override
    {
        clear_error();
        return controlField(name, v, &State::defaultValue);
    }
    HRESULT STDMETHODCALLTYPE ControlValue(BSTR name, LONG *v) override { return controlField(name, v, &State::value); }
    HRESULT STDMETHODCALLTYPE ControlCanAuto(BSTR name, VARIANT_BOOL *b) override
    {
        clear_error();
        return controlFlag(name, b, &State::canAuto);
    }
    HRESULT STDMETHODCALLTYPE ControlIsAuto(BSTR name, VARIANT_BOOL *b) override
    {
        clear_error();
        return controlFlag(name, b, &State::isAuto);
    }
    HRESULT STDMETHODCALLTYPE SetControl(BSTR name, LONG value) override
    {
        clear_error();
        const dshow::DeviceProperty *property = nullptr;
        State state;
        RETURN_IF_FAILED(readControl(name, property, state));
        const bool stepped = state.step <= 0 || (static_cast<long long>(value) - state.minimum) % state.step == 0;
        if (value < state.minimum || value > state.maximum || !stepped)
            return raise_error(E_INVALIDARG, std::wstring(property->name) + L" takes " + range_text(state) + L"; " +
                                                 std::to_wstring(value) + L" is not one of them");
        const HRESULT hr = dshow::write_property(context_.procAmp(), context_.cameraControl(), *property, value,
                                                   false);
        if (FAILED(hr))
            return raise_error(hr, quoted(device_.wideName) + L" refused " + property->name + L" = " +
                                       std::to_wstring(value) + L" (" + describe_hresult(hr) + L")");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetControlAuto(BSTR name) override
    {
        clear_error();
        const dshow::DeviceProperty *property = nullptr;
        State state;
        RETURN_IF_FAILED(readControl(name, property, state));
        if (!state.canAuto)
            return raise_error(E_INVALIDARG, quoted(device_.wideName) + L" has no automatic mode for " +
                                                 property->name);
        const HRESULT hr = dshow::write_property(context_.procAmp(), context_.cameraControl(), *property,
                                                   state.value, true);
        if (FAILED(hr))
            return raise_error(hr, quoted(device_.wideName) + L" refused automatic " + property->name + L" (" +
                                       describe_hresult(hr) + L")");
        return S_OK;
    }

    // Analog capture hardware.
    HRESULT STDMETHODCALLTYPE get_InputCount(LONG *count) override
    {
        clear_error();
        if (!count) return E_POINTER;
        *count = 0;
        std::vector<dshow::CrossbarInput> inputs;
        RETURN_IF_FAILED(readInputs(inputs, /*needCrossbar=*/false));
        *count = static_cast<LONG>(inputs.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE InputName(LONG index, BSTR *name) override
    {
        clear_error();
        if (!name) return E_POINTER;
        *name = nullptr;
        std::vector<dshow::CrossbarInput> inputs;
        RETURN_IF_FAILED(readInputs(inputs, true));
        if (index < 0 || static_cast<size_t>(index) >= inputs.size())
            return raise_error(E_INVALIDARG, L"there is no video input " + std::to_wstring(index) + L"; inputs: " +
                                                 input_names(inputs));
        return put_bstr(input_name(inputs[static_cast<size_t>(index)]), name);
    }
    HRESULT STDMETHODCALLTYPE get_Input(BSTR *name) override
    {
        clear_error();
        if (!name) return E_POINTER;
        *name = nullptr;
        std::vector<dshow::CrossbarInput> inputs;
        RETURN_IF_FAILED(readInputs(inputs, true));
        LONG routed = -1;
        const HRESULT hr = dshow::routed_video_input(context_.crossbar(), routed);
        if (FAILED(hr)) return raise_error(hr, L"the crossbar's routing cannot be read (" + describe_hresult(hr) + L")");
        for (const auto &input : inputs)
            if (input.index == routed) return put_bstr(input_name(input), name);
        return put_bstr(L"", name);
    }
    HRESULT STDMETHODCALLTYPE SelectInput(VARIANT which) override
    {
        clear_error();
        std::vector<dshow::CrossbarInput> inputs;
        RETURN_IF_FAILED(readInputs(inputs, true));
        const dshow::CrossbarInput *chosen = nullptr;
        UniqueVariant value;
        if (is_text(which)) {
            if (SUCCEEDED(VariantChangeType(value.get(), &which, 0, VT_BSTR)))
                for (const auto &input : inputs)
                    if (lstrcmpiW(input_name(input).c_str(), V_BSTR(value.get()) ? V_BSTR(value.get()) : L"") == 0)
                        chosen = &input;
        } else if (SUCCEEDED(VariantChangeType(value.get(), &which, 0, VT_I4)) && V_I4(value.get()) >= 0 &&
                   static_cast<size_t>(V_I4(value.get())) < inputs.size()) {
            chosen = &inputs[static_cast<size_t>(V_I4(value.get()))];
        }
        if (!chosen)
            return raise_error(E_INVALIDARG, quoted(device_.wideName) + L" has no such video input; inputs: " +
                                                 input_names(inputs));
        const HRESULT hr = dshow::route_video_input(context_.crossbar(), chosen->index);
        if (FAILED(hr))
            return raise_error(hr, L"the crossbar refused to route " + input_name(*chosen) + L" (" +
                                       describe_hresult(hr) + L")");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_StandardCount(LONG *count) override
    {
        clear_error();
        if (!count) return E_POINTER;
        *count = 0;
        std::vector<const char *> names;
        RETURN_IF_FAILED(readStandards(names, /*needDecoder=*/false));
        *count = static_cast<LONG>(names.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE StandardName(LONG index, BSTR *name) override
    {
        clear_error();
        if (!name) return E_POINTER;
        *name = nullptr;
        std::vector<const char *> names;
        RETURN_IF_FAILED(readStandards(names, true));
        if (index < 0 || static_cast<size_t>(index) >= names.size())
            return raise_error(E_INVALIDARG, L"there is no standard " + std::to_wstring(index) + L"; standards: " +
                                                 standard_names(names));
        return put_bstr(widen_ascii(names[static_cast<size_t>(index)]), name);
    }
    HRESULT STDMETHODCALLTYPE get_Standard(BSTR *name) override
    {
        clear_error();
        if (!name) return E_POINTER;
        *name = nullptr;
        std::vector<const char *> names;
        RETURN_IF_FAILED(readStandards(names, true));
        unsigned char text[11] = {};
        const HRESULT hr = capture::get_video_standard(context_.videoDecoder(), text);
        if (FAILED(hr)) return raise_error(hr, L"the decoder's standard cannot be read (" + describe_hresult(hr) + L")");
        return put_bstr(widen_ascii(reinterpret_cast<const char *>(text)), name);
    }
    HRESULT STDMETHODCALLTYPE SetStandard(BSTR name) override
    {
        clear_error();
        std::vector<const char *> names;
        RETURN_IF_FAILED(readStandards(names, true));
        const std::wstring wanted = name ? name : L"";
        for (const char *offered : names) {
            if (widen_ascii(offered) != wanted) continue;
            const HRESULT hr =
                capture::set_video_standard(context_.videoDecoder(), reinterpret_cast<const unsigned char *>(offered));
            if (FAILED(hr))
                return raise_error(hr, L"the decoder refused " + wanted + L" (" + describe_hresult(hr) + L")");
            return S_OK;
        }
        return raise_error(E_INVALIDARG, quoted(device_.wideName) + L" does not offer the standard " + quoted(wanted) +
                                             L"; standards: " + standard_names(names));
    }

private:
    using State = dshow::PropertyState;

    static std::wstring widen_ascii(const char *text) { return std::wstring(text, text + strlen(text)); }

    static std::wstring input_name(const dshow::CrossbarInput &input)
    {
        const wchar_t *name = dshow::video_input_name(input.physicalType);
        return name ? name : L"Input " + std::to_wstring(input.index);
    }
    static std::wstring input_names(const std::vector<dshow::CrossbarInput> &inputs)
    {
        std::wstring text;
        for (const auto &input : inputs) text += (text.empty() ? L"" : L", ") + input_name(input);
        return text.empty() ? L"none" : text;
    }
    static std::wstring standard_names(const std::vector<const char *> &names)
    {
        std::wstring text;
        for (const char *name : names) text += (text.empty() ? L"" : L", ") + widen_ascii(name);
        return text.empty() ? L"none" : text;
    }

    HRESULT readInputs(std::vector<dshow::CrossbarInput> &inputs, bool needCrossbar)
    {
        inputs.clear();
        RETURN_IF_FAILED(needOpen());
        if (!context_.crossbar()) {
            if (!needCrossbar) return S_OK;
            return raise_error(E_NOINTERFACE, quoted(device_.wideName) + L" has no crossbar: it has no inputs to choose");
        }
        const HRESULT hr = dshow::list_video_inputs(context_.crossbar(), inputs);
        if (FAILED(hr)) return raise_error(hr, L"the crossbar's inputs cannot be read (" + describe_hresult(hr) + L")");
        return S_OK;
    }

    HRESULT readStandards(std::vector<const char *> &names, bool needDecoder)
    {
        names.clear();
        RETURN_IF_FAILED(needOpen());
        if (!context_.videoDecoder()) {
            if (!needDecoder) return S_OK;
            return raise_error(E_NOINTERFACE, quoted(device_.wideName) + L" has no analog video decoder");
        }
        const HRESULT hr = capture::available_video_standards(context_.videoDecoder(), names);
        if (FAILED(hr))
            return raise_error(hr, L"the decoder's standards cannot be read (" + describe_hresult(hr) + L")");
        return S_OK;
    }

    static std::wstring range_text(const State &state)
    {
        return L"values from " + std::to_wstring(state.minimum) + L" to " + std::to_wstring(state.maximum) +
               L" in steps of " + std::to_wstring(state.step);
    }

    std::vector<const dshow::DeviceProperty *> supportedControls()
    {
        std::vector<const dshow::DeviceProperty *> supported;
        for (const auto &property : dshow::device_properties()) {
            State state;
            if (SUCCEEDED(dshow::read_property(context_.procAmp(), context_.cameraControl(), property, state)))
                supported.push_back(&property);
        }
        return supported;
    }

    HRESULT readControl(BSTR name, const dshow::DeviceProperty *&property, State &state)
    {
        RETURN_IF_FAILED(needOpen());
        property = dshow::find_device_property(name);
        if (!property) {
            std::wstring all;
            for (const auto &p : dshow::device_properties()) all += (all.empty() ? L"" : L", ") + std::wstring(p.name);
            return raise_error(E_INVALIDARG, L"there is no control named " + quoted(name ? name : L"") +
                                                 L"; controls: " + all);
        }
        const HRESULT hr = dshow::read_property(context_.procAmp(), context_.cameraControl(), *property, state);
        if (FAILED(hr)) {
            std::wstring has;
            for (const auto *p : supportedControls()) has += (has.empty() ? L"" : L", ") + std::wstring(p->name);
            return raise_error(hr, quoted(device_.wideName) + L" has no " + property->name + L" control; it has " +
                                       (has.empty() ? std::wstring(L"none") : has));
        }
        return S_OK;
    }

    HRESULT controlField(BSTR name, LONG *out, LONG State::*field)
    {
        clear_error(); // the methods that hand off here start afresh too
        if (!out) return E_POINTER;
        *out = 0;
        const dshow::DeviceProperty *property = nullptr;
        State state;
        RETURN_IF_FAILED(readControl(name, property, state));
        *out = state.*field;
        return S_OK;
    }

    HRESULT controlFlag(BSTR name, VARIANT_BOOL *out, bool State::*field)
    {
        clear_error();
        if (!out) return E_POINTER;
        *out = VARIANT_FALSE;
        const dshow::DeviceProperty *property = nullptr;
        State state;
        RETURN_IF_FAILED(readControl(name, property, state));
        *out = state.*field ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }

    HRESULT listDevices(std::vector<VideoDevice> &devices)
    {
        const HRESULT hr = list_video_devices(devices);
        if (FAILED(hr))
            return raise_error(hr, L"the video input devices cannot be listed (" + describe_hresult(hr) + L")");
        return S_OK;
    }

    HRESULT deviceAt(LONG position, VideoDevice &device)
    {
        std::vector<VideoDevice> devices;
        RETURN_IF_FAILED(listDevices(devices));
        if (position < 0 || static_cast<size_t>(position) >= devices.size())
            return raise_error(E_INVALIDARG, L"no video input device is at position " + std::to_wstring(position) +
                                                 L"; devices: " + device_names(devices));
        device = devices[static_cast<size_t>(position)];
        return S_OK;
    }

    // A position (any number), an exact friendly name, or a device path.
    HRESULT resolve(const VARIANT &which, VideoDevice &device)
    {
        const VARIANT *value = &which;
        if (V_VT(value) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(value)) value = V_VARIANTREF(value);
        UniqueVariant text;
        if (!is_text(*value)) {
            UniqueVariant number;
            if (FAILED(VariantChangeType(number.get(), const_cast<VARIANT *>(value), 0, VT_I4)))
                return raise_error(DISP_E_TYPEMISMATCH,
                                   L"a device is given by its position, its name or its device path");
            return deviceAt(V_I4(number.get()), device);
        }
        RETURN_IF_FAILED(VariantCopyInd(text.get(), const_cast<VARIANT *>(value)));
        const std::wstring wanted = bstr_text(V_BSTR(text.get()));
        // A name cut at a NUL would open another device.
        if (wanted.find(L'\0') != std::wstring::npos)
            return raise_error(E_INVALIDARG, L"a device name or path cannot hold a NUL character");
        std::vector<VideoDevice> devices;
        RETURN_IF_FAILED(listDevices(devices));
        std::vector<const VideoDevice *> named;
        for (const auto &d : devices)
            if (d.hasName && d.wideName == wanted) named.push_back(&d);
        if (named.size() > 1) {
            std::wstring positions;
            for (const auto *d : named) positions += (positions.empty() ? L"" : L", ") + std::to_wstring(d->position);
            return raise_error(E_INVALIDARG, L"more than one video input device is named " + quoted(wanted) +
                                                 L" (positions " + positions +
                                                 L"); open one by its position or its device path");
        }
        if (named.size() == 1) {
            device = *named.front();
            return S_OK;
        }
        for (const auto &d : devices)
            if (!d.path.empty() && lstrcmpiW(d.path.c_str(), wanted.c_str()) == 0) {
                device = d;
                return S_OK;
            }
        return raise_error(E_INVALIDARG, L"no video input device is named " + quoted(wanted) + L"; devices: " +
                                             device_names(devices));
    }

    // The formats of a device's capture pin, read once per FormatCount and kept for the
    // per-format reads that follow it for the same device.
    HRESULT readFormats(const VARIANT &which, bool fresh)
    {
        VideoDevice device;
        RETURN_IF_FAILED(resolve(which, device));
        if (!fresh && formatsRead_ && formatsOf_ == device.position) return S_OK;
        formatsRead_ = false;
        std::vector<dshow::StreamFormat> formats;
        const HRESULT hr = listFormats(device.position, formats);
        if (FAILED(hr))
            return raise_error(hr, L"the formats of " + quoted(device.wideName) + L" cannot be read (" +
                                       describe_hresult(hr) + L")");
        formats_ = std::move(formats);
        formatsOf_ = device.position;
        formatsRead_ = true;
        return S_OK;
    }

    static HRESULT listFormats(LONG position, std::vector<dshow::StreamFormat> &formats)
    {
        ComPtr<IBaseFilter> filter;
        RETURN_IF_FAILED(bind_video_device(position, filter));
        return dshow::list_stream_formats(dshow::findCapturePin(filter.get()).get(), formats);
    }

    HRESULT formatAt(const VARIANT &which, LONG index, const dshow::StreamFormat *&format)
    {
        RETURN_IF_FAILED(readFormats(which, /*fresh=*/false));
        if (index < 0 || static_cast<size_t>(index) >= formats_.size())
            return raise_error(E_INVALIDARG, L"there is no format " + std::to_wstring(index) + L"; the device offers " +
                                                 std::to_wstring(formats_.size()) + L" (0 to " +
                                                 std::to_wstring(static_cast<long>(formats_.size()) - 1) + L")");
        format = &formats_[static_cast<size_t>(index)];
        return S_OK;
    }

    template <class T, class Field> HRESULT formatField(const VARIANT &which, LONG index, T *out, Field field)
    {
        clear_error();
        if (!out) return E_POINTER;
        *out = 0;
        const dshow::StreamFormat *format = nullptr;
        RETURN_IF_FAILED(formatAt(which, index, format));
        *out = field(*format);
        return S_OK;
    }

    HRESULT openFailed(HRESULT hr, const VideoDevice &device, const capture::CameraRequest &request)
    {
        const std::wstring name = quoted(device.wideName);
        if (hr != VFW_E_INVALIDMEDIATYPE || request.width == 0)
            return raise_error(hr, L"opening " + name + L" failed (" + describe_hresult(hr) + L")");
        std::wstring asked = std::to_wstring(request.width) + L"x" + std::to_wstring(request.height);
        if (request.frameRate > 0) asked += L" at " + number_text(request.frameRate) + L" fps";
        std::vector<dshow::StreamFormat> formats;
        std::wstring offered;
        if (SUCCEEDED(listFormats(device.position, formats)))
            for (const auto &f : formats) offered += (offered.empty() ? L"" : L", ") + format_text(f);
        return raise_error(hr, name + L" does not offer " + asked + L"; it offers " +
                                   (offered.empty() ? std::wstring(L"no format it lists") : offered));
    }

    HRESULT needOpen()
    {
        return open_ ? S_OK : raise_error(VFW_E_WRONG_STATE, L"no device is open; call Open first");
    }
    HRESULT needFrame()
    {
        return hasFrame_ ? S_OK : raise_error(VFW_E_WRONG_STATE, L"there is no frame yet; call Grab first");
    }

    template <class T, class V> HRESULT frameField(T *out, V value)
    {
        clear_error();
        if (!out) return E_POINTER;
        *out = 0;
        RETURN_IF_FAILED(needFrame());
        *out = static_cast<T>(value);
        return S_OK;
    }

    // The frame as the host reads it: top row first, three bytes a pixel, no row padding.
    HRESULT keep(const QuiloImageStruct &record, const capture::FrameStamp &stamp)
    {
        const size_t rowBytes = static_cast<size_t>(record.width) * 3;
        const size_t stride = static_cast<size_t>(rgb24_stride(record.width));
        try {
            std::vector<unsigned char> pixels(rowBytes * static_cast<size_t>(record.height));
            for (LONG y = 0; y < record.height; ++y)
                memcpy(&pixels[static_cast<size_t>(y) * rowBytes], record.data + static_cast<size_t>(y) * stride,
                       rowBytes);
            pixels_.swap(pixels);
        } catch (const std::bad_alloc &) {
            return raise_error(E_OUTOFMEMORY, L"there is not enough memory for the frame");
        }
        width_ = record.width;
        height_ = record.height;
        stamp_ = stamp;
        hasFrame_ = true;
        return S_OK;
    }

    LONG refs_ = 0;
    capture::CaptureContext context_;
    bool open_ = false;
    VideoDevice device_;
    std::vector<dshow::StreamFormat> formats_;
    LONG formatsOf_ = -1;
    bool formatsRead_ = false;
    bool hasFrame_ = false;
    std::vector<unsigned char> pixels_;
    LONG width_ = 0;
    LONG height_ = 0;
    capture::FrameStamp stamp_;
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
