// The capture pin's property page: shows the frame size, the frame rate and how many frames
// the device delivered, and tells the device each time it is activated.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <vector>

#include "common/ComPtr.h"
#include "testcam/CameraPageSite.h"
#include "testcam/kit/ComTable.h"

namespace quilo::testcam {

class CameraPage final : public IPropertyPage
{
public:
    // The class object's creation function.
    static HRESULT create(REFIID iid, void **out);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite *site) override;
    HRESULT STDMETHODCALLTYPE Activate(HWND parent, LPCRECT rect, BOOL modal) override;
    HRESULT STDMETHODCALLTYPE Deactivate() override;
    HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO *info) override;
    HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown **objects) override;
    HRESULT STDMETHODCALLTYPE Show(UINT command) override;
    HRESULT STDMETHODCALLTYPE Move(LPCRECT rect) override;
    HRESULT STDMETHODCALLTYPE IsPageDirty() override;
    HRESULT STDMETHODCALLTYPE Apply() override;
    HRESULT STDMETHODCALLTYPE Help(LPCOLESTR helpDir) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG *msg) override;

private:
    CameraPage() = default;
    ~CameraPage();
    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void refresh();

    kit::LiveObject live_;
    volatile LONG refs_ = 1;
    ComPtr<IPropertyPageSite> site_;
    std::vector<ComPtr<ICameraPageSite>> pins_;
    HWND window_ = nullptr;
};

} // namespace quilo::testcam
