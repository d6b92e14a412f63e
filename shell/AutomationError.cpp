#include "shell/AutomationError.h"

#include <oleauto.h>
#include <cstdio>

#include "QuiloCamera.h"
#include "common/ComPtr.h"
#include "common/HResult.h"

namespace quilo::shell {

HRESULT raise_error(HRESULT hr, const std::wstring &sentence) noexcept
{
    try {
        ComPtr<ICreateErrorInfo> info;
        if (FAILED(CreateErrorInfo(info.put()))) return hr;
        const std::wstring text = L"QuiloVideo.Camera: " + sentence;
        ignore_result(info->SetDescription(const_cast<wchar_t *>(text.c_str())), "the HRESULT still says what failed");
        ignore_result(info->SetSource(const_cast<wchar_t *>(L"QuiloVideo.Camera")), "only the description matters");
        ignore_result(info->SetGUID(IID_IQuiloCamera), "only the description matters");
        ComPtr<IErrorInfo> error;
        if (SUCCEEDED(info.query(IID_IErrorInfo, error)))
            ignore_result(SetErrorInfo(0, error.get()), "the HRESULT still says what failed");
    } catch (...) {
        // Out of memory for the text: the HRESULT alone goes back.
    }
    return hr;
}

void clear_error() noexcept { ignore_result(SetErrorInfo(0, nullptr), "there is nothing to clear then"); }

std::wstring describe_hresult(HRESULT hr)
{
    wchar_t number[16];
    swprintf(number, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    std::wstring text = number;
    wchar_t *message = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t *>(&message),
                                        0, nullptr);
    if (length && message) {
        std::wstring said(message, length);
        while (!said.empty() && (said.back() == L'\n' || said.back() == L'\r' || said.back() == L' ')) said.pop_back();
        if (!said.empty()) text += L", " + said;
    }
    LocalFree(message);
    return text;
}

} // namespace quilo::shell
