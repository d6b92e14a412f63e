// The analog video standards by the names the component takes and gives (exact spelling).
#pragma once

namespace quilo::host {

constexpr int kVideoStandardCount = 19;
extern const char *const kVideoStandardNames[kVideoStandardCount];

// What GetVideoStandParam answers for a device without an analog video decoder.
constexpr char kNoVideoStandard[] = "None Video";

} // namespace quilo::host
