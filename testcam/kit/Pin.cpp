#include "testcam/kit/Pin.h"

#include <vfwmsgs.h>
#include <algorithm>
#include <cstring>
#include <new>

#include "common/HResult.h"
#include "testcam/kit/BaseFilter.h"

namespace quilo::kit {

Pin::Pin(BaseFilter &filter, PIN_DIRECTION direction, const wchar_t *name)
    : filter_(filter), direction_(direction), name_(name)
{
}

Pin::~Pin() = default;

// QueryInterface, QueryAccept and EnumMediaTypes take no lock: downstream filters call them on
// the streaming thread while Stop holds the filter lock and waits for that thread.
HRESULT STDMETHODCALLTYPE Pin::QueryInterface(REFIID iid, void **out)
{
    HRESULT hr = answer_query(iid, out, {{&IID_IUnknown, this}, {&IID_IPin, this}});
    if (hr == E_NOINTERFACE) hr = queryExtra(iid, out);
    return hr;
}

ULONG STDMETHODCALLTYPE Pin::AddRef() { return filter_.AddRef(); }
ULONG STDMETHODCALLTYPE Pin::Release() { return filter_.Release(); }

HRESULT Pin::queryExtra(REFIID, void **) { return E_NOINTERFACE; }

HRESULT Pin::setConnection(IPin *peer, const AM_MEDIA_TYPE &mt)
{
    RETURN_IF_FAILED(copy_media_type(*mt_.get(), mt));
    peer_ = ComPtr<IPin>(peer);
    return S_OK;
}

void Pin::clearConnection()
{
    peer_ = nullptr;
    mt_.clear();
    *mt_.get() = AM_MEDIA_TYPE();
}

HRESULT STDMETHODCALLTYPE Pin::ConnectedTo(IPin **pin)
{
    RETURN_HR_IF_NULL(E_POINTER, pin);
    Lock lock(filter_.lock());
    peer_.copy_to(pin);
    return *pin ? S_OK : VFW_E_NOT_CONNECTED;
}

HRESULT STDMETHODCALLTYPE Pin::ConnectionMediaType(AM_MEDIA_TYPE *mt)
{
    RETURN_HR_IF_NULL(E_POINTER, mt);
    Lock lock(filter_.lock());
    if (!isConnected()) {
        *mt = AM_MEDIA_TYPE();
        return VFW_E_NOT_CONNECTED;
    }
    return copy_media_type(*mt, *mt_.get());
}

HRESULT STDMETHODCALLTYPE Pin::QueryPinInfo(PIN_INFO *info)
{
    RETURN_HR_IF_NULL(E_POINTER, info);
    info->pFilter = &filter_;
    filter_.AddRef();
    info->dir = direction_;
    const size_t capacity = sizeof(info->achName) / sizeof(info->achName[0]);
    const size_t length = std::min(name_.size(), capacity - 1);
    std::memcpy(info->achName, name_.c_str(), length * sizeof(wchar_t));
    info->achName[length] = L'\0';
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Pin::QueryDirection(PIN_DIRECTION *direction)
{
    RETURN_HR_IF_NULL(E_POINTER, direction);
    *direction = direction_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Pin::QueryId(LPWSTR *id) { return duplicate_string(name_.c_str(), id); }

HRESULT STDMETHODCALLTYPE Pin::QueryAccept(const AM_MEDIA_TYPE *mt)
{
    RETURN_HR_IF_NULL(E_POINTER, mt);
    return checkMediaType(*mt) == S_OK ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE Pin::EnumMediaTypes(IEnumMediaTypes **types)
{
    RETURN_HR_IF_NULL(E_POINTER, types);
    *types = new (std::nothrow) MediaTypeEnumerator(PinMediaTypes{ComPtr<IPin>(this), this}, 0);
    return *types ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE Pin::QueryInternalConnections(IPin **, ULONG *) { return E_NOTIMPL; }

} // namespace quilo::kit
