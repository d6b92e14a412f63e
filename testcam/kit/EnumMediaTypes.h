// IEnumMediaTypes over the media types a kit pin offers.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "common/ComPtr.h"
#include "testcam/kit/Enumerator.h"

namespace quilo::kit {

// What a pin offers, by position; implemented by the kit's pins.
class MediaTypeList
{
public:
    // S_OK and a filled (empty on entry) media type, or VFW_S_NO_MORE_ITEMS past the end.
    virtual HRESULT mediaType(ULONG index, AM_MEDIA_TYPE &mt) = 0;

protected:
    ~MediaTypeList() = default;
};

// The types of one pin, handed out as copies. Holds the pin (and so its filter), which owns
// `list`. Takes no lock: downstream filters enumerate on the streaming thread.
struct PinMediaTypes
{
    using Interface = IEnumMediaTypes;
    using Item = AM_MEDIA_TYPE *;
    static const IID &iid() { return IID_IEnumMediaTypes; }

    template <typename Walk>
    HRESULT guarded(Walk walk) const
    {
        return walk();
    }
    bool has(ULONG index) const;
    HRESULT get(ULONG index, AM_MEDIA_TYPE *&mt) const;
    static void drop(AM_MEDIA_TYPE *mt);

    ComPtr<IPin> pin;
    MediaTypeList *list;
};

using MediaTypeEnumerator = Enumerator<PinMediaTypes>;

} // namespace quilo::kit
