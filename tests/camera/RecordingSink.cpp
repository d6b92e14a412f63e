#include "camera/RecordingSink.h"

#include <uuids.h>
#include <cstdlib>

#include "support/TestCamera.h"
#include "dshow/VideoFormat.h"

namespace quilo::test {

RecordingSink *RecordingSink::create(int tag) { return new RecordingSink(tag); }

RecordingSink::RecordingSink(int tag)
    : BaseFilter(kClsidRecordingSink, AM_FILTER_MISC_FLAGS_IS_RENDERER, false), tag_(tag), pin_(*this),
      arrived_(CreateEventA(nullptr, FALSE, FALSE, nullptr))
{
}

IPin *RecordingSink::pin(ULONG index) const { return index == 0 ? &pin_ : nullptr; }

void RecordingSink::refuseFrom(long count)
{
    std::lock_guard<std::mutex> lock(mutex_);
    refuseFrom_ = count;
}

std::vector<RecordingSink::Sample> RecordingSink::samples()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return samples_;
}

long RecordingSink::endOfStreams()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return endOfStreams_;
}

bool RecordingSink::waitForSamples(size_t count, DWORD timeoutMs)
{
    const DWORD deadline = GetTickCount() + timeoutMs;
    for (;;) {
        if (samples().size() >= count) return true;
        const long remaining = static_cast<long>(deadline - GetTickCount());
        if (remaining <= 0) return false;
        WaitForSingleObject(arrived_.get(), static_cast<DWORD>(remaining));
    }
}

HRESULT RecordingSink::Pin::checkMediaType(const AM_MEDIA_TYPE &mt)
{
    return IsEqualGUID(mt.majortype, MEDIATYPE_Video) && IsEqualGUID(mt.subtype, MEDIASUBTYPE_RGB24) &&
                   dshow::bitmap_header(mt) != nullptr
               ? S_OK
               : S_FALSE;
}

HRESULT RecordingSink::Pin::receive(IMediaSample *sample)
{
    Sample seen;
    seen.timeResult = sample->GetTime(&seen.start, &seen.stop);
    seen.syncPoint = sample->IsSyncPoint() == S_OK;
    seen.discontinuity = sample->IsDiscontinuity() == S_OK;
    BYTE *data = nullptr;
    const BITMAPINFOHEADER *bih = dshow::bitmap_header(connectionType());
    if (bih && SUCCEEDED(sample->GetPointer(&data)) &&
        sample->GetActualDataLength() == static_cast<long>(dshow::rgb24_image_size(bih->biWidth, bih->biHeight)))
        seen.number = frame_number(data, bih->biWidth, std::abs(bih->biHeight), dshow::rgb24_stride(bih->biWidth),
                                   bih->biHeight < 0, sink_.tag_);

    std::lock_guard<std::mutex> lock(sink_.mutex_);
    sink_.samples_.push_back(seen);
    SetEvent(sink_.arrived_.get());
    const long count = static_cast<long>(sink_.samples_.size());
    return sink_.refuseFrom_ > 0 && count >= sink_.refuseFrom_ ? S_FALSE : S_OK;
}

HRESULT RecordingSink::Pin::endOfStream()
{
    std::lock_guard<std::mutex> lock(sink_.mutex_);
    ++sink_.endOfStreams_;
    return S_OK;
}

} // namespace quilo::test
