/* Hosts bind to the interface by slot. Built in C so the header's explicit vtable layout is
 * visible: the build fails if the IDL ever moves, adds or drops a method. */
#include <stddef.h>
#include "QuiloVideo.h"

#define SLOT(m) (offsetof(ICQuiloVideoProcVtbl, m) / sizeof(void *))
#define EXPECT_SLOT(m, n) _Static_assert(SLOT(m) == (n), #m " must be in slot " #n)

EXPECT_SLOT(QueryInterface, 0);
EXPECT_SLOT(AddRef, 1);
EXPECT_SLOT(Release, 2);
EXPECT_SLOT(createCapture, 3);
EXPECT_SLOT(Grab, 4);
EXPECT_SLOT(destroyCapture, 5);
EXPECT_SLOT(startCapture, 6);
EXPECT_SLOT(GetCameraBrightnessParam, 7);
EXPECT_SLOT(GetCameraContrastParam, 8);
EXPECT_SLOT(GetCameraHueParam, 9);
EXPECT_SLOT(GetCameraSaturationParam, 10);
EXPECT_SLOT(GetCameraSharpnessParam, 11);
EXPECT_SLOT(GetCameraWhiteBlanceParam, 12);
EXPECT_SLOT(GetCameraBacklightCompensationParam, 13);
EXPECT_SLOT(GetVideoStandParam, 14);
EXPECT_SLOT(IsCameraSupportBrightness, 15);
EXPECT_SLOT(IsCameraSupportContrast, 16);
EXPECT_SLOT(IsCaneraSupportHue, 17);
EXPECT_SLOT(IsCameraSupportSaturation, 18);
EXPECT_SLOT(IsCameraSupportSharpness, 19);
EXPECT_SLOT(IsCameraSupportGamma, 20);
EXPECT_SLOT(IsCameraSupportWhiteBalance, 21);
EXPECT_SLOT(IsCameraSupportBacklightCompensation, 22);
EXPECT_SLOT(SetCameraBrightnessParam, 23);
EXPECT_SLOT(SetCameraContrastParam, 24);
EXPECT_SLOT(SetCameraHueParam, 25);
EXPECT_SLOT(SetCameraSaturationParam, 26);
EXPECT_SLOT(SetCameraSharpnessParam, 27);
EXPECT_SLOT(SetCameraGammaParam, 28);
EXPECT_SLOT(SetCameraWhiteBalance, 29);
EXPECT_SLOT(SetCameraBlacklightCompansationParam, 30);
EXPECT_SLOT(SetVideoStandParam, 31);
_Static_assert(sizeof(ICQuiloVideoProcVtbl) == 32 * sizeof(void *), "32 slots: IUnknown and 29 methods");
/* Four 4-byte numbers, then the pointer: 20 bytes for 32-bit hosts, 24 (8-byte aligned) for
 * 64-bit ones. */
_Static_assert(offsetof(struct QuiloImageStruct, data) == 16, "data follows the four numbers");
_Static_assert(sizeof(struct QuiloImageStruct) == (sizeof(void *) == 8 ? 24 : 20), "the record is 20 or 24 bytes");
