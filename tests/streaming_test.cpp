// Grab on a stream that keeps running: a camera is started once per capture session, not once
// per frame, so a real device's slow start and its badly exposed first frames are paid once.
// The test camera models such a device with --start-ms and --settle.
#include <gtest/gtest.h>
#include <vfwmsgs.h>

#include <string>
#include <vector>

#include "support/ComponentTest.h"
#include "support/TestCamera.h"
#include "support/TestSupport.h"

using namespace quilo::test;

namespace {

constexpr int kTag = 17;
// A settling frame's red, as the test camera's guide documents it.
constexpr int kSettlingRed = 255 - kTag;

enum class Exposure { Good, Settling, Wrong };

struct Seen
{
    long number = -1;
    Exposure exposure = Exposure::Wrong;
    std::string why;
};

// The frame's number and whether it is a settling frame, from the documented picture.
Seen inspect(const QuiloImageStruct &rec)
{
    Seen seen;
    const long stride = rgb24_stride(rec.width);
    seen.number = frame_number(rec.data, rec.width, rec.height, stride, true, kTag, &seen.why);
    if (seen.number > 0) {
        seen.exposure = Exposure::Good;
        return seen;
    }
    std::string settlingWhy;
    seen.number = frame_number(rec.data, rec.width, rec.height, stride, true, kSettlingRed, &settlingWhy);
    if (seen.number > 0) seen.exposure = Exposure::Settling;
    return seen;
}

class StreamingTest : public ComponentTest
{
protected:
    void open(const std::string &options)
    {
        ASSERT_TRUE(add_device("cam", "--size 64x48 --tag " + std::to_string(kTag) + " " + options));
        ASSERT_EQ(S_OK, object->createCapture(0, 1, 1, 64, 48));
        ASSERT_EQ(S_OK, object->startCapture());
    }
};

TEST_F(StreamingTest, ARealCameraIsStartedOnceAndItsSettlingFramesPassEarly)
{
    open("--fps 30 --start-ms 300 --settle 5");
    const DWORD start = GetTickCount();
    long last = 0;
    int settlingAfterOneSecond = 0;
    for (int i = 0; i < 90; ++i) {
        QuiloImageStruct rec = {};
        ASSERT_EQ(S_OK, object->Grab(&rec)) << "grab " << i;
        const DWORD at = GetTickCount() - start;
        const Seen seen = inspect(rec);
        ASSERT_NE(Exposure::Wrong, seen.exposure) << "grab " << i << ": " << seen.why;
        EXPECT_GT(seen.number, last) << "grab " << i << " handed out an older or the same frame";
        last = seen.number;
        if (seen.exposure == Exposure::Settling && at > 1000) ++settlingAfterOneSecond;
    }
    EXPECT_EQ(0, settlingAfterOneSecond);
    EXPECT_EQ(S_FALSE, object->destroyCapture());
    const DeviceRecord record = read_device_record("cam");
    EXPECT_EQ(1, record.streamStarts) << "one stream for the whole session";
    EXPECT_EQ(record.runs, record.stops) << "destroyCapture stopped it";
}

TEST_F(StreamingTest, EachGrabTakesAFrameThatArrivedAfterItBegan)
{
    // At 30 frames a second the device goes on while the host pauses between calls: the frame
    // taken after the pause is newer than the pause, not one kept from before it.
    open("--fps 30");
    QuiloImageStruct rec = {};
    ASSERT_EQ(S_OK, object->Grab(&rec));
    const Seen first = inspect(rec);
    // A bad first frame (-1) would loosen the bound below.
    ASSERT_EQ(Exposure::Good, first.exposure) << first.why;
    ASSERT_GE(first.number, 1);
    Sleep(500); // about 15 frames go by unread
    ASSERT_EQ(S_OK, object->Grab(&rec));
    const Seen after = inspect(rec);
    ASSERT_EQ(Exposure::Good, after.exposure) << after.why;
    EXPECT_GE(after.number, first.number + 14) << "a frame from before the call was handed out";
}

TEST_F(StreamingTest, ADeviceThatStopsAfterSomeFramesTimesOutAndTheNextSessionStartsAfresh)
{
    // Paced, so that the host asks for each frame before the next one comes: frames that
    // arrive while no Grab waits are passed by.
    open("--fps 30 --stall-after 3");
    for (long n = 1; n <= 3; ++n) {
        QuiloImageStruct rec = {};
        ASSERT_EQ(S_OK, object->Grab(&rec));
        EXPECT_EQ(n, inspect(rec).number);
    }
    QuiloImageStruct rec = {};
    EXPECT_EQ(VFW_E_TIMEOUT, object->Grab(&rec));
    EXPECT_EQ(nullptr, rec.data) << "the record is untouched";
    DeviceRecord record = read_device_record("cam");
    EXPECT_EQ(1, record.streamStarts);
    EXPECT_EQ(record.runs, record.stops) << "a time-out stops the stream";

    // The same object grabs again from a fresh device object: frame 1 again.
    ASSERT_EQ(S_OK, object->createCapture(0, 1, 1, 64, 48));
    ASSERT_EQ(S_OK, object->Grab(&rec));
    EXPECT_EQ(nullptr, rec.data) << "not started: no pixels handed out";
    ASSERT_EQ(S_OK, object->startCapture());
    ASSERT_EQ(S_OK, object->Grab(&rec));
    EXPECT_EQ(2, inspect(rec).number) << "the stream the first Grab started goes on";
}

TEST_F(StreamingTest, AStreamTheDeviceEndsIsStartedAgainWithinTheGrab)
{
    // Unpaced, each stream ends (EndOfStream, EC_COMPLETE) after three frames, mostly while no
    // Grab waits.
    open("--fps 0 --end-after 3");
    long last = 0;
    for (int i = 0; i < 6; ++i) {
        QuiloImageStruct rec = {};
        ASSERT_EQ(S_OK, object->Grab(&rec)) << "grab " << i;
        const Seen seen = inspect(rec);
        ASSERT_EQ(Exposure::Good, seen.exposure) << seen.why;
        EXPECT_GT(seen.number, last);
        last = seen.number;
    }
    EXPECT_GE(read_device_record("cam").streamStarts, 2);
}

TEST_F(StreamingTest, AnErrorThatLeavesTheStreamPlayingFailsNoGrab)
{
    // EC_STREAM_ERROR_STILLPLAYING after frame 2, queued while no Grab waits; paced, so the
    // next Grab waits past its first look at the events.
    open("--fps 30 --warn-after 2");
    for (long n = 1; n <= 5; ++n) {
        QuiloImageStruct rec = {};
        ASSERT_EQ(S_OK, object->Grab(&rec)) << "frame " << n;
        EXPECT_EQ(n, inspect(rec).number);
    }
    const DeviceRecord record = read_device_record("cam");
    EXPECT_EQ(1, record.streamStarts) << "the stream was never restarted";
    EXPECT_EQ(0, record.stops);
}

TEST_F(StreamingTest, AFormatTheDeviceChangesMidStreamIsHandedOutAsItIs)
{
    struct Case
    {
        const char *size; // the device's new size after frame 2 (a negative height: top-down)
        LONG width, height;
    };
    const Case cases[] = {{"80x60", 80, 60}, {"32x24", 32, 24}, {"64x-48", 64, 48}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.size);
        open(std::string("--fps 30 --change-after 2 --change-size ") + c.size);
        QuiloImageStruct rec = {};
        long last = 0;
        for (int i = 1; i <= 4; ++i) {
            ASSERT_EQ(S_OK, object->Grab(&rec)) << "grab " << i;
            // Top row first, as asked, whichever order the device turned to. The frame that
            // announces the change may be passed by; none is handed out twice.
            const Seen seen = inspect(rec);
            ASSERT_EQ(Exposure::Good, seen.exposure) << "grab " << i << ": " << seen.why;
            ASSERT_GT(seen.number, last);
            last = seen.number;
            const bool changed = seen.number > 2;
            EXPECT_EQ(changed ? c.width : 64, rec.width);
            EXPECT_EQ(changed ? c.height : 48, rec.height);
        }
        EXPECT_EQ(1, read_device_record("cam").streamStarts);
        EXPECT_EQ(S_FALSE, object->destroyCapture());
    }
}

