#include "shell/AutomationValues.h"

#include <cstring>

#include "common/HResult.h"
#include "common/Variant.h"
#include "dshow/ErrorText.h"

namespace quilo::shell {
namespace {

// PixelArray's limit, the same on both builds: the most VARIANTs of the 64-bit build (24 bytes
// each) whose block size still fits the 32 bits the platform's array functions count it in.
// Beyond it the platform would wrap the size and hand out a block far too small.
constexpr size_t kMaxPixelArrayValues = 0xFFFFFFFFu / 24;

// 100 ns ticks between 1601-01-01 (FILETIME) and 1899-12-30 (DATE's day 0).
constexpr double kDateEpochDays = 109205.0;
constexpr double kTicksPerDay = 864000000000.0;

const VARIANT &dereferenced(const VARIANT &value)
{
    return V_VT(&value) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(&value) ? *V_VARIANTREF(&value) : value;
}

} // namespace

std::wstring bstr_text(BSTR text) { return text ? std::wstring(text, SysStringLen(text)) : std::wstring(); }

HRESULT put_bstr(const std::wstring &text, BSTR *out)
{
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

capture::Outcome choice_of(const VARIANT &value, capture::Choice &choice)
{
    const VARIANT &given = dereferenced(value);
    const bool text = (V_VT(&given) & ~VT_BYREF) == VT_BSTR;
    UniqueVariant converted;
    if (FAILED(VariantChangeType(converted.get(), const_cast<VARIANT *>(&given), 0, text ? VT_BSTR : VT_I4)))
        return {DISP_E_TYPEMISMATCH, L"a device is given by its position, its name or its device path"};
    choice.byText = text;
    if (text) choice.text = bstr_text(V_BSTR(converted.get()));
    else choice.index = V_I4(converted.get());
    return S_OK;
}

capture::Outcome rate_of(const VARIANT &rate, double &frameRate)
{
    frameRate = 0;
    if (V_VT(&rate) == VT_ERROR || V_VT(&rate) == VT_EMPTY) return S_OK;
    UniqueVariant number;
    if (FAILED(VariantChangeType(number.get(), const_cast<VARIANT *>(&rate), 0, VT_R8)))
        return {DISP_E_TYPEMISMATCH, L"the frame rate must be a number of frames per second"};
    frameRate = V_R8(number.get());
    return S_OK;
}

DATE local_date(const FILETIME &utc)
{
    FILETIME local = {};
    if (!FileTimeToLocalFileTime(&utc, &local)) local = utc;
    const ULONGLONG ticks = (static_cast<ULONGLONG>(local.dwHighDateTime) << 32) | local.dwLowDateTime;
    return static_cast<double>(ticks) / kTicksPerDay - kDateEpochDays;
}

HRESULT frame_bytes(const capture::CameraSession &session, VARTYPE type, VARIANT *out)
{
    clear_error();
    if (!out) return E_POINTER;
    VariantInit(out);
    RETURN_IF_FAILED(answer(session.needFrame()));
    const frame::PackedFrame &frame = session.frame();
    const size_t count = static_cast<size_t>(frame.pixels.size());
    if (type == VT_VARIANT && count > kMaxPixelArrayValues)
        return raise_error(E_OUTOFMEMORY, L"the " + std::to_wstring(frame.width) + L"x" +
                                              std::to_wstring(frame.height) + L" frame has " + std::to_wstring(count) +
                                              L" values, more than an array of variants can hold (" +
                                              std::to_wstring(kMaxPixelArrayValues) + L"); use Pixels");
    SAFEARRAY *array = SafeArrayCreateVector(type, 0, static_cast<ULONG>(count));
    if (!array) return raise_error(E_OUTOFMEMORY, L"there is not enough memory for the frame's pixels");
    void *data = nullptr;
    const HRESULT hr = SafeArrayAccessData(array, &data);
    if (FAILED(hr)) {
        ignore_result(SafeArrayDestroy(array), "the array is not handed out");
        return raise_error(hr, L"the frame's pixels cannot be written into the array (" +
                                   dshow::describe_hresult(hr) + L")");
    }
    const unsigned char *pixels = frame.pixels.data();
    if (type == VT_UI1) {
        std::memcpy(data, pixels, count);
    } else {
        auto *values = static_cast<VARIANT *>(data);
        for (size_t i = 0; i < count; ++i) {
            V_VT(&values[i]) = VT_UI1;
            V_UI1(&values[i]) = pixels[i];
        }
    }
    ignore_result(SafeArrayUnaccessData(array), "the array was locked just before");
    V_VT(out) = VT_ARRAY | type;
    V_ARRAY(out) = array;
    return S_OK;
}

} // namespace quilo::shell
