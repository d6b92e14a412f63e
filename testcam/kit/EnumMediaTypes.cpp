#include "testcam/kit/EnumMediaTypes.h"

#include <objbase.h>
#include <new>

#include "common/HResult.h"
#include "common/MediaType.h"

namespace quilo::kit {

MediaTypeEnumerator::MediaTypeEnumerator(IPin *pin, MediaTypeList &list, ULONG position)
    : pin_(pin), list_(list), position_(static_cast<LONG>(position))
{
    pin_->AddRef();
}

MediaTypeEnumerator::~MediaTypeEnumerator() { pin_->Release(); }

HRESULT STDMETHODCALLTYPE MediaTypeEnumerator::QueryInterface(REFIID iid, void **out)
{
    return answer_query(iid, out, {{&IID_IUnknown, this}, {&IID_IEnumMediaTypes, this}});
}

ULONG STDMETHODCALLTYPE MediaTypeEnumerator::AddRef() { return InterlockedIncrement(&refs_); }

ULONG STDMETHODCALLTYPE MediaTypeEnumerator::Release()
{
    const ULONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) delete this;
    return refs;
}

HRESULT STDMETHODCALLTYPE MediaTypeEnumerator::Next(ULONG count, AM_MEDIA_TYPE **types, ULONG *fetched)
{
    if (fetched) *fetched = 0;
    RETURN_HR_IF_NULL(E_POINTER, types);
    RETURN_HR_IF(E_INVALIDARG, count > 1 && !fetched);
    ULONG got = 0;
    while (got < count) {
        MediaType mt;
        if (list_.mediaType(static_cast<ULONG>(position_), *mt.get()) != S_OK) break;
        AM_MEDIA_TYPE *copy = create_media_type_copy(*mt.get());
        if (!copy) {
            while (got > 0) delete_media_type(types[--got]);
            return E_OUTOFMEMORY;
        }
        types[got++] = copy;
        InterlockedIncrement(&position_);
    }
    if (fetched) *fetched = got;
    return got == count ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE MediaTypeEnumerator::Skip(ULONG count)
{
    for (ULONG i = 0; i < count; ++i) {
        MediaType mt;
        if (list_.mediaType(static_cast<ULONG>(position_), *mt.get()) != S_OK) return S_FALSE;
        InterlockedIncrement(&position_);
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaTypeEnumerator::Reset()
{
    position_ = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaTypeEnumerator::Clone(IEnumMediaTypes **clone)
{
    RETURN_HR_IF_NULL(E_POINTER, clone);
    *clone = new (std::nothrow) MediaTypeEnumerator(pin_, list_, static_cast<ULONG>(position_));
    return *clone ? S_OK : E_OUTOFMEMORY;
}

} // namespace quilo::kit
