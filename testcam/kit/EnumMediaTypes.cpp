#include "testcam/kit/EnumMediaTypes.h"

#include "dshow/MediaType.h"

namespace quilo::kit {

bool PinMediaTypes::has(ULONG index) const
{
    MediaType mt;
    return list->mediaType(index, *mt.get()) == S_OK;
}

HRESULT PinMediaTypes::get(ULONG index, AM_MEDIA_TYPE *&mt) const
{
    MediaType offered;
    if (list->mediaType(index, *offered.get()) != S_OK) return S_FALSE;
    mt = create_media_type_copy(*offered.get());
    return mt ? S_OK : E_OUTOFMEMORY;
}

void PinMediaTypes::drop(AM_MEDIA_TYPE *mt) { delete_media_type(mt); }

} // namespace quilo::kit
