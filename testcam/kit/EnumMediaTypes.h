// IEnumMediaTypes over the media types a kit pin offers.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "testcam/kit/ComTable.h"

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

class MediaTypeEnumerator final : public IEnumMediaTypes
{
public:
    // Holds a reference to `pin` (and so to its filter), which owns `list`.
    MediaTypeEnumerator(IPin *pin, MediaTypeList &list, ULONG position);
    MediaTypeEnumerator(const MediaTypeEnumerator &) = delete;
    MediaTypeEnumerator &operator=(const MediaTypeEnumerator &) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Next(ULONG count, AM_MEDIA_TYPE **types, ULONG *fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes **clone) override;

private:
    ~MediaTypeEnumerator();

    LiveObject live_;
    volatile LONG refs_ = 1;
    IPin *pin_;
    MediaTypeList &list_;
    volatile LONG position_;
};

} // namespace quilo::kit
