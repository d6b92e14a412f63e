#include "dshow/GrabberGraph.h"

#include <uuids.h>
#include <vfwmsgs.h>

#include "dshow/DirectShowIds.h"
#include "common/HResult.h"
#include "dshow/MediaType.h"
#include "dshow/PinSearch.h"

namespace quilo::dshow {

HRESULT co_create_instance(REFCLSID clsid, DWORD context, REFIID iid, void **out)
{
    return CoCreateInstance(clsid, nullptr, context, iid, out);
}

HRESULT GrabberFilters::add(IGraphBuilder *graph, const CreateInstance &create)
{
    RETURN_IF_FAILED(create(kClsidSampleGrabber, CLSCTX_INPROC_SERVER, IID_IBaseFilter, grabberFilter.put_void()));
    RETURN_IF_FAILED(grabberFilter.query(grabber));
    RETURN_IF_FAILED(graph->AddFilter(grabberFilter.get(), L"Grabber"));
    {
        // RGB24 video with any format block; nothing else is asked of the connection.
        MediaType rgb24;
        rgb24->majortype = MEDIATYPE_Video;
        rgb24->subtype = MEDIASUBTYPE_RGB24;
        RETURN_IF_FAILED(grabber->SetMediaType(rgb24.get()));
    }
    RETURN_IF_FAILED(create(kClsidNullRenderer, CLSCTX_INPROC_SERVER, IID_IBaseFilter, renderer.put_void()));
    return graph->AddFilter(renderer.get(), L"NullRenderer");
}

HRESULT GrabberFilters::connect(IGraphBuilder *graph, IPin *source, bool rendererRequired) const
{
    const ComPtr<IPin> grabberIn = findFreeInputPin(grabberFilter.get());
    RETURN_HR_IF(VFW_E_NOT_FOUND, !source || !grabberIn);
    RETURN_IF_FAILED(graph->Connect(source, grabberIn.get()));

    const ComPtr<IPin> grabberOut = findOutputPin(grabberFilter.get());
    const ComPtr<IPin> rendererIn = findInputPin(renderer.get());
    if (!rendererRequired) {
        if (grabberOut && rendererIn)
            ignore_result(graph->Connect(grabberOut.get(), rendererIn.get()),
                          "the renderer only gives the grabber's output somewhere to go; the grabber calls back either way");
        return S_OK;
    }
    RETURN_HR_IF(VFW_E_NOT_FOUND, !grabberOut || !rendererIn);
    return graph->Connect(grabberOut.get(), rendererIn.get());
}

void GrabberFilters::reset()
{
    grabber.reset();
    grabberFilter.reset();
    renderer.reset();
}

HRESULT GrabberGraph::build(IBaseFilter *filter, IPin *sourcePin)
{
    RETURN_HR_IF(E_POINTER, !filter);
    source = ComPtr<IBaseFilter>(filter);
    RETURN_IF_FAILED(co_create_instance(CLSID_FilterGraph, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.put_void()));
    RETURN_IF_FAILED(graph.query(control));
    RETURN_IF_FAILED(graph.query(IID_IMediaEvent, events));
    RETURN_IF_FAILED(graph->AddFilter(source.get(), L"Capture Filter"));
    RETURN_IF_FAILED(filters.add(graph.get()));
    const ComPtr<IPin> out = sourcePin ? ComPtr<IPin>(sourcePin) : findOutputPin(source.get());
    return filters.connect(graph.get(), out.get(), true);
}

} // namespace quilo::dshow
