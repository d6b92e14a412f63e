// The IBaseFilter half of a DirectShow filter: state machine, clock, graph membership and the
// pin list. A concrete filter adds its pins and its streaming through a few hooks.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <string>

#include "common/ComPtr.h"
#include "common/CriticalSection.h"
#include "testcam/kit/ComTable.h"

namespace quilo::kit {

class BaseFilter : public IBaseFilter, public IAMFilterMiscFlags
{
public:
    BaseFilter(const BaseFilter &) = delete;
    BaseFilter &operator=(const BaseFilter &) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IPersist
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID *clsid) override;
    // IMediaFilter
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE Pause() override;
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;
    HRESULT STDMETHODCALLTYPE GetState(DWORD timeoutMs, FILTER_STATE *state) override;
    HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock *clock) override;
    HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock **clock) override;
    // IBaseFilter
    HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins **pins) override;
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin **pin) override;
    HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO *info) override;
    HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph *graph, LPCWSTR name) override;
    HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR *info) override;
    // IAMFilterMiscFlags
    ULONG STDMETHODCALLTYPE GetMiscFlags() override;

    // Guards state, connections and formats of the filter and its pins. The streaming thread
    // of a source never takes it, so state changes may wait for that thread while holding it.
    // For the same reason nothing downstream filters call on the streaming thread may take it:
    // QueryInterface, QueryAccept and media type enumeration stay lock-free.
    CriticalSection &lock() noexcept { return lock_; }
    FILTER_STATE state() const noexcept { return state_; }
    // The graph the filter belongs to, not counted (the graph holds the filter, not the other
    // way round); it changes only while the filter is stopped.
    IFilterGraph *graph() const noexcept { return graph_; }
    // The graph's clock and the stream start time of the last Run (under the lock).
    ComPtr<IReferenceClock> clock() const { return clock_; }
    REFERENCE_TIME streamStart() const noexcept { return start_; }

    // Pins in the filter's order; the pointers are owned by the filter.
    virtual ULONG pinCount() const = 0;
    virtual IPin *pin(ULONG index) const = 0;

protected:
    // live: a capture source that cannot cue data while paused (GetState says so).
    BaseFilter(const CLSID &clsid, ULONG miscFlags, bool live);
    virtual ~BaseFilter();

    // Interfaces beyond IBaseFilter; `out` is already null.
    virtual HRESULT queryExtra(REFIID iid, void **out);
    // State hooks, called with the lock held before the state changes. A failure keeps the
    // old state and is returned to the caller.
    virtual HRESULT onStopToPause() { return S_OK; }
    virtual HRESULT onPauseToRun(REFERENCE_TIME start) { (void)start; return S_OK; }
    virtual void onRunToPause() {}
    virtual void onToStop() {}
    // Called once per IMediaFilter call, for filters that keep statistics.
    virtual void onStateCall(FILTER_STATE requested) { (void)requested; }

private:
    LiveObject live_;
    volatile LONG refs_ = 1;
    CriticalSection lock_;
    const CLSID clsid_;
    const ULONG miscFlags_;
    const bool liveSource_;
    FILTER_STATE state_ = State_Stopped;
    REFERENCE_TIME start_ = 0;
    ComPtr<IReferenceClock> clock_;
    IFilterGraph *graph_ = nullptr;
    std::wstring name_;
};

} // namespace quilo::kit
