// The per-object capture context: the DirectShow graph from one capture device through an
// RGB24 sample grabber into a null renderer, with the flags, frame buffer and image header
// that frame delivery uses.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <qedit.h>

#include "capture/Platform.h"
#include "common/ComPtr.h"
#include "frame/FrameBuffer.h"
#include "frame/ImageHeader.h"

namespace quilo::capture {

class CaptureContext
{
public:
    explicit CaptureContext(Platform &platform = system_platform()) noexcept;
    // A context still set up is torn down; every interface it keeps is released.
    ~CaptureContext();
    CaptureContext(const CaptureContext &) = delete;
    CaptureContext &operator=(const CaptureContext &) = delete;

    HRESULT createCapture(LONG deviceID, VARIANT_BOOL bFlipImageHorizontally, VARIANT_BOOL bSetCameraParam,
                          LONG width, LONG height);
    HRESULT startCapture();
    HRESULT destroyCapture();

    Platform &platform;

    ComPtr<IBaseFilter> grabberFilter;
    ComPtr<IBaseFilter> nullRenderer;
    ComPtr<ICaptureGraphBuilder2> captureBuilder;
    ComPtr<IGraphBuilder> graph;
    ComPtr<IAMVideoProcAmp> procAmp;
    ComPtr<IMediaControl> mediaControl;
    ComPtr<ISampleGrabber> sampleGrabber;
    ComPtr<IPin> captureOutPin;
    ComPtr<IPin> grabberInPin;
    ComPtr<IPin> grabberOutPin;
    ComPtr<IPin> rendererInPin;
    ComPtr<IMediaEvent> mediaEvent;
    ComPtr<IAMStreamConfig> streamConfig;
    ComPtr<IAMAnalogVideoDecoder> videoDecoder;
    ComPtr<IBaseFilter> captureFilter;
    ComPtr<IAMCrossbar> crossbar;
    LONG deviceIndex = -1;
    LONG depth = 0;
    LONG channels = 0;
    bool isSetUp = false;
    bool flipImage = false;
    frame::FrameBuffer frameBuffer;
    frame::ImageHeader imageHeader;
    LONG width = 0;
    LONG height = 0;
    bool isStarted = false;
    // Samples arrive top row first (a negative height in the connected format).
    bool topDown = false;
    // This context's own successful CoInitialize, balanced exactly once.
    bool comInitialized = false;
    // Grab ran the graph and nothing has stopped it since.
    bool graphRunning = false;

    void stopGraph();

private:
    HRESULT createGraphObjects();
    HRESULT buildGraph(bool setFrameSize, LONG frameWidth, LONG frameHeight);
    // Releases every interface the context holds, kept ones included; stops a running graph.
    void releaseInterfaces();
    void balanceCom();
};

} // namespace quilo::capture
