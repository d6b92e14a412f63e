// The aggregated form of CCQuiloVideoProc: a non-delegating IUnknown with its own reference
// count around an inner component object whose interfaces count on the outer object.
#pragma once

#include <unknwn.h>

#include "shell/InterfaceTable.h"
#include "shell/VideoProc.h"

namespace quilo::shell {

class AggregatedVideoProc final : public IUnknown
{
public:
    // riid must be IUnknown (the class object refuses anything else with an outer object).
    static HRESULT create(IUnknown *outer, REFIID riid, void **ppv) noexcept;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

private:
    template <typename Object, typename Arg>
    friend HRESULT create_and_query(Arg arg, REFIID riid, void **ppv) noexcept;

    explicit AggregatedVideoProc(IUnknown *outer) noexcept : inner_(outer) {}
    ~AggregatedVideoProc() = default;

    LONG refs_ = 0;
    VideoProc inner_;
};

} // namespace quilo::shell
