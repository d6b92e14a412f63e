// Where the running graph's samples land: the sample grabber calls SampleCB on its streaming
// thread for every sample, and the sink copies one into the Grab's incoming buffer only while a
// Grab waits for it. Between Grabs samples pass by untouched, so the device keeps streaming;
// only a new format a sample carries is noted, since a device announces it on one sample only.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <qedit.h>
#include <atomic>

#include "common/CriticalSection.h"
#include "common/Handle.h"
#include "dshow/VideoFormat.h"
#include "capture/FrameStamp.h"

namespace quilo::capture {

class FrameSink final : public ISampleGrabberCB
{
public:
    // A new sink with one reference for the caller, for a stream of the connected `format`;
    // null when its event cannot be made.
    static FrameSink *create(const dshow::FrameFormat &format) noexcept;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // Streaming thread. Never waits for anything a host thread holds while it stops the graph,
    // and never keeps the sample.
    HRESULT STDMETHODCALLTYPE SampleCB(double time, IMediaSample *sample) override;
    HRESULT STDMETHODCALLTYPE BufferCB(double time, BYTE *buffer, long length) override;

    // Host thread. The stream's format as its samples last gave it: S_OK, or
    // VFW_E_INVALIDMEDIATYPE when the device changed to one the component does not take.
    HRESULT streamFormat(dshow::FrameFormat &format) noexcept;
    // Host thread. The next sample to arrive is copied into `target`, which holds one frame of
    // `format` (a shorter sample is refused with VFW_E_BUFFER_UNDERFLOW and copies nothing; a
    // sample of another format copies nothing and is done with S_FALSE: arm again for the
    // stream's new format).
    void arm(unsigned char *target, const dshow::FrameFormat &format) noexcept;
    // Signalled (auto-reset) when an armed copy is done: a host thread waits on it beside the
    // graph's event handle.
    HANDLE ready() const noexcept { return ready_.get(); }
    // After `ready` was signalled: true when the armed copy is done (its result in `result`),
    // and then disarmed. False for a stale signal: wait again.
    bool take(HRESULT &result) noexcept;
    // Ends the wait: after this the streaming thread writes nothing more. True when a copy was
    // completed before (its result in `result`).
    bool disarm(HRESULT &result) noexcept;
    // Host thread. A new stream starts counting its samples from 1.
    void restartCount() noexcept { samples_.store(0, std::memory_order_relaxed); }
    // Host thread. The stamp of the last copy that was done.
    FrameStamp stamp() noexcept;

private:
    FrameSink(HANDLE ready, const dshow::FrameFormat &format) noexcept : ready_(ready), format_(format) {}
    // Under the lock: disarms, and gives the copy's result; true when it was done.
    bool collect(HRESULT &result) noexcept;
    // Streaming thread: a sample's new media type becomes the stream's format.
    void noteType(const AM_MEDIA_TYPE &type) noexcept;
    ~FrameSink() = default;

    volatile LONG refs_ = 1;
    UniqueHandle ready_;          // set when an armed copy is done
    // Whether a Grab waits: samples that pass by while none does never touch the lock, so the
    // host thread arming the sink never waits behind them.
    std::atomic<bool> armed_{false};
    std::atomic<LONG> samples_{0}; // every sample of the stream, taken or passed by
    CriticalSection lock_;        // guards the fields below; held for one copy at most
    dshow::FrameFormat format_;          // the stream's, as its samples last gave it
    HRESULT formatResult_ = S_OK; // VFW_E_INVALIDMEDIATYPE: format_ is not one the component takes
    unsigned char *target_ = nullptr;
    dshow::FrameFormat targetFormat_;
    bool done_ = false;
    HRESULT result_ = S_OK;
    FrameStamp stamp_;
};

} // namespace quilo::capture
