#include "testcam/kit/OutputPin.h"

#include <uuids.h>
#include <vfwmsgs.h>
#include <algorithm>
#include <cstring>
#include <new>

#include "common/HResult.h"
#include "testcam/kit/BaseFilter.h"

namespace quilo::kit {

bool matches_partial_type(const AM_MEDIA_TYPE *partial, const AM_MEDIA_TYPE &candidate) noexcept
{
    if (!partial) return true;
    if (!IsEqualGUID(partial->majortype, GUID_NULL) && !IsEqualGUID(partial->majortype, candidate.majortype))
        return false;
    if (!IsEqualGUID(partial->subtype, GUID_NULL) && !IsEqualGUID(partial->subtype, candidate.subtype))
        return false;
    if (!IsEqualGUID(partial->formattype, GUID_NULL) && !IsEqualGUID(partial->formattype, candidate.formattype))
        return false;
    return true;
}

bool is_complete_type(const AM_MEDIA_TYPE &mt) noexcept
{
    return !IsEqualGUID(mt.majortype, GUID_NULL) && !IsEqualGUID(mt.subtype, GUID_NULL) &&
           !IsEqualGUID(mt.formattype, GUID_NULL);
}

OutputPin::OutputPin(BaseFilter &filter, const wchar_t *name) : filter_(filter), name_(name) {}

OutputPin::~OutputPin() = default;

HRESULT STDMETHODCALLTYPE OutputPin::QueryInterface(REFIID iid, void **out)
{
    HRESULT hr = answer_query(iid, out, {{&IID_IUnknown, this}, {&IID_IPin, this}});
    if (hr == E_NOINTERFACE) hr = queryExtra(iid, out);
    return hr;
}

ULONG STDMETHODCALLTYPE OutputPin::AddRef() { return filter_.AddRef(); }
ULONG STDMETHODCALLTYPE OutputPin::Release() { return filter_.Release(); }

HRESULT OutputPin::queryExtra(REFIID, void **) { return E_NOINTERFACE; }

HRESULT STDMETHODCALLTYPE OutputPin::Connect(IPin *receiver, const AM_MEDIA_TYPE *mt)
{
    RETURN_HR_IF_NULL(E_POINTER, receiver);
    Lock lock(filter_.lock());
    RETURN_HR_IF(VFW_E_ALREADY_CONNECTED, isConnected());
    RETURN_HR_IF(VFW_E_NOT_STOPPED, filter_.state() != State_Stopped);

    if (mt && is_complete_type(*mt)) return attempt(receiver, *mt);

    // Our own types first, in our order of preference, then whatever the receiver proposes.
    for (ULONG i = 0;; ++i) {
        MediaType candidate;
        if (mediaType(i, *candidate.get()) != S_OK) break;
        if (matches_partial_type(mt, *candidate.get()) && SUCCEEDED(attempt(receiver, *candidate.get())))
            return S_OK;
    }
    ComPtr<IEnumMediaTypes> theirs;
    if (SUCCEEDED(receiver->EnumMediaTypes(theirs.put()))) {
        for (;;) {
            MediaTypePtr candidate;
            if (theirs->Next(1, candidate.put(), nullptr) != S_OK || !candidate) break;
            if (is_complete_type(*candidate.get()) && matches_partial_type(mt, *candidate.get()) &&
                SUCCEEDED(attempt(receiver, *candidate.get())))
                return S_OK;
        }
    }
    return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT OutputPin::attempt(IPin *receiver, const AM_MEDIA_TYPE &mt)
{
    RETURN_HR_IF(VFW_E_TYPE_NOT_ACCEPTED, checkMediaType(mt) != S_OK);
    // The receiver may ask us about the connection while it accepts it.
    RETURN_IF_FAILED(copy_media_type(*mt_.get(), mt));
    connection_.peer = ComPtr<IPin>(receiver);

    HRESULT hr = receiver->ReceiveConnection(this, &mt);
    if (SUCCEEDED(hr)) {
        hr = receiver->QueryInterface(IID_IMemInputPin, connection_.input.put_void());
        if (FAILED(hr)) hr = VFW_E_NO_TRANSPORT;
        if (SUCCEEDED(hr)) hr = createAllocator(connection_.input.get(), mt, connection_.allocator);
        if (FAILED(hr)) receiver->Disconnect();
    }
    if (FAILED(hr)) {
        clearConnection();
        return hr;
    }
    connectionChanged();
    return S_OK;
}

HRESULT OutputPin::createAllocator(IMemInputPin *input, const AM_MEDIA_TYPE &mt, ComPtr<IMemAllocator> &allocator)
{
    ALLOCATOR_PROPERTIES wanted = {};
    RETURN_IF_FAILED(bufferNeeds(mt, wanted));
    ALLOCATOR_PROPERTIES theirs = {};
    if (SUCCEEDED(input->GetAllocatorRequirements(&theirs))) {
        wanted.cBuffers = std::max(wanted.cBuffers, theirs.cBuffers);
        wanted.cbAlign = std::max(wanted.cbAlign, theirs.cbAlign);
        wanted.cbPrefix = std::max(wanted.cbPrefix, theirs.cbPrefix);
    }
    // The memory allocator refuses an alignment of 0.
    wanted.cbAlign = std::max<long>(wanted.cbAlign, 1);
    wanted.cBuffers = std::max<long>(wanted.cBuffers, 1);

    // Our own allocator, always: downstream filters such as the sample grabber offer none.
    RETURN_IF_FAILED(CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                      allocator.put_void()));
    ALLOCATOR_PROPERTIES actual = {};
    RETURN_IF_FAILED(allocator->SetProperties(&wanted, &actual));
    RETURN_HR_IF(E_FAIL, actual.cbBuffer < wanted.cbBuffer);
    return input->NotifyAllocator(allocator.get(), FALSE);
}

void OutputPin::clearConnection()
{
    if (connection_.allocator) connection_.allocator->Decommit();
    connection_ = Connection();
    mt_.clear();
    *mt_.get() = AM_MEDIA_TYPE();
}

HRESULT STDMETHODCALLTYPE OutputPin::ReceiveConnection(IPin *, const AM_MEDIA_TYPE *)
{
    // Output pins make connections; they never receive them.
    return E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE OutputPin::Disconnect()
{
    Lock lock(filter_.lock());
    RETURN_HR_IF(VFW_E_NOT_STOPPED, filter_.state() != State_Stopped);
    if (!isConnected()) return S_FALSE;
    clearConnection();
    connectionChanged();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE OutputPin::ConnectedTo(IPin **pin)
{
    RETURN_HR_IF_NULL(E_POINTER, pin);
    Lock lock(filter_.lock());
    connection_.peer.copy_to(pin);
    return *pin ? S_OK : VFW_E_NOT_CONNECTED;
}

HRESULT STDMETHODCALLTYPE OutputPin::ConnectionMediaType(AM_MEDIA_TYPE *mt)
{
    RETURN_HR_IF_NULL(E_POINTER, mt);
    Lock lock(filter_.lock());
    if (!isConnected()) {
        *mt = AM_MEDIA_TYPE();
        return VFW_E_NOT_CONNECTED;
    }
    return copy_media_type(*mt, *mt_.get());
}

HRESULT STDMETHODCALLTYPE OutputPin::QueryPinInfo(PIN_INFO *info)
{
    RETURN_HR_IF_NULL(E_POINTER, info);
    info->pFilter = &filter_;
    filter_.AddRef();
    info->dir = PINDIR_OUTPUT;
    const size_t capacity = sizeof(info->achName) / sizeof(info->achName[0]);
    const size_t length = std::min(name_.size(), capacity - 1);
    std::memcpy(info->achName, name_.c_str(), length * sizeof(wchar_t));
    info->achName[length] = L'\0';
    return S_OK;
}

HRESULT STDMETHODCALLTYPE OutputPin::QueryDirection(PIN_DIRECTION *direction)
{
    RETURN_HR_IF_NULL(E_POINTER, direction);
    *direction = PINDIR_OUTPUT;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE OutputPin::QueryId(LPWSTR *id) { return duplicate_string(name_.c_str(), id); }

HRESULT STDMETHODCALLTYPE OutputPin::QueryAccept(const AM_MEDIA_TYPE *mt)
{
    RETURN_HR_IF_NULL(E_POINTER, mt);
    return checkMediaType(*mt) == S_OK ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE OutputPin::EnumMediaTypes(IEnumMediaTypes **types)
{
    RETURN_HR_IF_NULL(E_POINTER, types);
    *types = new (std::nothrow) MediaTypeEnumerator(this, *this, 0);
    return *types ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE OutputPin::QueryInternalConnections(IPin **, ULONG *) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE OutputPin::EndOfStream() { return E_UNEXPECTED; }
HRESULT STDMETHODCALLTYPE OutputPin::BeginFlush() { return E_UNEXPECTED; }
HRESULT STDMETHODCALLTYPE OutputPin::EndFlush() { return E_UNEXPECTED; }
HRESULT STDMETHODCALLTYPE OutputPin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return S_OK; }

HRESULT OutputPin::commitAllocator()
{
    return connection_.allocator ? connection_.allocator->Commit() : S_OK;
}

void OutputPin::decommitAllocator()
{
    if (connection_.allocator) connection_.allocator->Decommit();
}

} // namespace quilo::kit
