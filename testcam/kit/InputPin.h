// An input pin that takes samples through IMemInputPin, for sink filters (the tests build
// their own renderers from it). A concrete pin says which types it accepts and what it does
// with each sample.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "common/ComPtr.h"
#include "testcam/kit/Pin.h"

namespace quilo::kit {

class InputPin : public Pin, public IMemInputPin
{
public:
    // IUnknown, shared by both interfaces of the pin.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override { return Pin::QueryInterface(iid, out); }
    ULONG STDMETHODCALLTYPE AddRef() override { return Pin::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return Pin::Release(); }
    // IPin
    HRESULT STDMETHODCALLTYPE Connect(IPin *receiver, const AM_MEDIA_TYPE *mt) override;
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin *connector, const AM_MEDIA_TYPE *mt) override;
    HRESULT STDMETHODCALLTYPE Disconnect() override;
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

protected:
    InputPin(BaseFilter &filter, const wchar_t *name);
    ~InputPin() override;

    // A sample while the filter is paused or running and not flushing; called on the
    // upstream filter's streaming thread without the filter lock.
    virtual HRESULT receive(IMediaSample *sample) = 0;
    virtual HRESULT endOfStream() { return S_OK; }
    // Offers no types of its own by default.
    HRESULT mediaType(ULONG index, AM_MEDIA_TYPE &mt) override;
    // IMemInputPin.
    HRESULT queryExtra(REFIID iid, void **out) override;

private:
    ComPtr<IMemAllocator> allocator_;
    volatile LONG flushing_ = 0;
};

} // namespace quilo::kit
