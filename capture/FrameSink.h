// Where the running graph's samples land: the sample grabber calls SampleCB on its streaming
// thread for every sample, and the sink copies one into the host's frame buffer only while a
// Grab waits for it. Between Grabs samples pass by untouched, so the device keeps streaming.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <qedit.h>
#include <atomic>

#include "common/CriticalSection.h"
#include "common/Handle.h"

namespace quilo::capture {

class FrameSink final : public ISampleGrabberCB
{
public:
    // A new sink with one reference for the caller; null when its event cannot be made.
    static FrameSink *create() noexcept;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // Streaming thread. Never waits for anything a host thread holds while it stops the graph,
    // and never keeps the sample.
    HRESULT STDMETHODCALLTYPE SampleCB(double time, IMediaSample *sample) override;
    HRESULT STDMETHODCALLTYPE BufferCB(double time, BYTE *buffer, long length) override;

    // Host thread. The next sample to arrive is copied into `target` (exactly `bytes` bytes;
    // a shorter sample is refused with VFW_E_BUFFER_UNDERFLOW and copies nothing).
    void arm(unsigned char *target, long bytes) noexcept;
    // Waits up to `ms` for the armed copy; true when it is done (its result in `result`), and
    // then disarmed. False may come early, for a stale signal: wait again.
    bool wait(DWORD ms, HRESULT &result) noexcept;
    // Ends the wait: after this the streaming thread writes nothing more. True when a copy was
    // completed before (its result in `result`).
    bool disarm(HRESULT &result) noexcept;

private:
    explicit FrameSink(HANDLE ready) noexcept : ready_(ready) {}
    // Under the lock: disarms, and gives the copy's result; true when it was done.
    bool collect(HRESULT &result) noexcept;
    ~FrameSink() = default;

    volatile LONG refs_ = 1;
    UniqueHandle ready_;          // set when an armed copy is done
    // Whether a Grab waits: samples that pass by while none does never touch the lock, so the
    // host thread arming the sink never waits behind them.
    std::atomic<bool> armed_{false};
    CriticalSection lock_;        // guards the fields below; held for one copy at most
    unsigned char *target_ = nullptr;
    long bytes_ = 0;
    bool done_ = false;
    HRESULT result_ = S_OK;
};

} // namespace quilo::capture
