#include "testcam/StillPin.h"

#include <uuids.h>
#include <vfwmsgs.h>
#include <cstring>

#include "common/HResult.h"
#include "testcam/kit/PinCategory.h"
#include "common/InterfaceTable.h"
#include "dshow/VideoFormat.h"

namespace quilo::testcam {

HRESULT StillPin::checkMediaType(const AM_MEDIA_TYPE &mt)
{
    const BITMAPINFOHEADER *bih = dshow::bitmap_header(mt);
    return IsEqualGUID(mt.majortype, MEDIATYPE_Video) && IsEqualGUID(mt.subtype, MEDIASUBTYPE_RGB24) && bih &&
                   bih->biWidth == options_.width && bih->biHeight == options_.height
               ? S_OK
               : S_FALSE;
}

HRESULT StillPin::mediaType(ULONG index, AM_MEDIA_TYPE &mt)
{
    if (index > 0) return VFW_S_NO_MORE_ITEMS;
    return dshow::make_rgb24_type(options_.width, options_.height, 0, dshow::VideoHeader::Info, mt);
}

HRESULT StillPin::bufferNeeds(const AM_MEDIA_TYPE &mt, ALLOCATOR_PROPERTIES &props)
{
    const BITMAPINFOHEADER *bih = dshow::bitmap_header(mt);
    RETURN_HR_IF_NULL(VFW_E_INVALIDMEDIATYPE, bih);
    props.cBuffers = 1;
    props.cbBuffer = static_cast<long>(dshow::rgb24_image_size(bih->biWidth, bih->biHeight));
    return S_OK;
}

HRESULT StillPin::queryExtra(REFIID iid, void **out)
{
    return answer_query(iid, out, {{&IID_IKsPropertySet, static_cast<IKsPropertySet *>(this)}});
}

} // namespace quilo::testcam
