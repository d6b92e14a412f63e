// What input and output pins share: the filter they belong to, their direction and name, the
// peer and media type of their connection, and the IPin methods that only read those. Each
// direction adds how a connection is made and what flows through it.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <string>

#include "common/ComPtr.h"
#include "dshow/MediaType.h"
#include "testcam/kit/EnumMediaTypes.h"

namespace quilo::kit {

class BaseFilter;

class Pin : public IPin, protected MediaTypeList
{
public:
    Pin(const Pin &) = delete;
    Pin &operator=(const Pin &) = delete;

    // IUnknown: the pin lives as long as its filter and shares its reference count.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IPin, alike in both directions
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin **pin) override;
    HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE *mt) override;
    HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO *info) override;
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION *direction) override;
    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR *id) override;
    HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE *mt) override;
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes **types) override;
    HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin **pins, ULONG *count) override;

    // Under the filter lock.
    bool isConnected() const noexcept { return static_cast<bool>(peer_); }
    const ComPtr<IPin> &peer() const noexcept { return peer_; }
    const AM_MEDIA_TYPE &connectionType() const noexcept { return *mt_.get(); }

protected:
    Pin(BaseFilter &filter, PIN_DIRECTION direction, const wchar_t *name);
    virtual ~Pin();

    // S_OK when the pin takes (input) or can deliver (output) this media type.
    virtual HRESULT checkMediaType(const AM_MEDIA_TYPE &mt) = 0;
    // Interfaces beyond IPin; `out` is already null.
    virtual HRESULT queryExtra(REFIID iid, void **out);
    // Under the filter lock: the type is copied before the peer is set, so a peer that asks
    // about the connection while it accepts it already sees the type.
    HRESULT setConnection(IPin *peer, const AM_MEDIA_TYPE &mt);
    void clearConnection();

    BaseFilter &filter_;

private:
    const PIN_DIRECTION direction_;
    const std::wstring name_;
    ComPtr<IPin> peer_;
    MediaType mt_;
};

} // namespace quilo::kit
