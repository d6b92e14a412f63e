#include "testcam/kit/OutputPin.h"

#include <uuids.h>
#include <vfwmsgs.h>
#include <algorithm>

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

OutputPin::OutputPin(BaseFilter &filter, const wchar_t *name) : Pin(filter, PINDIR_OUTPUT, name) {}

OutputPin::~OutputPin() = default;

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
    RETURN_IF_FAILED(setConnection(receiver, mt));

    HRESULT hr = receiver->ReceiveConnection(this, &mt);
    if (SUCCEEDED(hr)) {
        hr = receiver->QueryInterface(IID_IMemInputPin, input_.put_void());
        if (FAILED(hr)) hr = VFW_E_NO_TRANSPORT;
        if (SUCCEEDED(hr)) hr = createAllocator(input_.get(), mt, allocator_);
        if (FAILED(hr))
            ignore_result(receiver->Disconnect(), "the connection failed already; its own failure is what the caller hears");
    }
    if (FAILED(hr)) {
        releaseConnection();
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

void OutputPin::releaseConnection()
{
    if (allocator_) ignore_result(allocator_->Decommit(), "the allocator is released next; its buffers go with it");
    input_ = nullptr;
    allocator_ = nullptr;
    clearConnection();
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
    releaseConnection();
    connectionChanged();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE OutputPin::EndOfStream() { return E_UNEXPECTED; }
HRESULT STDMETHODCALLTYPE OutputPin::BeginFlush() { return E_UNEXPECTED; }
HRESULT STDMETHODCALLTYPE OutputPin::EndFlush() { return E_UNEXPECTED; }
HRESULT STDMETHODCALLTYPE OutputPin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return S_OK; }

HRESULT OutputPin::commitAllocator()
{
    return allocator_ ? allocator_->Commit() : S_OK;
}

void OutputPin::decommitAllocator()
{
    if (allocator_) ignore_result(allocator_->Decommit(), "a failed Decommit shows at the next Commit");
}

} // namespace quilo::kit
