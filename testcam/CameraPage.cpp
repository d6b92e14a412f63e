#include "testcam/CameraPage.h"

#include <objbase.h>
#include <cstdio>
#include <cstring>
#include <new>

#include "common/HResult.h"
#include "testcam/CameraPageResource.h"
#include "testcam/Module.h"

namespace quilo::testcam {
namespace {

constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMs = 500;
// The dialog template's size in dialog units.
constexpr int kPageWidthDlu = 180;
constexpr int kPageHeightDlu = 56;

} // namespace

HRESULT CameraPage::create(REFIID iid, void **out)
{
    RETURN_HR_IF_NULL(E_POINTER, out);
    *out = nullptr;
    auto *page = new (std::nothrow) CameraPage();
    RETURN_HR_IF_NULL(E_OUTOFMEMORY, page);
    const HRESULT hr = page->QueryInterface(iid, out);
    page->Release();
    return hr;
}

CameraPage::~CameraPage()
{
    if (window_) DestroyWindow(window_);
}

HRESULT STDMETHODCALLTYPE CameraPage::QueryInterface(REFIID iid, void **out)
{
    return answer_query(iid, out, {{&IID_IUnknown, this}, {&IID_IPropertyPage, this}});
}

ULONG STDMETHODCALLTYPE CameraPage::AddRef() { return InterlockedIncrement(&refs_); }

ULONG STDMETHODCALLTYPE CameraPage::Release()
{
    const ULONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) delete this;
    return refs;
}

HRESULT STDMETHODCALLTYPE CameraPage::SetPageSite(IPropertyPageSite *site)
{
    site_ = ComPtr<IPropertyPageSite>(site);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CameraPage::Activate(HWND parent, LPCRECT rect, BOOL)
{
    RETURN_HR_IF_NULL(E_POINTER, rect);
    RETURN_HR_IF(E_UNEXPECTED, window_ != nullptr);
    window_ = CreateDialogParamA(module_instance(), MAKEINTRESOURCEA(IDD_CAMERA_PAGE), parent, &CameraPage::dialogProc,
                                 reinterpret_cast<LPARAM>(this));
    if (!window_) return HRESULT_FROM_WIN32(GetLastError());
    MoveWindow(window_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
    refresh();
    SetTimer(window_, kRefreshTimer, kRefreshMs, nullptr);
    for (const auto &pin : pins_) pin->NotePageActivated();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CameraPage::Deactivate()
{
    if (!window_) return S_OK;
    DestroyWindow(window_);
    window_ = nullptr;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CameraPage::GetPageInfo(PROPPAGEINFO *info)
{
    RETURN_HR_IF_NULL(E_POINTER, info);
    static const wchar_t title[] = L"Test Camera";
    auto *copy = static_cast<LPOLESTR>(CoTaskMemAlloc(sizeof(title)));
    RETURN_HR_IF_NULL(E_OUTOFMEMORY, copy);
    std::memcpy(copy, title, sizeof(title));
    const LONG base = GetDialogBaseUnits();
    info->cb = sizeof(PROPPAGEINFO);
    info->pszTitle = copy;
    info->size.cx = MulDiv(kPageWidthDlu, LOWORD(base), 4);
    info->size.cy = MulDiv(kPageHeightDlu, HIWORD(base), 8);
    info->pszDocString = nullptr;
    info->pszHelpFile = nullptr;
    info->dwHelpContext = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CameraPage::SetObjects(ULONG count, IUnknown **objects)
{
    pins_.clear();
    RETURN_HR_IF(E_POINTER, count > 0 && !objects);
    for (ULONG i = 0; i < count; ++i) {
        ComPtr<ICameraPageSite> pin;
        if (objects[i] && SUCCEEDED(objects[i]->QueryInterface(kIidCameraPageSite, pin.put_void())))
            pins_.push_back(pin);
    }
    // The page only makes sense for the camera's own capture pin.
    return count == 0 || !pins_.empty() ? S_OK : E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE CameraPage::Show(UINT command)
{
    RETURN_HR_IF(E_UNEXPECTED, !window_);
    ShowWindow(window_, static_cast<int>(command));
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CameraPage::Move(LPCRECT rect)
{
    RETURN_HR_IF_NULL(E_POINTER, rect);
    RETURN_HR_IF(E_UNEXPECTED, !window_);
    MoveWindow(window_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CameraPage::IsPageDirty() { return S_FALSE; }
HRESULT STDMETHODCALLTYPE CameraPage::Apply() { return S_OK; }
HRESULT STDMETHODCALLTYPE CameraPage::Help(LPCOLESTR) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE CameraPage::TranslateAccelerator(MSG *) { return S_FALSE; }

void CameraPage::refresh()
{
    if (!window_ || pins_.empty()) return;
    CameraPageData data = {};
    if (FAILED(pins_.front()->ReadPageData(&data))) return;
    char text[64];
    std::snprintf(text, sizeof(text), "%ld x %ld%s", static_cast<long>(data.width),
                  static_cast<long>(data.height < 0 ? -data.height : data.height), data.height < 0 ? " (top-down)" : "");
    SetDlgItemTextA(window_, IDC_PAGE_SIZE, text);
    if (data.fps > 0)
        std::snprintf(text, sizeof(text), "%ld frames per second", static_cast<long>(data.fps));
    else
        std::snprintf(text, sizeof(text), "as fast as they are taken");
    SetDlgItemTextA(window_, IDC_PAGE_RATE, text);
    std::snprintf(text, sizeof(text), "%ld", static_cast<long>(data.framesDelivered));
    SetDlgItemTextA(window_, IDC_PAGE_FRAMES, text);
}

INT_PTR CALLBACK CameraPage::dialogProc(HWND window, UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(window, GWLP_USERDATA, lParam);
        return TRUE;
    }
    auto *page = reinterpret_cast<CameraPage *>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_TIMER && page) {
        page->refresh();
        return TRUE;
    }
    return FALSE;
}

} // namespace quilo::testcam
