#include "support/PlatformDouble.h"

#include <uuids.h>

#include "common/ComPtr.h"
#include "common/HResult.h"

namespace quilo::test {
namespace {

// The reference count of both wrappers below; each is created with one reference.
template <typename Interface>
class Counted : public Interface
{
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return left;
    }

protected:
    virtual ~Counted() = default;

private:
    LONG refs_ = 1;
};

// The real graph's IMediaControl, whose Run answers a failure after the real Run.
class FailingRunControl final : public Counted<IMediaControl>
{
public:
    FailingRunControl(IMediaControl *inner, HRESULT failure) : inner_(inner), failure_(failure) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IMediaControl)) {
            *out = static_cast<IMediaControl *>(this);
            AddRef();
            return S_OK;
        }
        return inner_->QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *n) override { return inner_->GetTypeInfoCount(n); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID l, ITypeInfo **t) override { return inner_->GetTypeInfo(i, l, t); }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID r, LPOLESTR *n, UINT c, LCID l, DISPID *d) override
    {
        return inner_->GetIDsOfNames(r, n, c, l, d);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID d, REFIID r, LCID l, WORD f, DISPPARAMS *p, VARIANT *v, EXCEPINFO *e,
                                     UINT *a) override
    {
        return inner_->Invoke(d, r, l, f, p, v, e, a);
    }
    HRESULT STDMETHODCALLTYPE Run() override
    {
        ignore_result(inner_->Run(), "the double fails whatever the graph answered");
        return failure_;
    }
    HRESULT STDMETHODCALLTYPE Pause() override { return inner_->Pause(); }
    HRESULT STDMETHODCALLTYPE Stop() override { return inner_->Stop(); }
    HRESULT STDMETHODCALLTYPE GetState(LONG ms, OAFilterState *s) override { return inner_->GetState(ms, s); }
    HRESULT STDMETHODCALLTYPE RenderFile(BSTR f) override { return inner_->RenderFile(f); }
    HRESULT STDMETHODCALLTYPE AddSourceFilter(BSTR f, IDispatch **d) override { return inner_->AddSourceFilter(f, d); }
    HRESULT STDMETHODCALLTYPE get_FilterCollection(IDispatch **d) override { return inner_->get_FilterCollection(d); }
    HRESULT STDMETHODCALLTYPE get_RegFilterCollection(IDispatch **d) override
    {
        return inner_->get_RegFilterCollection(d);
    }
    HRESULT STDMETHODCALLTYPE StopWhenReady() override { return inner_->StopWhenReady(); }

private:
    ~FailingRunControl() override = default;
    ComPtr<IMediaControl> inner_;
    HRESULT failure_;
};

