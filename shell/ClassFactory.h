// The class object: an IClassFactory cached by the module. The cache's own reference never
// locks the module; every outside reference does (the count moving to 2 and back to 1).
#pragma once

#include <unknwn.h>

#include "shell/CheckedCriticalSection.h"
#include "shell/Module.h"

namespace quilo::shell {

class ClassFactory final : public IClassFactory
{
public:
    // Class-object creator of the class table: the new object holds one reference, handed
    // out through riid (IUnknown for the cache).
    static HRESULT create(InstanceCreator creator, REFIID riid, void **ppv) noexcept;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID riid, void **ppv) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    explicit ClassFactory(InstanceCreator creator) noexcept : creator_(creator) {}
    ~ClassFactory() = default;

    LONG refs_ = 0;
    InstanceCreator creator_;
    CheckedCriticalSection lock_;
};

} // namespace quilo::shell
