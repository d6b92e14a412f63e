// The class object of one creatable class, for the in-process servers QuiloVideo.ocx and the
// test camera. It is a static object, so every DllGetClassObject hands out the same one for the
// module's life and nothing is left to release at unload. Its own reference never holds the
// module; every outside reference and every LockServer(TRUE) does, through the module's lock.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include "common/InterfaceTable.h"

namespace quilo {

class ClassFactory final : public IClassFactory
{
public:
    // Creates an object; `outer` is non-null only together with IID_IUnknown (aggregation).
    using CreateFunction = HRESULT (*)(IUnknown *outer, REFIID iid, void **out);
    // Adds or removes one reason for the module to stay loaded.
    using ModuleLockFunction = void (*)();

    constexpr ClassFactory(CreateFunction create, ModuleLockFunction lock, ModuleLockFunction unlock) noexcept
        : create_(create), lockModule_(lock), unlockModule_(unlock)
    {
    }
    ClassFactory(const ClassFactory &) = delete;
    ClassFactory &operator=(const ClassFactory &) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        return answer_query(iid, out, {{&IID_IUnknown, this}, {&IID_IClassFactory, this}});
    }

    ULONG STDMETHODCALLTYPE AddRef() override
    {
        lockModule_();
        return static_cast<ULONG>(InterlockedIncrement(&refs_));
    }

    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG refs = InterlockedDecrement(&refs_);
        unlockModule_();
        return static_cast<ULONG>(refs);
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID iid, void **out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        // An aggregated object can only be handed to its outer object, as its inner IUnknown.
        if (outer && !IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
        return create_(outer, iid, out);
    }

    // A FALSE without a matching TRUE is ignored (still S_OK): a host's stray unlock must not
    // let the module be unloaded under objects that still live.
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        if (lock) {
            InterlockedIncrement(&serverLocks_);
            lockModule_();
            return S_OK;
        }
        for (LONG held = serverLocks_; held > 0;) {
            const LONG seen = InterlockedCompareExchange(&serverLocks_, held - 1, held);
            if (seen == held) {
                unlockModule_();
                break;
            }
            held = seen;
        }
        return S_OK;
    }

private:
    CreateFunction create_;
    ModuleLockFunction lockModule_;
    ModuleLockFunction unlockModule_;
    // The module's own reference, which it never gives up, plus every outside one.
    LONG refs_ = 1;
    LONG serverLocks_ = 0;
};

} // namespace quilo
