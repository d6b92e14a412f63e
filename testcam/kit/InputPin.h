// An input pin that takes samples through IMemInputPin, for sink filters (the tests build
// their own renderers from it). A concrete pin says which types it accepts and what it does
// with each sample.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <string>

#include "common/ComPtr.h"
#include "common/MediaType.h"
#include "testcam/kit/EnumMediaTypes.h"

namespace quilo::kit {

class BaseFilter;

class InputPin : public IPin, public IMemInputPin, protected MediaTypeList
{
public:
    InputPin(const InputPin &) = delete;
    InputPin &operator=(const InputPin &) = delete;

    // IUnknown: the pin lives as long as its filter and shares its reference count.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IPin
    HRESULT STDMETHODCALLTYPE Connect(IPin *receiver, const AM_MEDIA_TYPE *mt) override;
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin *connector, const AM_MEDIA_TYPE *mt) override;
    HRESULT STDMETHODCALLTYPE Disconnect() override;
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin **pin) override;
    HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE *mt) override;
    HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO *info) override;
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION *direction) override;
    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR *id) override;
    HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE *mt) override;
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes **types) override;
    HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin **pins, ULONG *count) override;
    HRESULT STDMETHODCALLTYPE EndOfStream() override;
    HRESULT STDMETHODCALLTYPE BeginFlush() override;
    HRESULT STDMETHODCALLTYPE EndFlush() override;
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
    // IMemInputPin
    HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator **allocator) override;
    HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator *allocator, BOOL readOnly) override;
    HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES *props) override;
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample *sample) override;
    HRESULT STDMETHODCALLTYPE ReceiveMultiple(IMediaSample **samples, LONG count, LONG *processed) override;
    HRESULT STDMETHODCALLTYPE ReceiveCanBlock() override;

    // Under the filter lock.
    bool isConnected() const noexcept { return static_cast<bool>(peer_); }
    const AM_MEDIA_TYPE &connectionType() const noexcept { return *mt_.get(); }

protected:
    InputPin(BaseFilter &filter, const wchar_t *name);
    virtual ~InputPin();

    // S_OK when the pin takes this media type.
    virtual HRESULT checkMediaType(const AM_MEDIA_TYPE &mt) = 0;
    // A sample while the filter is paused or running and not flushing; called on the
    // upstream filter's streaming thread without the filter lock.
    virtual HRESULT receive(IMediaSample *sample) = 0;
    virtual HRESULT endOfStream() { return S_OK; }
    // Offers no types of its own by default.
    HRESULT mediaType(ULONG index, AM_MEDIA_TYPE &mt) override;

    BaseFilter &filter_;

private:
    const std::wstring name_;
    ComPtr<IPin> peer_;
    ComPtr<IMemAllocator> allocator_;
    MediaType mt_;
    volatile LONG flushing_ = 0;
};

} // namespace quilo::kit