TEST_F(StreamingTest, RecreatingWhileStreamingStopsTheOldStreamFirst)
{
    open("--fps 0");
    QuiloImageStruct rec = {};
    for (int i = 0; i < 5; ++i) ASSERT_EQ(S_OK, object->Grab(&rec));
    ASSERT_EQ(S_OK, object->createCapture(0, 1, 1, 64, 48));
    DeviceRecord record = read_device_record("cam");
    EXPECT_EQ(1, record.streamStarts);
    EXPECT_EQ(record.runs, record.stops) << "the old stream was stopped before the new graph";
    ASSERT_EQ(S_OK, object->startCapture());
    ASSERT_EQ(S_OK, object->Grab(&rec));
    EXPECT_EQ(1, inspect(rec).number) << "a new device object starts its pictures at 1";
    record = read_device_record("cam");
    EXPECT_EQ(2, record.streamStarts);
}

TEST_F(StreamingTest, ReleasingAStreamingObjectWithoutDestroyCaptureStopsTheDevice)
{
    open("--fps 30");
    QuiloImageStruct rec = {};
    for (int i = 0; i < 3; ++i) ASSERT_EQ(S_OK, object->Grab(&rec));
    object.reset();
    EXPECT_EQ(0, live_testcam_objects());
    const DeviceRecord record = read_device_record("cam");
    EXPECT_EQ(1, record.streamStarts);
    EXPECT_EQ(record.runs, record.stops);
}

} // namespace
