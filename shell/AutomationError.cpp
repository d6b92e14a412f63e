#include "shell/AutomationError.h"

#include <oleauto.h>

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

} // namespace quilo::shell
