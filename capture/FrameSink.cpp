#include "capture/FrameSink.h"

#include <vfwmsgs.h>
#include <cstring>
#include <new>

#include "common/InterfaceTable.h"
#include "dshow/MediaType.h"

namespace quilo::capture {

FrameSink *FrameSink::create(const dshow::FrameFormat &format) noexcept
{
    UniqueHandle ready(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (!ready) return nullptr;
    auto *sink = new (std::nothrow) FrameSink(ready.get(), format);
    if (sink) ready.release(); // the sink owns the event now
    return sink;
}

HRESULT STDMETHODCALLTYPE FrameSink::QueryInterface(REFIID iid, void **out)
{
    return answer_query(iid, out, {
        {&IID_IUnknown, static_cast<ISampleGrabberCB *>(this)},
        {&IID_ISampleGrabberCB, static_cast<ISampleGrabberCB *>(this)},
    });
}

ULONG STDMETHODCALLTYPE FrameSink::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG STDMETHODCALLTYPE FrameSink::Release()
{
    const LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
}

HRESULT STDMETHODCALLTYPE FrameSink::SampleCB(double time, IMediaSample *sample)
{
    if (!sample) return S_OK;
    const LONG number = samples_.fetch_add(1, std::memory_order_relaxed) + 1;
    // A device changing its size or row order mid-stream says so on the first sample of the
    // new format only, whether or not a Grab waits for it (IMediaSample::SetMediaType).
    AM_MEDIA_TYPE *changed = nullptr;
    if (sample->GetMediaType(&changed) == S_OK && changed) noteType(*changed);
    delete_media_type(changed);
    if (!armed_.load(std::memory_order_acquire)) return S_OK;
    Lock lock(lock_);
    if (!target_ || done_) return S_OK;
    const LONG bytes = targetFormat_.imageBytes;
    BYTE *data = nullptr;
    if (FAILED(formatResult_)) {
        result_ = formatResult_;
    } else if (!format_.sameSize(targetFormat_) || format_.topDown != targetFormat_.topDown) {
        result_ = S_FALSE; // the Grab arms again for the new format
    } else if (FAILED(sample->GetPointer(&data)) || !data || sample->GetActualDataLength() < bytes ||
               sample->GetSize() < bytes) {
        // Only the bytes the sample says it holds are read, and never beyond its buffer: a
        // device may deliver less than its format promised.
        result_ = VFW_E_BUFFER_UNDERFLOW;
    } else {
        std::memcpy(target_, data, static_cast<size_t>(bytes));
        result_ = S_OK;
        stamp_.number = number;
        stamp_.streamTime = time;
        GetSystemTimeAsFileTime(&stamp_.arrival);
    }
    done_ = true;
    armed_.store(false, std::memory_order_relaxed);
    SetEvent(ready_.get());
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FrameSink::BufferCB(double, BYTE *, long) { return E_NOTIMPL; }

void FrameSink::noteType(const AM_MEDIA_TYPE &type) noexcept
{
    dshow::FrameFormat format;
    const HRESULT hr = dshow::read_frame_format(type, format);
    Lock lock(lock_);
    formatResult_ = hr;
    if (SUCCEEDED(hr)) format_ = format;
}

HRESULT FrameSink::streamFormat(dshow::FrameFormat &format) noexcept
{
    Lock lock(lock_);
    format = format_;
    return formatResult_;
}

void FrameSink::arm(unsigned char *target, const dshow::FrameFormat &format) noexcept
{
    Lock lock(lock_);
    target_ = target;
    targetFormat_ = format;
    done_ = false;
    result_ = S_OK;
    armed_.store(true, std::memory_order_release);
}

bool FrameSink::take(HRESULT &result) noexcept
{
    // The signal may be left from a copy that an earlier, timed-out wait collected while
    // disarming; only a copy done for this arming counts.
    Lock lock(lock_);
    return done_ && collect(result);
}

FrameStamp FrameSink::stamp() noexcept
{
    Lock lock(lock_);
    return stamp_;
}

bool FrameSink::disarm(HRESULT &result) noexcept
{
    Lock lock(lock_);
    return collect(result);
}

bool FrameSink::collect(HRESULT &result) noexcept
{
    target_ = nullptr;
    armed_.store(false, std::memory_order_relaxed);
    result = result_;
    return done_;
}

} // namespace quilo::capture
