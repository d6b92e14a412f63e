#include "shell/ClassFactory.h"

#include <new>

#include "shell/InterfaceTable.h"

namespace quilo::shell {

namespace {

const InterfaceEntry<ClassFactory> kInterfaces[] = {
    {&IID_IClassFactory, [](ClassFactory *self) -> IUnknown * { return self; }},
};

} // namespace

HRESULT ClassFactory::create(InstanceCreator creator, REFIID riid, void **ppv) noexcept
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    auto *factory = new (std::nothrow) ClassFactory(creator);
    if (!factory) return E_OUTOFMEMORY;
    if (!factory->lock_.init()) {
        delete factory;
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = factory->QueryInterface(riid, ppv);
    if (FAILED(hr)) delete factory;
    return hr;
}

HRESULT STDMETHODCALLTYPE ClassFactory::QueryInterface(REFIID riid, void **ppv)
{
    return query_interface_table(this, kInterfaces, riid, ppv);
}

ULONG STDMETHODCALLTYPE ClassFactory::AddRef()
{
    Lock guard(lock_);
    const LONG refs = InterlockedIncrement(&refs_);
    // The first reference beyond the module's own cache keeps the module loaded.
    if (refs == 2) module().lock();
    return static_cast<ULONG>(refs);
}

ULONG STDMETHODCALLTYPE ClassFactory::Release()
{
    LONG refs;
    {
        Lock guard(lock_);
        refs = InterlockedDecrement(&refs_);
    }
    if (refs == 0)
        delete this;
    else if (refs == 1)
        module().unlock();
    return static_cast<ULONG>(refs);
}

HRESULT STDMETHODCALLTYPE ClassFactory::CreateInstance(IUnknown *outer, REFIID riid, void **ppv)
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    // An aggregated object can only be handed to its outer object as the inner IUnknown.
    if (outer && !IsEqualIID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    return creator_(outer, riid, ppv);
}

HRESULT STDMETHODCALLTYPE ClassFactory::LockServer(BOOL lock)
{
    module().lock_server(lock != FALSE);
    return S_OK;
}

} // namespace quilo::shell
