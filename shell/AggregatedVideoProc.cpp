#include "shell/AggregatedVideoProc.h"

#include "shell/InterfaceTable.h"

namespace quilo::shell {

HRESULT AggregatedVideoProc::create(IUnknown *outer, REFIID riid, void **ppv) noexcept
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!outer || !IsEqualIID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    return create_and_query<AggregatedVideoProc>(outer, riid, ppv);
}

HRESULT STDMETHODCALLTYPE AggregatedVideoProc::QueryInterface(REFIID riid, void **ppv)
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown)) {
        AddRef();
        *ppv = static_cast<IUnknown *>(this);
        return S_OK;
    }
    return inner_.query_own_interface(riid, ppv);
}

ULONG STDMETHODCALLTYPE AggregatedVideoProc::AddRef() { return static_cast<ULONG>(++refs_); }

ULONG STDMETHODCALLTYPE AggregatedVideoProc::Release()
{
    const LONG refs = --refs_;
    if (refs == 0) {
        refs_ = kDestructionRefCount;
        delete this;
    }
    return static_cast<ULONG>(refs);
}

} // namespace quilo::shell
