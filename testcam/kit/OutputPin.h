// An output pin that pushes samples through IMemInputPin: connection, media type negotiation
// and the allocator it creates itself. A concrete pin says which types it offers and accepts.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "common/ComPtr.h"
#include "testcam/kit/Pin.h"

namespace quilo::kit {

class OutputPin : public Pin
{
public:
    // IPin
    HRESULT STDMETHODCALLTYPE Connect(IPin *receiver, const AM_MEDIA_TYPE *mt) override;
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin *connector, const AM_MEDIA_TYPE *mt) override;
    HRESULT STDMETHODCALLTYPE Disconnect() override;
    HRESULT STDMETHODCALLTYPE EndOfStream() override;
    HRESULT STDMETHODCALLTYPE BeginFlush() override;
    HRESULT STDMETHODCALLTYPE EndFlush() override;
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    // Under the filter lock; a streaming thread gets copies of them (and of the peer).
    const ComPtr<IMemInputPin> &input() const noexcept { return input_; }
    const ComPtr<IMemAllocator> &allocator() const noexcept { return allocator_; }
    // Commit on leaving Stopped, decommit on entering it; decommit also wakes a streaming
    // thread that waits for a buffer.
    HRESULT commitAllocator();
    void decommitAllocator();

protected:
    OutputPin(BaseFilter &filter, const wchar_t *name);
    ~OutputPin() override;

    // Buffers the pin needs for a connection of this type (cbAlign and cbPrefix may be 0).
    virtual HRESULT bufferNeeds(const AM_MEDIA_TYPE &mt, ALLOCATOR_PROPERTIES &props) = 0;
    // After a connection was made or broken, under the filter lock.
    virtual void connectionChanged() {}

private:
    HRESULT attempt(IPin *receiver, const AM_MEDIA_TYPE &mt);
    HRESULT createAllocator(IMemInputPin *input, const AM_MEDIA_TYPE &mt, ComPtr<IMemAllocator> &allocator);
    void releaseConnection();

    ComPtr<IMemInputPin> input_;
    ComPtr<IMemAllocator> allocator_;
};

// True when `candidate` matches every non-null GUID of `partial` (a null `partial` matches all).
bool matches_partial_type(const AM_MEDIA_TYPE *partial, const AM_MEDIA_TYPE &candidate) noexcept;
// True when major type, subtype and format type are all given.
bool is_complete_type(const AM_MEDIA_TYPE &mt) noexcept;

} // namespace quilo::kit
