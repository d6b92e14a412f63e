// The class object of one creatable class: a static object whose creation function is
// its only difference from the others.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace quilo::testcam {

class ClassFactory final : public IClassFactory
{
public:
    using CreateFunction = HRESULT (*)(REFIID iid, void **out);
    explicit constexpr ClassFactory(CreateFunction create) : create_(create) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override;
    // Static lifetime: references do not count, LockServer does.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID iid, void **out) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    CreateFunction create_;
};

} // namespace quilo::testcam
