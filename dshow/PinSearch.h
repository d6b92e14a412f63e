// Finding a filter's pins by direction, in the filter's own order: one search for the component,
// the benchmark, the test camera's tools and the tests.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "common/ComPtr.h"

namespace quilo::dshow {

// First output/input pin that has no peer yet; empty when there is none.
ComPtr<IPin> findFreeOutputPin(IBaseFilter *filter);
ComPtr<IPin> findFreeInputPin(IBaseFilter *filter);
// First output/input pin, connected or not; empty when there is none.
ComPtr<IPin> findOutputPin(IBaseFilter *filter);
ComPtr<IPin> findInputPin(IBaseFilter *filter);
// The free output pin whose category (IKsPropertySet, AMPROPERTY_PIN_CATEGORY) is
// PIN_CATEGORY_CAPTURE; else the first free output pin, as for a device that names no category.
ComPtr<IPin> findCapturePin(IBaseFilter *filter);

} // namespace quilo::dshow
