#include "capture/VideoStandard.h"

namespace quilo::capture {

long video_standard_value(const char *) noexcept { return 0; }
const char *video_standard_name(long) noexcept { return nullptr; }
HRESULT get_video_standard(IAMAnalogVideoDecoder *, unsigned char *) { return E_NOTIMPL; }
HRESULT set_video_standard(IAMAnalogVideoDecoder *, const unsigned char *) { return E_NOTIMPL; }

} // namespace quilo::capture
