#include "testcam/kit/InputPin.h"

#include <vfwmsgs.h>

#include "common/HResult.h"
#include "testcam/kit/BaseFilter.h"

namespace quilo::kit {

InputPin::InputPin(BaseFilter &filter, const wchar_t *name) : Pin(filter, PINDIR_INPUT, name) {}

InputPin::~InputPin() = default;

HRESULT InputPin::queryExtra(REFIID iid, void **out)
{
    return answer_query(iid, out, {{&IID_IMemInputPin, static_cast<IMemInputPin *>(this)}});
}

HRESULT InputPin::mediaType(ULONG, AM_MEDIA_TYPE &) { return VFW_S_NO_MORE_ITEMS; }

HRESULT STDMETHODCALLTYPE InputPin::Connect(IPin *, const AM_MEDIA_TYPE *)
{
    // Input pins receive connections; the upstream output pin makes them.
    return E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE InputPin::ReceiveConnection(IPin *connector, const AM_MEDIA_TYPE *mt)
{
    RETURN_HR_IF_NULL(E_POINTER, connector);
    RETURN_HR_IF_NULL(E_POINTER, mt);
    Lock lock(filter_.lock());
    RETURN_HR_IF(VFW_E_ALREADY_CONNECTED, isConnected());
    RETURN_HR_IF(VFW_E_NOT_STOPPED, filter_.state() != State_Stopped);
    RETURN_HR_IF(VFW_E_TYPE_NOT_ACCEPTED, checkMediaType(*mt) != S_OK);
    return setConnection(connector, *mt);
}

HRESULT STDMETHODCALLTYPE InputPin::Disconnect()
{
    Lock lock(filter_.lock());
    RETURN_HR_IF(VFW_E_NOT_STOPPED, filter_.state() != State_Stopped);
    if (!isConnected()) return S_FALSE;
    allocator_ = nullptr;
    clearConnection();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE InputPin::EndOfStream() { return endOfStream(); }

HRESULT STDMETHODCALLTYPE InputPin::BeginFlush()
{
    InterlockedExchange(&flushing_, 1);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE InputPin::EndFlush()
{
    InterlockedExchange(&flushing_, 0);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE InputPin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return S_OK; }

HRESULT STDMETHODCALLTYPE InputPin::GetAllocator(IMemAllocator **allocator)
{
    RETURN_HR_IF_NULL(E_POINTER, allocator);
    *allocator = nullptr;
    return VFW_E_NO_ALLOCATOR;
}

HRESULT STDMETHODCALLTYPE InputPin::NotifyAllocator(IMemAllocator *allocator, BOOL)
{
    RETURN_HR_IF_NULL(E_POINTER, allocator);
    Lock lock(filter_.lock());
    allocator_ = ComPtr<IMemAllocator>(allocator);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE InputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES *) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE InputPin::Receive(IMediaSample *sample)
{
    RETURN_HR_IF_NULL(E_POINTER, sample);
    RETURN_HR_IF(S_FALSE, InterlockedCompareExchange(&flushing_, 0, 0) != 0);
    // Reading the state without the lock: a stale answer only delays the refusal by a sample.
    RETURN_HR_IF(VFW_E_WRONG_STATE, filter_.state() == State_Stopped);
    return receive(sample);
}

HRESULT STDMETHODCALLTYPE InputPin::ReceiveMultiple(IMediaSample **samples, LONG count, LONG *processed)
{
    if (processed) *processed = 0;
    RETURN_HR_IF_NULL(E_POINTER, samples);
    HRESULT hr = S_OK;
    LONG done = 0;
    while (done < count) {
        hr = Receive(samples[done]);
        if (hr != S_OK) break;
        ++done;
    }
    if (processed) *processed = done;
    return hr;
}

HRESULT STDMETHODCALLTYPE InputPin::ReceiveCanBlock() { return S_FALSE; }

} // namespace quilo::kit
