// An output pin that pushes samples through IMemInputPin: connection, media type negotiation
// and the allocator it creates itself. A concrete pin says which types it offers and accepts.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <string>

#include "common/ComPtr.h"
#include "common/MediaType.h"
#include "testcam/kit/EnumMediaTypes.h"

namespace quilo::kit {

class BaseFilter;

// The parts of a connection that a streaming thread uses, copied under the filter lock.
struct Connection
{
    ComPtr<IPin> peer;
    ComPtr<IMemInputPin> input;
    ComPtr<IMemAllocator> allocator;
};

class OutputPin : public IPin, protected MediaTypeList
{
public:
    OutputPin(const OutputPin &) = delete;
    OutputPin &operator=(const OutputPin &) = delete;

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

    // Under the filter lock.
    bool isConnected() const noexcept { return static_cast<bool>(connection_.peer); }
    const AM_MEDIA_TYPE &connectionType() const noexcept { return *mt_.get(); }
    const Connection &connection() const noexcept { return connection_; }
    // Commit on leaving Stopped, decommit on entering it; decommit also wakes a streaming
    // thread that waits for a buffer.
    HRESULT commitAllocator();
    void decommitAllocator();

protected:
    OutputPin(BaseFilter &filter, const wchar_t *name);
    virtual ~OutputPin();

    // S_OK when the pin can deliver this (complete) media type.
    virtual HRESULT checkMediaType(const AM_MEDIA_TYPE &mt) = 0;
    // Buffers the pin needs for a connection of this type (cbAlign and cbPrefix may be 0).
    virtual HRESULT bufferNeeds(const AM_MEDIA_TYPE &mt, ALLOCATOR_PROPERTIES &props) = 0;
    // Interfaces beyond IPin; `out` is already null.
    virtual HRESULT queryExtra(REFIID iid, void **out);
    // After a connection was made or broken, under the filter lock.
    virtual void connectionChanged() {}

    BaseFilter &filter_;

private:
    HRESULT attempt(IPin *receiver, const AM_MEDIA_TYPE &mt);
    HRESULT createAllocator(IMemInputPin *input, const AM_MEDIA_TYPE &mt, ComPtr<IMemAllocator> &allocator);
    void clearConnection();

    const std::wstring name_;
    Connection connection_;
    MediaType mt_;
};

// True when `candidate` matches every non-null GUID of `partial` (a null `partial` matches all).
bool matches_partial_type(const AM_MEDIA_TYPE *partial, const AM_MEDIA_TYPE &candidate) noexcept;
// True when major type, subtype and format type are all given.
bool is_complete_type(const AM_MEDIA_TYPE &mt) noexcept;

} // namespace quilo::kit
