// The camera's streaming thread. Frames come from a free-running clock at the device's rate,
// like a sensor that keeps running whether or not anybody watches: after Run, the first frame
// goes out at the next tick. A rate of 0 delivers as fast as downstream takes samples.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <functional>

#include "common/ComPtr.h"
#include "common/CriticalSection.h"
#include "common/Handle.h"

namespace quilo::testcam {

struct StreamSetup
{
    ComPtr<IPin> peer;                  // receives EndOfStream
    ComPtr<IMemInputPin> input;         // receives samples
    ComPtr<IMemAllocator> allocator;    // committed by the pin before start
    ComPtr<IReferenceClock> clock;      // the graph's clock; may be null
    LONG width = 0, height = 0;         // negative height: top-down rows
    LONG fps = 0;
    bool stall = false;                 // never deliver
    LONG stallAfter = -1;               // >= 0: stop delivering once this many frames went out
    LONG tag = 0;
    // Told how many frames went out since it was last told, when the stream ends or stops.
    std::function<void(LONG frames)> report;
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
    bool deliverOne();
    void reportFrames();
    void setMode(Mode mode);

    CriticalSection lock_;              // guards mode_, start_, runTime_ and firstAfterRun_
    Mode mode_ = Mode::Paused;
    REFERENCE_TIME start_ = 0;
    LONGLONG runTime_ = 0;              // free-running clock at Run, for clockless time stamps
    bool firstAfterRun_ = true;
    UniqueHandle wake_;                 // set on every mode change
    UniqueHandle thread_;
    StreamSetup setup_;
    bool ended_ = false;                // stopped pushing until the next stop and start
    mutable volatile LONG delivered_ = 0;
    LONG reported_ = 0;
};

} // namespace quilo::testcam
