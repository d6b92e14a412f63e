// A renderer built from the test camera's filter kit: takes RGB24 video, checks every sample
// against the camera's picture and keeps what it saw, and can answer S_FALSE like a one-shot
// grabber, which the platform's filters do not let a test control.
#pragma once

#include <windows.h>
#include <mutex>
#include <vector>

#include "common/Handle.h"
#include "testcam/kit/BaseFilter.h"
#include "testcam/kit/InputPin.h"

namespace quilo::test {

// {3A0D1F41-7C2B-4E55-9A61-2F0E5B7C9D13}
constexpr CLSID kClsidRecordingSink = {0x3A0D1F41, 0x7C2B, 0x4E55, {0x9A, 0x61, 0x2F, 0x0E, 0x5B, 0x7C, 0x9D, 0x13}};

class RecordingSink final : public kit::BaseFilter
{
public:
    struct Sample
    {
        REFERENCE_TIME start = 0, stop = 0;
        HRESULT timeResult = E_FAIL;    // of IMediaSample::GetTime
        bool syncPoint = false, discontinuity = false;
        long number = -1;               // frame number per the picture, -1 when it is wrong
    };

    // A new sink with one reference for the caller.
    static RecordingSink *create(int tag);

    ULONG pinCount() const override { return 1; }
    IPin *pin(ULONG index) const override;

    // From the `count`-th sample on (1-based), Receive answers S_FALSE.
    void refuseFrom(long count);
    std::vector<Sample> samples();
    long endOfStreams();
    // Waits until at least `count` samples came; false on time-out.
    bool waitForSamples(size_t count, DWORD timeoutMs);

private:
    class Pin final : public kit::InputPin
    {
    public:
        explicit Pin(RecordingSink &sink) : InputPin(sink, L"In"), sink_(sink) {}

    protected:
        HRESULT checkMediaType(const AM_MEDIA_TYPE &mt) override;
        HRESULT receive(IMediaSample *sample) override;
        HRESULT endOfStream() override;

    private:
        RecordingSink &sink_;
    };

    explicit RecordingSink(int tag);
    ~RecordingSink() override = default;

    const int tag_;
    mutable Pin pin_;
    std::mutex mutex_;
    std::vector<Sample> samples_;
    long endOfStreams_ = 0;
    long refuseFrom_ = 0;
    UniqueHandle arrived_;
};

} // namespace quilo::test
