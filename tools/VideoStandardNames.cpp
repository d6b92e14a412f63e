#include "tools/VideoStandardNames.h"

namespace quilo::host {

const char *const kVideoStandardNames[kVideoStandardCount] = {
    "NTSC_M",  "NTSC_J",  "NTSC_433", "PAL_B",   "PAL_D",   "PAL_G",    "PAL_H",
    "PAL_I",   "PAL_M",   "PAL_N",    "PAL_60",  "SECAM_B", "SECAM_D",  "SECAM_G",
    "SECAM_H", "SECAM_K", "SECAM_K1", "SECAM_L", "SECAM_L1",
};

} // namespace quilo::host
