#include "testcam/kit/InputPin.h"

#include <vfwmsgs.h>
#include <algorithm>
#include <cstring>
#include <new>

#include "common/HResult.h"
#include "testcam/kit/BaseFilter.h"

namespace quilo::kit {

InputPin::InputPin(BaseFilter &filter, const wchar_t *name) : filter_(filter), name_(name) {}

InputPin::~InputPin() = default;

HRESULT STDMETHODCALLTYPE InputPin::QueryInterface(REFIID iid, void **out)
{
    return answer_query(iid, out, {
        {&IID_IUnknown, static_cast<IPin *>(this)},
        {&IID_IPin, static_cast<IPin *>(this)},
        {&IID_IMemInputPin, static_cast<IMemInputPin *>(this)},
    });
}

ULONG STDMETHODCALLTYPE InputPin::AddRef() { return filter_.AddRef(); }
ULONG STDMETHODCALLTYPE InputPin::Release() { return filter_.Release(); }

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
    RETURN_IF_FAILED(copy_media_type(*mt_.get(), *mt));
    peer_ = ComPtr<IPin>(connector);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE InputPin::Disconnect()
{
    Lock lock(filter_.lock());
    RETURN_HR_IF(VFW_E_NOT_STOPPED, filter_.state() != State_Stopped);
    if (!isConnected()) return S_FALSE;
    peer_ = nullptr;
    allocator_ = nullptr;
    mt_.clear();
    *mt_.get() = AM_MEDIA_TYPE();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE InputPin::ConnectedTo(IPin **pin)
{
    RETURN_HR_IF_NULL(E_POINTER, pin);
    Lock lock(filter_.lock());
    peer_.copy_to(pin);
    return *pin ? S_OK : VFW_E_NOT_CONNECTED;
}

HRESULT STDMETHODCALLTYPE InputPin::ConnectionMediaType(AM_MEDIA_TYPE *mt)
{
    RETURN_HR_IF_NULL(E_POINTER, mt);
    Lock lock(filter_.lock());
    if (!isConnected()) {
        *mt = AM_MEDIA_TYPE();
        return VFW_E_NOT_CONNECTED;
    }
    return copy_media_type(*mt, *mt_.get());
}

HRESULT STDMETHODCALLTYPE InputPin::QueryPinInfo(PIN_INFO *info)
{
    RETURN_HR_IF_NULL(E_POINTER, info);
    info->pFilter = &filter_;
    filter_.AddRef();
    info->dir = PINDIR_INPUT;
    const size_t capacity = sizeof(info->achName) / sizeof(info->achName[0]);
    const size_t length = std::min(name_.size(), capacity - 1);
    std::memcpy(info->achName, name_.c_str(), length * sizeof(wchar_t));
    info->achName[length] = L'\0';
    return S_OK;
}

HRESULT STDMETHODCALLTYPE InputPin::QueryDirection(PIN_DIRECTION *direction)
{
    RETURN_HR_IF_NULL(E_POINTER, direction);
    *direction = PINDIR_INPUT;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE InputPin::QueryId(LPWSTR *id) { return duplicate_string(name_.c_str(), id); }

HRESULT STDMETHODCALLTYPE InputPin::QueryAccept(const AM_MEDIA_TYPE *mt)
{
    RETURN_HR_IF_NULL(E_POINTER, mt);
    return checkMediaType(*mt) == S_OK ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE InputPin::EnumMediaTypes(IEnumMediaTypes **types)
{
    RETURN_HR_IF_NULL(E_POINTER, types);
    *types = new (std::nothrow) MediaTypeEnumerator(static_cast<IPin *>(this), *this, 0);
    return *types ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE InputPin::QueryInternalConnections(IPin **, ULONG *) { return E_NOTIMPL; }

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
