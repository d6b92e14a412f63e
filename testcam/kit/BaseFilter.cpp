#include "testcam/kit/BaseFilter.h"

#include <vfwmsgs.h>
#include <cwchar>

#include "common/HResult.h"
#include "testcam/kit/EnumPins.h"

namespace quilo::kit {

BaseFilter::BaseFilter(const CLSID &clsid, ULONG miscFlags, bool live)
    : clsid_(clsid), miscFlags_(miscFlags), liveSource_(live)
{
}

BaseFilter::~BaseFilter() = default;

HRESULT STDMETHODCALLTYPE BaseFilter::QueryInterface(REFIID iid, void **out)
{
    HRESULT hr = answer_query(iid, out, {
        {&IID_IUnknown, static_cast<IBaseFilter *>(this)},
        {&IID_IPersist, static_cast<IBaseFilter *>(this)},
        {&IID_IMediaFilter, static_cast<IBaseFilter *>(this)},
        {&IID_IBaseFilter, static_cast<IBaseFilter *>(this)},
        {&IID_IAMFilterMiscFlags, static_cast<IAMFilterMiscFlags *>(this)},
    });
    if (hr == E_NOINTERFACE) hr = queryExtra(iid, out);
    return hr;
}

ULONG STDMETHODCALLTYPE BaseFilter::AddRef() { return InterlockedIncrement(&refs_); }

ULONG STDMETHODCALLTYPE BaseFilter::Release()
{
    const ULONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) delete this;
    return refs;
}

HRESULT BaseFilter::queryExtra(REFIID, void **) { return E_NOINTERFACE; }

HRESULT STDMETHODCALLTYPE BaseFilter::GetClassID(CLSID *clsid)
{
    RETURN_HR_IF_NULL(E_POINTER, clsid);
    *clsid = clsid_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseFilter::Stop()
{
    Lock lock(lock_);
    onStateCall(State_Stopped);
    if (state_ == State_Stopped) return S_OK;
    onToStop();
    state_ = State_Stopped;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseFilter::Pause()
{
    Lock lock(lock_);
    onStateCall(State_Paused);
    if (state_ == State_Stopped)
        RETURN_IF_FAILED(onStopToPause());
    else if (state_ == State_Running)
        onRunToPause();
    state_ = State_Paused;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseFilter::Run(REFERENCE_TIME start)
{
    Lock lock(lock_);
    onStateCall(State_Running);
    if (state_ == State_Running) return S_OK;
    if (state_ == State_Stopped) {
        RETURN_IF_FAILED(onStopToPause());
        state_ = State_Paused;
    }
    RETURN_IF_FAILED(onPauseToRun(start));
    start_ = start;
    state_ = State_Running;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseFilter::GetState(DWORD, FILTER_STATE *state)
{
    RETURN_HR_IF_NULL(E_POINTER, state);
    Lock lock(lock_);
    *state = state_;
    // A live source has nothing to cue while paused; saying so lets the graph complete Run.
    return (liveSource_ && state_ == State_Paused) ? VFW_S_CANT_CUE : S_OK;
}

HRESULT STDMETHODCALLTYPE BaseFilter::SetSyncSource(IReferenceClock *clock)
{
    Lock lock(lock_);
    clock_ = ComPtr<IReferenceClock>(clock);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseFilter::GetSyncSource(IReferenceClock **clock)
{
    RETURN_HR_IF_NULL(E_POINTER, clock);
    Lock lock(lock_);
    clock_.copy_to(clock);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseFilter::EnumPins(IEnumPins **pins)
{
    RETURN_HR_IF_NULL(E_POINTER, pins);
    *pins = nullptr;
    auto *pinsEnum = new (std::nothrow) PinEnumerator(FilterPins{ComPtr<BaseFilter>(this)}, 0);
    RETURN_HR_IF_NULL(E_OUTOFMEMORY, pinsEnum);
    *pins = pinsEnum;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseFilter::FindPin(LPCWSTR id, IPin **pin)
{
    RETURN_HR_IF_NULL(E_POINTER, pin);
    *pin = nullptr;
    RETURN_HR_IF_NULL(E_POINTER, id);
    Lock lock(lock_);
    for (ULONG i = 0; i < pinCount(); ++i) {
        IPin *candidate = this->pin(i);
        LPWSTR candidateId = nullptr;
        if (FAILED(candidate->QueryId(&candidateId))) continue;
        const bool same = std::wcscmp(candidateId, id) == 0;
        CoTaskMemFree(candidateId);
        if (same) {
            candidate->AddRef();
            *pin = candidate;
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

HRESULT STDMETHODCALLTYPE BaseFilter::QueryFilterInfo(FILTER_INFO *info)
{
    RETURN_HR_IF_NULL(E_POINTER, info);
    Lock lock(lock_);
    const size_t capacity = sizeof(info->achName) / sizeof(info->achName[0]);
    std::wcsncpy(info->achName, name_.c_str(), capacity - 1);
    info->achName[capacity - 1] = L'\0';
    info->pGraph = graph_;
    if (graph_) graph_->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseFilter::JoinFilterGraph(IFilterGraph *graph, LPCWSTR name)
{
    Lock lock(lock_);
    graph_ = graph;
    name_ = name ? name : L"";
    return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseFilter::QueryVendorInfo(LPWSTR *info)
{
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

ULONG STDMETHODCALLTYPE BaseFilter::GetMiscFlags() { return miscFlags_; }

} // namespace quilo::kit
