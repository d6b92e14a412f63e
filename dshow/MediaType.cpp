#include "MediaType.h"

#include <objbase.h>
#include <cstring>

namespace quilo {

void free_media_type_members(AM_MEDIA_TYPE &mt) noexcept
{
    if (mt.cbFormat != 0 || mt.pbFormat != nullptr)
        CoTaskMemFree(mt.pbFormat);
    mt.cbFormat = 0;
    mt.pbFormat = nullptr;
    if (mt.pUnk) {
        mt.pUnk->Release();
        mt.pUnk = nullptr;
    }
}

void delete_media_type(AM_MEDIA_TYPE *mt) noexcept
{
    if (!mt) return;
    free_media_type_members(*mt);
    CoTaskMemFree(mt);
}

HRESULT copy_media_type(AM_MEDIA_TYPE &dst, const AM_MEDIA_TYPE &src) noexcept
{
    dst = src;
    dst.pbFormat = nullptr;
    dst.cbFormat = 0;
    if (src.cbFormat != 0 && src.pbFormat != nullptr) {
        dst.pbFormat = static_cast<BYTE *>(CoTaskMemAlloc(src.cbFormat));
        if (!dst.pbFormat) {
            dst = AM_MEDIA_TYPE();
            return E_OUTOFMEMORY;
        }
        std::memcpy(dst.pbFormat, src.pbFormat, src.cbFormat);
        dst.cbFormat = src.cbFormat;
    }
    if (dst.pUnk) dst.pUnk->AddRef();
    return S_OK;
}

AM_MEDIA_TYPE *create_media_type_copy(const AM_MEDIA_TYPE &src) noexcept
{
    auto *mt = static_cast<AM_MEDIA_TYPE *>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (!mt) return nullptr;
    if (FAILED(copy_media_type(*mt, src))) {
        CoTaskMemFree(mt);
        return nullptr;
    }
    return mt;
}

} // namespace quilo
