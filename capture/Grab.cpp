// Grab, the whole path in one place: the context checks its state and asks the graph for a
// frame; the graph arms the sink with the incoming buffer, starts the stream if it is not
// running, and waits on the sink's signal and the graph's event handle together; the sink
// copies the first frame that arrives after arming (on the streaming thread, capture/FrameSink);
// the delivery flips its rows into the frame the host reads and, for the first class, fills
// its record (frame/FrameDelivery). Each piece stays with its owner; this file only puts them
// in order.
#include "capture/CaptureContext.h"
#include "capture/DeviceGraph.h"

#include <evcode.h>
#include <vfwmsgs.h>

#include "common/HResult.h"

namespace quilo::capture {
namespace {

HRESULT error_of(LONG_PTR param) { return FAILED(static_cast<HRESULT>(param)) ? static_cast<HRESULT>(param) : E_FAIL; }

void free_params(IMediaEvent *events, long code, LONG_PTR first, LONG_PTR second)
{
    ignore_result(events->FreeEventParams(code, first, second), "nothing is left to free if it fails");
}

} // namespace

HRESULT CaptureContext::grab(QuiloImageStruct *record)
{
    if (!record) return S_OK;
    RETURN_HR_IF(VFW_E_WRONG_STATE, !isSetUp());
    // The component's own bound: a device silent that long is stopped.
    RETURN_IF_FAILED(graph_.takeFrame(frame_, kGrabTimeoutMs, DeviceGraph::OnTimeout::Stop));
    return frame_.deliver(isStarted_, flipImage_, *record);
}

HRESULT CaptureContext::grab(DWORD timeoutMs, frame::PackedFrame &frame, FrameStamp &stamp)
{
    RETURN_HR_IF(VFW_E_WRONG_STATE, !isSetUp());
    RETURN_IF_FAILED(graph_.takeFrame(frame_, timeoutMs, DeviceGraph::OnTimeout::KeepStreaming));
    RETURN_IF_FAILED(frame_.deliverPacked(frame));
    stamp = graph_.lastStamp();
    return S_OK;
}

HRESULT DeviceGraph::takeFrame(frame::FrameDelivery &frame, DWORD timeoutMs, OnTimeout onTimeout)
{
    RETURN_HR_IF(VFW_E_WRONG_STATE, !sink_);
    // Armed before the stream (re)starts and before the wait: only a frame that arrives from
    // now on can be handed out.
    HRESULT hr = arm(frame);
    if (SUCCEEDED(hr) && !running_) hr = startStream();
    bool restarted = false;
    const DWORD start = GetTickCount();
    HRESULT copied = S_OK;
    bool done = false;
    // A frame wakes the wait through the sink's signal, an event of the graph (a device error,
    // a removed device, an ended stream) through the graph's handle, set while events are queued.
    const HANDLE wakers[] = {sink_->ready(), eventHandle_};
    while (SUCCEEDED(hr)) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) {
            hr = VFW_E_TIMEOUT;
            break;
        }
        const DWORD woke = WaitForMultipleObjects(2, wakers, FALSE, timeoutMs - elapsed);
        if (woke == WAIT_TIMEOUT) continue; // the bound is checked at the top
        if (woke == WAIT_OBJECT_0) {
            if (!sink_->take(copied)) continue; // a stale signal
            if (copied != S_FALSE) {
                done = true;
                break;
            }
            // The device changed its format: the next frame is taken in the new one.
            hr = arm(frame);
            continue;
        }
        if (woke != WAIT_OBJECT_0 + 1) {
            hr = hresult_from_win32(GetLastError());
            break;
        }
        hr = readEvents();
        if (hr == S_FALSE && !restarted) {
            // The device ended its stream; a camera's stream is started again once.
            restarted = true;
            stop();
            hr = startStream();
        } else if (hr == S_FALSE) {
            hr = S_OK; // ended again: wait out the bound
        }
    }
    if (done) {
        hr = copied;
    } else {
        // After this the streaming thread writes nothing more. A copy that completed just as
        // the time ran out still counts; an error event wins over it.
        HRESULT late = S_OK;
        if (sink_->disarm(late) && hr == VFW_E_TIMEOUT && late != S_FALSE) hr = late;
    }
    if (FAILED(hr) && !(hr == VFW_E_TIMEOUT && onTimeout == OnTimeout::KeepStreaming)) stop();
    return hr;
}

HRESULT DeviceGraph::arm(frame::FrameDelivery &frame)
{
    dshow::FrameFormat format;
    RETURN_IF_FAILED(sink_->streamFormat(format));
    unsigned char *target = frame.incoming(format);
    RETURN_HR_IF(E_OUTOFMEMORY, !target);
    sink_->arm(target, format);
    return S_OK;
}

HRESULT DeviceGraph::startStream()
{
    // Events of an earlier stream say nothing about this one.
    long code = 0;
    LONG_PTR first = 0, second = 0;
    while (events_->GetEvent(&code, &first, &second, 0) == S_OK) free_params(events_.get(), code, first, second);
    // Marked before the call: a Run that fails may have started some filters already (Wine
    // runs every filter whatever one of them answers), so the graph is stopped all the same.
    running_ = true;
    sink_->restartCount();
    // The first Run after connecting answers S_FALSE while the transition is under way.
    return control_->Run();
}

HRESULT DeviceGraph::readEvents()
{
    HRESULT outcome = S_OK;
    long code = 0;
    LONG_PTR first = 0, second = 0;
    // E_ABORT is "no event"; Wine also answers it at once after the queue was just emptied.
    while (SUCCEEDED(outcome) && events_->GetEvent(&code, &first, &second, 0) == S_OK) {
        switch (code) {
        case EC_ERRORABORT:
        case EC_STREAM_ERROR_STOPPED:
            outcome = error_of(first);
            break;
        case EC_STREAM_ERROR_STILLPLAYING:
        case EC_ERROR_STILLPLAYING:
            break; // a filter's trouble that did not stop the stream: frames still come
        case EC_DEVICE_LOST:
            // 0: the device was removed (1 would be its return).
            if (second == 0) outcome = HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
            break;
        case EC_USERABORT:
            outcome = E_ABORT;
            break;
        case EC_COMPLETE:
            outcome = S_FALSE;
            break;
        default:
            break; // clock changes and the like
        }
        free_params(events_.get(), code, first, second);
    }
    return outcome;
}

} // namespace quilo::capture
