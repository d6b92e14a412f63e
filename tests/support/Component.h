// The component as a host gets it: activated through the registry.
#pragma once

#include <windows.h>
#include <string>

#include "QuiloVideoClass.h"
#include "common/ComPtr.h"

namespace quilo::test {

// CoCreateInstance of the registered class, asking for its interface; the class table with
// the extra gamma slot is the view of a host that declares one more method.
ComPtr<ICQuiloVideoProcClass> create_component();
// The same object through the module's own class object, without the registry or apartments.
ComPtr<ICQuiloVideoProcClass> create_component_from_module();

// Raw call of createCapture with 32-bit arguments in the two boolean slots, as a host written
// in another language may pass them.
HRESULT create_capture_raw(ICQuiloVideoProc *object, LONG deviceID, LONG flip, LONG setCameraParam,
                           LONG width, LONG height);

// How long a Grab waits for a frame before VFW_E_TIMEOUT, as README documents it.
constexpr DWORD kGrabBoundMs = 8000;

// The test camera's sequence number in the frame of a Grab record (rows `topRowFirst` or not,
// RGB24 rows padded to 4 bytes), or -1 with the reason in *why.
long record_number(const QuiloImageStruct &rec, bool topRowFirst, int tag, std::string *why = nullptr);
// The same, failing the test (with the reason) unless the frame is the camera's picture.
long good_number(const QuiloImageStruct &rec, bool topRowFirst, int tag);

// Bytes between rows of an RGB24 frame.
inline long rgb24_stride(long width) { return (width * 3 + 3) & ~3L; }

} // namespace quilo::test
