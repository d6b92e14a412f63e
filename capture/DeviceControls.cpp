#include "capture/DeviceControls.h"

#include "capture/CaptureFormat.h"
#include "dshow/CrossbarRouting.h"
#include "common/HResult.h"

namespace quilo::capture {

HRESULT DeviceControls::createBuilder(Platform &platform)
{
    return platform.createInstance(CLSID_CaptureGraphBuilder2, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                                   builder_.put_void());
}

void DeviceControls::searchGraph(IGraphBuilder *graph)
{
    ignore_result(builder_->SetFiltergraph(graph),
                  "the builder only searches this graph for a crossbar; a failure shows as none found");
}

HRESULT DeviceControls::find(IBaseFilter *captureFilter, bool needProcAmp)
{
    // Analog capture cards put the crossbar on an interleaved or a video capture pin's path.
    if (builder_->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Interleaved, captureFilter, IID_IAMCrossbar,
                                crossbar_.put_void()) != S_OK)
        ignore_result(builder_->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, captureFilter,
                                              IID_IAMCrossbar, crossbar_.put_void()),
                      "no crossbar is the answer for every camera that is not analog hardware");
    // The builder holds the graph: kept, it would keep the graph and every filter in it alive
    // after destroyCapture. Nothing asks it anything after this search.
    builder_.reset();
    if (crossbar_) {
        // A refused route leaves the crossbar as it was; capture goes on from its current input.
        RETURN_IF_FAILED(dshow::routeCrossbar(crossbar_.get()));
        RETURN_IF_FAILED(captureFilter->QueryInterface(IID_IAMAnalogVideoDecoder, decoder_.put_void()));
    }
    const HRESULT procAmp = captureFilter->QueryInterface(IID_IAMVideoProcAmp, procAmp_.put_void());
    ignore_result(captureFilter->QueryInterface(IID_IAMCameraControl, cameraControl_.put_void()),
                  "most webcams and every capture card have no camera control: no such controls then");
    return needProcAmp ? procAmp : S_OK;
}

HRESULT DeviceControls::applyFrameSize(Platform &platform, IPin *capturePin, LONG width, LONG height)
{
    return capture::applyFrameSize(platform, capturePin, width, height);
}

void DeviceControls::release()
{
    cameraControl_.reset();
    procAmp_.reset();
    decoder_.reset();
    crossbar_.reset();
    builder_.reset();
}

} // namespace quilo::capture
