#include "frame/Grab.h"

#include <evcode.h>
#include <vfwmsgs.h>

#include "common/HResult.h"

namespace quilo::frame {
namespace {

void drain_events(IMediaEvent *events)
{
    long code = 0;
    LONG_PTR first = 0, second = 0;
    while (events->GetEvent(&code, &first, &second, 0) == S_OK) events->FreeEventParams(code, first, second);
}

// Waits for the one-shot grabber's completion, skipping unrelated events such as clock changes.
HRESULT wait_for_completion(IMediaEvent *events, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) return VFW_E_TIMEOUT;
        long code = 0;
        LONG_PTR first = 0, second = 0;
        const HRESULT hr = events->GetEvent(&code, &first, &second, static_cast<long>(timeoutMs - elapsed));
        // E_ABORT means "nothing yet": Wine also answers it at once when the queue has just been
        // emptied, so only the clock decides that the time is up.
        if (hr == E_ABORT) continue;
        RETURN_IF_FAILED(hr);
        events->FreeEventParams(code, first, second);
        switch (code) {
        case EC_COMPLETE:
            return S_OK;
        case EC_ERRORABORT:
        case EC_STREAM_ERROR_STOPPED:
            return FAILED(static_cast<HRESULT>(first)) ? static_cast<HRESULT>(first) : E_FAIL;
        case EC_USERABORT:
            return E_ABORT;
        default:
            break;
        }
    }
}

// The grabber keeps its first sample after a one-shot run and the graph keeps running, so a
// plain Run hands out that sample again. Stopping and re-arming gives a sample taken after
// this call began.
HRESULT take_fresh_sample(capture::CaptureContext &c)
{
    c.stopGraph();
    RETURN_IF_FAILED(c.sampleGrabber->SetOneShot(TRUE));
    drain_events(c.mediaEvent.get());
    // The first Run after connecting answers S_FALSE while the transition is under way.
    RETURN_IF_FAILED(c.mediaControl->Run());
    c.graphRunning = true;
    const HRESULT hr = wait_for_completion(c.mediaEvent.get(), kGrabTimeoutMs);
    if (FAILED(hr)) c.stopGraph();
    return hr;
}

// Copies the grabber's sample into the frame buffer, reused while the size holds. A sample
// shorter than the image the format describes never reaches the buffer.
HRESULT copy_sample(capture::CaptureContext &c)
{
    long size = 0;
    RETURN_IF_FAILED(c.sampleGrabber->GetCurrentBuffer(&size, nullptr));
    RETURN_HR_IF(VFW_E_BUFFER_UNDERFLOW, size < c.imageHeader.image_size());
    RETURN_HR_IF(E_OUTOFMEMORY, !c.frameBuffer.resize(size));
    long copied = c.frameBuffer.size();
    const HRESULT hr = c.sampleGrabber->GetCurrentBuffer(&copied, reinterpret_cast<long *>(c.frameBuffer.data()));
    // The buffer stays allocated so a pointer handed out before stays valid; this call hands
    // out nothing.
    RETURN_IF_FAILED(hr);
    RETURN_HR_IF(VFW_E_BUFFER_UNDERFLOW, copied < c.imageHeader.image_size());
    if (copied < c.frameBuffer.size()) c.frameBuffer.set_size(copied);
    return S_OK;
}

} // namespace

HRESULT grab(capture::CaptureContext &c, QuiloImageStruct *record)
{
    if (!record) return S_OK;
    RETURN_HR_IF(VFW_E_WRONG_STATE, !c.isSetUp);

    RETURN_IF_FAILED(take_fresh_sample(c));
    RETURN_IF_FAILED(copy_sample(c));

    if (c.isStarted) {
        // Hosts get bottom-up rows (a DIB) or, with flipping, top-down rows, whichever order
        // the device delivered.
        if (c.flipImage != c.topDown) c.imageHeader.flip_rows(c.frameBuffer.data());
        record->data = c.frameBuffer.data();
    }
    record->width = c.width;
    record->height = c.height;
    record->depth = c.depth;
    record->channels = c.channels;
    return S_OK;
}

} // namespace quilo::frame
