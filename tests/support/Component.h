// The component as a host gets it: activated through the registry.
#pragma once

#include <windows.h>

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

// Bytes between rows of an RGB24 frame.
inline long rgb24_stride(long width) { return (width * 3 + 3) & ~3L; }

} // namespace quilo::test
