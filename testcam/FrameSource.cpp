#include "testcam/FrameSource.h"

#include <objbase.h>
#include <evcode.h>
#include <vfwmsgs.h>
#include <cstring>

#include "common/HResult.h"
#include "testcam/Pattern.h"
#include "dshow/MediaType.h"
#include "dshow/VideoFormat.h"

namespace quilo::testcam {
namespace {

constexpr LONGLONG kUnitsPerSecond = 10000000; // REFERENCE_TIME units

LONGLONG counter_frequency()
{
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f.QuadPart;
}

// Monotonic time in REFERENCE_TIME units, shared by every device: the free-running clock.
LONGLONG now_units()
{
    static const LONGLONG frequency = counter_frequency();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return (c.QuadPart / frequency) * kUnitsPerSecond + (c.QuadPart % frequency) * kUnitsPerSecond / frequency;
}

} // namespace

FrameSource::FrameSource() : wake_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

FrameSource::~FrameSource() { stop(); }

HRESULT FrameSource::start(StreamSetup setup)
{
    RETURN_HR_IF(E_UNEXPECTED, started());
    RETURN_HR_IF(E_OUTOFMEMORY, !wake_);
    setup_ = std::move(setup);
    mode_ = Mode::Paused;
    ended_ = false;
    streaming_ = false;
    streamFrames_ = 0;
    typeSent_ = false;
    ResetEvent(wake_.get());
    thread_.reset(CreateThread(nullptr, 0, &FrameSource::threadMain, this, 0, nullptr));
    if (!thread_) {
        setup_ = StreamSetup();
        return HRESULT_FROM_WIN32(GetLastError());
    }
    return S_OK;
}

void FrameSource::setMode(Mode mode)
{
    {
        Lock lock(lock_);
        mode_ = mode;
    }
    SetEvent(wake_.get());
}

void FrameSource::run(REFERENCE_TIME streamStart)
{
    bool newStream = false;
    {
        Lock lock(lock_);
        start_ = streamStart;
        runTime_ = now_units();
        firstAfterRun_ = true;
        if (!streaming_) {
            // Pause and Run again continue a stream; only a start after Stop begins one.
            streaming_ = newStream = true;
            firstDue_ = setup_.options.startMs > 0 ? runTime_ + static_cast<LONGLONG>(setup_.options.startMs) * 10000 : 0;
            settleLeft_ = setup_.options.settle;
        }
    }
    if (newStream && setup_.streamStarted) setup_.streamStarted();
    setMode(Mode::Running);
}

void FrameSource::pause() { setMode(Mode::Paused); }

void FrameSource::stop()
{
    if (!started()) return;
    setMode(Mode::Stopping);
    WaitForSingleObject(thread_.get(), INFINITE);
    thread_.reset();
    reportFrames();
    setup_ = StreamSetup();
}

DWORD WINAPI FrameSource::threadMain(void *self)
{
    // Platform objects on this thread are free-threaded; join the multithreaded apartment.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    static_cast<FrameSource *>(self)->stream();
    if (SUCCEEDED(com)) CoUninitialize();
    return 0;
}

void FrameSource::stream()
{
    for (;;) {
        Mode mode;
        {
            Lock lock(lock_);
            mode = mode_;
        }
        if (mode == Mode::Stopping) return;
        const bool stalled =
            setup_.options.stall || broken_ || (setup_.options.stallAfter >= 0 && delivered() >= setup_.options.stallAfter);
        if (mode == Mode::Paused || ended_ || stalled) {
            WaitForSingleObject(wake_.get(), INFINITE);
            continue;
        }
        LONGLONG firstDue;
        {
            Lock lock(lock_);
            firstDue = firstDue_;
        }
        if (firstDue > 0) {
            if (!waitUntil(firstDue)) continue;
        } else if (setup_.options.fps > 0 && !waitForTick()) {
            continue;
        }
        if (!deliverOne()) {
            // No buffer: the allocator is being decommitted; wait for the mode to change.
            WaitForSingleObject(wake_.get(), 10);
        }
    }
}

// Waits for the next tick of the free-running clock; false when a mode change came first.
bool FrameSource::waitForTick()
{
    const LONGLONG fps = setup_.options.fps;
    const LONGLONG tick = (now_units() * fps / kUnitsPerSecond + 1);
    return waitUntil((tick * kUnitsPerSecond + fps - 1) / fps);
}

// Waits until the free-running clock reaches `due`; false when a mode change came first.
bool FrameSource::waitUntil(LONGLONG due)
{
    LONGLONG now = now_units();
    while (now < due) {
        const DWORD ms = static_cast<DWORD>((due - now + 9999) / 10000);
        if (WaitForSingleObject(wake_.get(), ms) == WAIT_OBJECT_0) {
            Lock lock(lock_);
            if (mode_ != Mode::Running) return false;
        }
        now = now_units();
    }
    return true;
}

bool FrameSource::deliverOne()
{
    ComPtr<IMediaSample> sample;
    if (FAILED(setup_.allocator->GetBuffer(sample.put(), nullptr, nullptr, 0))) return false;
    REFERENCE_TIME streamStart, runTime;
    bool discontinuity, settling;
    {
        Lock lock(lock_);
        if (mode_ != Mode::Running) return true;
        streamStart = start_;
        runTime = runTime_;
        discontinuity = firstAfterRun_;
        firstAfterRun_ = false;
        firstDue_ = 0;
        settling = settleLeft_ > 0;
        if (settling) --settleLeft_;
    }

    const LONG sequence = delivered() + 1;
    // A device that changed its format says so on the first sample of each stream that has it,
    // as a driver does with IMediaSample::SetMediaType.
    const bool changed = setup_.options.changeAfter >= 0 && sequence > setup_.options.changeAfter;
    const LONG width = changed ? setup_.options.changeWidth : setup_.width;
    const LONG height = changed ? setup_.options.changeHeight : setup_.height;
    bool announced = false;
    if (changed && !typeSent_) {
        MediaType type;
        announced = SUCCEEDED(dshow::make_rgb24_type(width, height, setup_.frameTime, setup_.header, *type.get())) &&
                    SUCCEEDED(sample->SetMediaType(type.get()));
        typeSent_ = announced;
    }

    BYTE *data = nullptr;
    const LONG room = sample->GetSize();
    const LONG stated = static_cast<LONG>(dshow::rgb24_image_size(width, height));
    if (FAILED(sample->GetPointer(&data)) || room < 0 || room < stated) {
        ended_ = true;
        return true;
    }
    const ULONGLONG bytes = dshow::dib_image_bytes(24, width, height);
    if (bytes > static_cast<ULONGLONG>(room)) {
        // A size whose byte count wrapped in the format's 32 bits (--any-size) got buffers that
        // small: a driver computing it so fills the buffer it has, and the picture stays out.
        std::memset(data, 0, static_cast<size_t>(room));
        ignore_result(sample->SetActualDataLength(room), "a buffer of `room` bytes holds `room` bytes");
    } else {
        const BYTE red = static_cast<BYTE>(setup_.options.tag & 0xFF);
        paint_frame(data, width, height, sequence, settling ? static_cast<BYTE>(255 - red) : red);
        if (setup_.marks) setup_.marks(data, width, height);
        const LONG whole = static_cast<LONG>(bytes);
        ignore_result(sample->SetActualDataLength(setup_.options.shortSamples ? whole / 2 : whole),
                      "the buffer was just checked to hold the whole frame");
    }

    // Stream time at capture: the graph clock when there is one, our own since Run when not.
    REFERENCE_TIME start = 0;
    if (!setup_.clock || FAILED(setup_.clock->GetTime(&start))) start = streamStart + (now_units() - runTime);
    start -= streamStart;
    const REFERENCE_TIME duration = setup_.options.fps > 0 ? kUnitsPerSecond / setup_.options.fps : 1;
    REFERENCE_TIME stop = start + duration;
    // The platform's memory allocator makes these samples, and its setters only store the values.
    ignore_result(sample->SetTime(&start, &stop), "a sample's times are stored without checks");
    LONGLONG mediaStart = sequence - 1, mediaStop = sequence;
    ignore_result(sample->SetMediaTime(&mediaStart, &mediaStop), "a sample's media times are stored without checks");
    ignore_result(sample->SetSyncPoint(TRUE), "a flag stored without checks");
    ignore_result(sample->SetDiscontinuity(discontinuity ? TRUE : FALSE), "a flag stored without checks");

    const HRESULT hr = setup_.input->Receive(sample.get());
    // The allocator hands the sample out again: later ones carry no type of their own.
    if (announced) sample->SetMediaType(nullptr);
    sample.reset();
    if (SUCCEEDED(hr)) {
        InterlockedIncrement(&delivered_);
        ++streamFrames_;
        afterFrame(sequence);
    }
    if (hr == S_FALSE || (SUCCEEDED(hr) && setup_.options.endAfter >= 0 && streamFrames_ >= setup_.options.endAfter)) {
        // Downstream wants no more: stop pushing and say the stream has ended.
        ended_ = true;
        ignore_result(setup_.peer->EndOfStream(),
                      "the stream has ended either way: this source pushes nothing more until the next start");
        reportFrames();
    } else if (FAILED(hr)) {
        // Downstream is stopping or broken; go quiet until the next start, as sources do.
        ended_ = true;
    }
    return true;
}

void FrameSource::afterFrame(LONG sequence)
{
    if (sequence == setup_.options.warnAfter) notify(EC_STREAM_ERROR_STILLPLAYING, E_FAIL, 0);
    if (sequence == setup_.options.lostAfter) {
        // 0: removed (1 would be its return). A removed device delivers nothing more.
        notify(EC_DEVICE_LOST, reinterpret_cast<LONG_PTR>(setup_.device), 0);
        broken_ = true;
    }
    if (sequence == setup_.options.abortAfter) {
        notify(EC_ERRORABORT, setup_.options.abortError, 0);
        broken_ = true;
    }
}

void FrameSource::notify(long code, LONG_PTR first, LONG_PTR second)
{
    if (setup_.events) setup_.events->Notify(code, first, second);
}

void FrameSource::reportFrames()
{
    const LONG total = delivered();
    if (total != reported_ && setup_.report) setup_.report(total - reported_);
    reported_ = total;
}

} // namespace quilo::testcam
