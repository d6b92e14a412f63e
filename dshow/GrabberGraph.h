// The graph every host of the platform's sample grabber builds: a capture source, the sample
// grabber asking for RGB24 video, and a null renderer behind it. The component, the benchmark's
// reference, the test camera's rate tool and the tests all build it here.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <qedit.h>
#include <functional>

#include "common/ComPtr.h"

namespace quilo::dshow {

// How objects are created: CoCreateInstance, or the component's platform seam.
using CreateInstance = std::function<HRESULT(REFCLSID clsid, DWORD context, REFIID iid, void **out)>;
HRESULT co_create_instance(REFCLSID clsid, DWORD context, REFIID iid, void **out);

// The grabber and the renderer, which own nothing of the graph they are added to.
struct GrabberFilters
{
    // Creates the grabber, adds it ("Grabber"), asks it for RGB24 video with any format block,
    // then creates and adds the null renderer ("NullRenderer"), in that order.
    HRESULT add(IGraphBuilder *graph, const CreateInstance &create = co_create_instance);
    // Connects `source` to the grabber's free input pin (VFW_E_NOT_FOUND without either), then
    // the grabber to the renderer. The renderer only gives the grabber's output somewhere to go:
    // its connection's failure counts only when `rendererRequired`.
    HRESULT connect(IGraphBuilder *graph, IPin *source, bool rendererRequired) const;
    // Releases the grabber before the filters, as the component's teardown does.
    void reset();

    ComPtr<IBaseFilter> grabberFilter;
    ComPtr<ISampleGrabber> grabber;
    ComPtr<IBaseFilter> renderer;
};

// The whole graph on its own: a new filter graph holding `source` ("Capture Filter") and the
// grabber filters, connected from `sourcePin` (null: the source's first output pin).
struct GrabberGraph
{
    HRESULT build(IBaseFilter *source, IPin *sourcePin = nullptr);

    ComPtr<IGraphBuilder> graph;
    ComPtr<IMediaControl> control;
    ComPtr<IMediaEvent> events;
    ComPtr<IBaseFilter> source;
    GrabberFilters filters;
};

} // namespace quilo::dshow