// The real filter graph behind an IGraphBuilder whose AddFilter and Run can be made to fail;
// every other interface is the real graph's own.
class FailingAddFilterGraph final : public Counted<IGraphBuilder>
{
public:
    FailingAddFilterGraph(IGraphBuilder *inner, const std::map<std::wstring, HRESULT> &failures, HRESULT runFailure)
        : inner_(inner), failures_(failures), runFailure_(runFailure)
    {
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IFilterGraph) || IsEqualIID(iid, IID_IGraphBuilder)) {
            *out = static_cast<IGraphBuilder *>(this);
            AddRef();
            return S_OK;
        }
        if (IsEqualIID(iid, IID_IMediaControl) && FAILED(runFailure_)) {
            *out = nullptr;
            ComPtr<IMediaControl> control;
            RETURN_IF_FAILED(inner_->QueryInterface(IID_IMediaControl, control.put_void()));
            *out = static_cast<IMediaControl *>(new FailingRunControl(control.get(), runFailure_));
            return S_OK;
        }
        return inner_->QueryInterface(iid, out);
    }

    HRESULT STDMETHODCALLTYPE AddFilter(IBaseFilter *filter, LPCWSTR name) override
    {
        if (name) {
            auto it = failures_.find(name);
            if (it != failures_.end()) return it->second;
        }
        return inner_->AddFilter(filter, name);
    }
    HRESULT STDMETHODCALLTYPE RemoveFilter(IBaseFilter *f) override { return inner_->RemoveFilter(f); }
    HRESULT STDMETHODCALLTYPE EnumFilters(IEnumFilters **e) override { return inner_->EnumFilters(e); }
    HRESULT STDMETHODCALLTYPE FindFilterByName(LPCWSTR n, IBaseFilter **f) override { return inner_->FindFilterByName(n, f); }
    HRESULT STDMETHODCALLTYPE ConnectDirect(IPin *o, IPin *i, const AM_MEDIA_TYPE *mt) override { return inner_->ConnectDirect(o, i, mt); }
    HRESULT STDMETHODCALLTYPE Reconnect(IPin *p) override { return inner_->Reconnect(p); }
    HRESULT STDMETHODCALLTYPE Disconnect(IPin *p) override { return inner_->Disconnect(p); }
    HRESULT STDMETHODCALLTYPE SetDefaultSyncSource() override { return inner_->SetDefaultSyncSource(); }
    HRESULT STDMETHODCALLTYPE Connect(IPin *o, IPin *i) override { return inner_->Connect(o, i); }
    HRESULT STDMETHODCALLTYPE Render(IPin *p) override { return inner_->Render(p); }
    HRESULT STDMETHODCALLTYPE RenderFile(LPCWSTR f, LPCWSTR l) override { return inner_->RenderFile(f, l); }
    HRESULT STDMETHODCALLTYPE AddSourceFilter(LPCWSTR f, LPCWSTR n, IBaseFilter **o) override { return inner_->AddSourceFilter(f, n, o); }
    HRESULT STDMETHODCALLTYPE SetLogFile(DWORD_PTR h) override { return inner_->SetLogFile(h); }
    HRESULT STDMETHODCALLTYPE Abort() override { return inner_->Abort(); }
    HRESULT STDMETHODCALLTYPE ShouldOperationContinue() override { return inner_->ShouldOperationContinue(); }

private:
    ~FailingAddFilterGraph() override = default;
    ComPtr<IGraphBuilder> inner_;
    std::map<std::wstring, HRESULT> failures_;
    HRESULT runFailure_;
};

} // namespace

HRESULT PlatformDouble::initializeCom()
{
    const HRESULT hr = CoInitialize(nullptr);
    if (SUCCEEDED(hr)) ++comInits;
    return hr;
}

void PlatformDouble::uninitializeCom()
{
    ++comUninits;
    CoUninitialize();
}

HRESULT PlatformDouble::createInstance(REFCLSID clsid, DWORD context, REFIID iid, void **out)
{
    created.push_back(clsid);
    *out = nullptr;
    for (auto it = actions_.begin(); it != actions_.end(); ++it)
        if (IsEqualCLSID(it->clsid, clsid)) {
            const std::function<void()> run = it->run;
            actions_.erase(it);
            run();
            break;
        }
    for (const auto &f : creationFailures_)
        if (IsEqualCLSID(f.clsid, clsid)) return f.hr;
    for (const CLSID &k : keep_)
        if (IsEqualCLSID(k, clsid)) {
            const HRESULT hr = CoCreateInstance(clsid, nullptr, context, iid, out);
            if (SUCCEEDED(hr)) {
                IUnknown *held = nullptr;
                if (SUCCEEDED(static_cast<IUnknown *>(*out)->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(&held))))
                    kept.push_back(held);
            }
            return hr;
        }
    if (IsEqualCLSID(clsid, CLSID_FilterGraph) && (!addFilterFailures_.empty() || FAILED(runFailure_))) {
        ComPtr<IGraphBuilder> real;
        HRESULT hr = CoCreateInstance(clsid, nullptr, context, IID_IGraphBuilder, real.put_void());
        if (FAILED(hr)) return hr;
        auto *wrapper = new FailingAddFilterGraph(real.get(), addFilterFailures_, runFailure_);
        hr = wrapper->QueryInterface(iid, out);
        wrapper->Release();
        return hr;
    }
    return CoCreateInstance(clsid, nullptr, context, iid, out);
}

void PlatformDouble::showMessage(const char *text) { messages.emplace_back(text ? text : ""); }

HRESULT PlatformDouble::showPropertyFrame(IUnknown *, const CAUUID &)
{
    ++propertyFrames;
    return S_OK;
}

} // namespace quilo::test
