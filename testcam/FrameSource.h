// The camera's streaming thread. Frames come from a free-running clock at the device's rate,
// like a sensor that keeps running whether or not anybody watches: after Run, the first frame
// goes out at the next tick. A rate of 0 delivers as fast as downstream takes samples. Like a
// real camera, a stream start (the first Run after a Stop) may take startMs before its first
// frame and hand out `settle` badly exposed frames first.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <control.h>
#include <functional>

#include "common/ComPtr.h"
#include "common/CriticalSection.h"
#include "common/Handle.h"
#include "dshow/VideoFormat.h"
#include "testcam/DeviceOptions.h"

namespace quilo::testcam {

struct StreamSetup
{
    ComPtr<IPin> peer;                  // receives EndOfStream
    ComPtr<IMemInputPin> input;         // receives samples
    ComPtr<IMemAllocator> allocator;    // committed by the pin before start
    ComPtr<IReferenceClock> clock;      // the graph's clock; may be null
    LONG width = 0, height = 0;         // negative height: top-down rows
    // The device's pacing, picture and faults, as the device was added.
    DeviceOptions options;
    dshow::VideoHeader header = dshow::VideoHeader::Info;  // of the media type a changed sample carries
    REFERENCE_TIME frameTime = 0;
    // The graph's event sink and the device as the events name it; not counted: the graph
    // holds the filter and both outlive every stream. Null outside a graph.
    IMediaEventSink *events = nullptr;
    IUnknown *device = nullptr;
    // Told how many frames went out since it was last told, when the stream ends or stops.
    std::function<void(LONG frames)> report;
    // Paints over each picture (--marks); may be empty.
    std::function<void(BYTE *pixels, LONG width, LONG height)> marks;
    // Told when the first Run after a start begins a stream.
    std::function<void()> streamStarted;
};

class FrameSource
{
public:
    FrameSource();
    ~FrameSource();
    FrameSource(const FrameSource &) = delete;
    FrameSource &operator=(const FrameSource &) = delete;

    // Starts the thread, paused: a live source sends nothing until Run.
    HRESULT start(StreamSetup setup);
    void run(REFERENCE_TIME streamStart);
    void pause();
    // Ends the thread and waits for it. Decommit the allocator first so that a thread
    // waiting for a buffer wakes up.
    void stop();
    bool started() const { return static_cast<bool>(thread_); }
    // Frames this source delivered over its life: the last frame's sequence number.
    LONG delivered() const { return InterlockedCompareExchange(&delivered_, 0, 0); }

private:
    enum class Mode { Paused, Running, Stopping };

    static DWORD WINAPI threadMain(void *self);
    void stream();
    bool waitForTick();
    bool waitUntil(LONGLONG due);
    bool deliverOne();
    // After a frame went out: the faults due at `sequence`; false once the device delivers no more.
    void afterFrame(LONG sequence);
    void notify(long code, LONG_PTR first, LONG_PTR second);
    void reportFrames();
    void setMode(Mode mode);

    CriticalSection lock_;              // guards mode_, start_, runTime_, firstAfterRun_, firstDue_
                                        // and settleLeft_
    Mode mode_ = Mode::Paused;
    REFERENCE_TIME start_ = 0;
    LONGLONG runTime_ = 0;              // free-running clock at Run, for clockless time stamps
    bool firstAfterRun_ = true;
    bool streaming_ = false;            // a Run since start(): later Runs continue the stream
    LONGLONG firstDue_ = 0;             // free-running time of the stream's first frame; 0: due
    LONG settleLeft_ = 0;
    UniqueHandle wake_;                 // set on every mode change
    UniqueHandle thread_;
    StreamSetup setup_;
    bool ended_ = false;                // stopped pushing until the next stop and start
    bool broken_ = false;               // lost or aborted: nothing more from this device object
    LONG streamFrames_ = 0;             // frames of the current stream
    bool typeSent_ = false;             // this stream announced the changed format
    mutable volatile LONG delivered_ = 0;
    LONG reported_ = 0;
};

} // namespace quilo::testcam
