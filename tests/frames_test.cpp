// Frames end to end: what Grab hands a host, checked bit for bit against the test camera's
// documented picture.
#include <gtest/gtest.h>
#include <vfwmsgs.h>

#include <malloc.h>
#include <string>

#include "support/ComponentTest.h"
#include "support/TestCamera.h"
#include "support/TestSupport.h"

using quilo::ComPtr;
using namespace quilo::test;

namespace {

// Grab's bound on waiting for a sample, as the README states it.

class FramesTest : public ComponentTest
{
protected:
    void open(const std::string &options, bool flip, LONG width, LONG height)
    {
        ASSERT_TRUE(add_device("cam", "--fps 0 " + options));
        ASSERT_EQ(S_OK, object->createCapture(0, flip ? 1 : 0, 1, width, height));
        ASSERT_EQ(S_OK, object->startCapture());
    }

};

TEST_F(FramesTest, RecordDescribesAnRgb24Frame)
{
    open("--tag 9", true, 640, 480);
    QuiloImageStruct rec = {};
    ASSERT_EQ(S_OK, object->Grab(&rec));
    EXPECT_EQ(640, rec.width);
    EXPECT_EQ(480, rec.height);
    EXPECT_EQ(8, rec.depth);
    EXPECT_EQ(3, rec.channels);
    ASSERT_NE(nullptr, rec.data);
    EXPECT_EQ(1920, rgb24_stride(rec.width));
    // Every pixel of the 921,600-byte frame, rows 1,920 bytes apart.
    EXPECT_GT(good_number(rec, true, 9), 0);
}

TEST_F(FramesTest, FlippingPutsTheTopRowFirst)
{
    for (bool flip : {true, false}) {
        SCOPED_TRACE(flip);
        open("", flip, 64, 48);
        QuiloImageStruct rec = {};
        ASSERT_EQ(S_OK, object->Grab(&rec));
        // frame_number checks every pixel, so columns in their order and rows in the stated one.
        EXPECT_GT(good_number(rec, flip, 0), 0);
        ASSERT_EQ(S_FALSE, object->destroyCapture());
    }
}

TEST_F(FramesTest, OddWidthKeepsRowsPaddedAndOddHeightKeepsItsMiddleRow)
{
    for (bool flip : {true, false}) {
        SCOPED_TRACE(flip);
        open("", flip, 321, 481);
        QuiloImageStruct rec = {};
        ASSERT_EQ(S_OK, object->Grab(&rec));
        ASSERT_EQ(321, rec.width);
        ASSERT_EQ(481, rec.height);
        const long n = good_number(rec, flip, 0);
        const long stride = 964;
        for (int row = 0; row < rec.height; ++row) ASSERT_EQ(0, rec.data[row * stride + 963]) << "padding of row " << row;
        // The middle row is the picture's row 240 in either order.
        const unsigned char *middle = rec.data + 240 * stride;
        for (int x = 0; x < 321; ++x) {
            ASSERT_EQ((x + n) % 256, middle[3 * x]);
            ASSERT_EQ(240, middle[3 * x + 1]);
        }
        ASSERT_EQ(S_FALSE, object->destroyCapture());
    }
}

TEST_F(FramesTest, EveryGrabIsAFrameTakenAfterTheCall)
{
    for (const char *rate : {"--fps 0", "--fps 30"}) {
        SCOPED_TRACE(rate);
        ASSERT_TRUE(add_device("cam", std::string(rate) + " --size 64x48"));
        ASSERT_EQ(S_OK, object->createCapture(0, 1, 1, 64, 48));
        ASSERT_EQ(S_OK, object->startCapture());
        // The picture carries n mod 256. An unpaced device runs far ahead between Grabs, so its
        // numbers only differ; a paced one is asked for every frame, so they grow.
        const bool paced = std::string(rate) != "--fps 0";
        long last = 0;
        for (int i = 0; i < 5; ++i) {
            QuiloImageStruct rec = {};
            ASSERT_EQ(S_OK, object->Grab(&rec));
            const long n = good_number(rec, true, 0);
            if (paced)
                EXPECT_GT(n, last);
            else
                EXPECT_NE(n, last) << "the same frame twice";
            last = n;
        }
        ASSERT_EQ(S_FALSE, object->destroyCapture());
    }

    // Unpaced, a frame kept from before the call would pass the check above: the device runs
    // ahead between Grabs. One that stops after three frames tells them apart: its frames all
    // go by moments after the stream starts, so once they are gone no Grab has a frame that
    // arrived after it began, and each one handed out must be newer than the last.
    SCOPED_TRACE("--fps 0 --stall-after 3");
    ASSERT_TRUE(add_device("cam", "--fps 0 --stall-after 3 --size 64x48"));
    ASSERT_EQ(S_OK, object->createCapture(0, 1, 1, 64, 48));
    ASSERT_EQ(S_OK, object->startCapture());
    long last = 0;
    int taken = 0;
    HRESULT hr = S_OK;
    QuiloImageStruct rec = {};
    while (taken <= 3 && (hr = object->Grab(&rec)) == S_OK) {
        const long n = good_number(rec, true, 0);
        EXPECT_GT(n, last) << "grab " << taken << ": a frame handed out again";
        EXPECT_LE(n, 3) << "grab " << taken;
        last = n;
        ++taken;
        Sleep(200); // the device's remaining frames go by while no Grab waits
    }
    EXPECT_EQ(VFW_E_TIMEOUT, hr) << "after the device's last frame, " << taken << " Grabs succeeded";
    EXPECT_GE(taken, 1);
}

TEST_F(FramesTest, TheBufferIsReusedWhileTheSizeHolds)
{
    open("", false, 64, 48);
    QuiloImageStruct first = {}, second = {};
    ASSERT_EQ(S_OK, object->Grab(&first));
    ASSERT_EQ(S_OK, object->Grab(&second));
    EXPECT_EQ(first.data, second.data);
    // The component allocates from the C runtime's heap, which this process shares.
    EXPECT_EQ(64u * 3 * 48, _msize(first.data));

    // Re-opened at another size: a buffer of the new size (the heap may hand back the same
    // address, so the size tells whether it is a new block).
    ASSERT_EQ(S_FALSE, object->destroyCapture());
    ASSERT_EQ(S_OK, object->createCapture(0, 0, 1, 128, 96));
    ASSERT_EQ(S_OK, object->startCapture());
    QuiloImageStruct third = {};
    ASSERT_EQ(S_OK, object->Grab(&third));
    EXPECT_EQ(128u * 3 * 96, _msize(third.data));
    EXPECT_GT(good_number(third, false, 0), 0);
}

TEST_F(FramesTest, BeforeStartTheGraphRunsButNothingIsHandedOut)
{
    ASSERT_TRUE(add_device("cam", "--fps 0 --size 64x48"));
    ASSERT_EQ(S_OK, object->createCapture(0, 1, 1, 64, 48));
    unsigned char mine = 0;
    QuiloImageStruct rec = {0, 0, 0, 0, &mine};
    ASSERT_EQ(S_OK, object->Grab(&rec));
    EXPECT_EQ(&mine, rec.data);
    EXPECT_EQ(64, rec.width);
    EXPECT_EQ(48, rec.height);
    EXPECT_EQ(8, rec.depth);
    EXPECT_EQ(3, rec.channels);

    ASSERT_EQ(S_OK, object->startCapture());
    ASSERT_EQ(S_OK, object->Grab(&rec));
    ASSERT_NE(&mine, rec.data);
    EXPECT_GE(good_number(rec, true, 0), 2) << "the first Grab took frame 1";
}

TEST_F(FramesTest, AStalledDeviceEndsGrabWithinTheBound)
{
    open("--stall --size 64x48", true, 64, 48);
    QuiloImageStruct rec = {5, 6, 7, 8, nullptr};
    const DWORD start = GetTickCount();
    EXPECT_EQ(VFW_E_TIMEOUT, object->Grab(&rec));
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, kGrabBoundMs - 500);
    EXPECT_LT(elapsed, kGrabBoundMs + 5000);
    EXPECT_EQ(5, rec.width) << "the record is untouched";
    EXPECT_EQ(nullptr, rec.data);
}

TEST_F(FramesTest, AFrameHandedOutStaysValidWhenTheNextGrabTimesOut)
{
    open("--stall-after 1 --size 64x48", true, 64, 48);
    QuiloImageStruct rec = {};
    ASSERT_EQ(S_OK, object->Grab(&rec));
    const long n = good_number(rec, true, 0);
    QuiloImageStruct next = rec;
    EXPECT_EQ(VFW_E_TIMEOUT, object->Grab(&next));
    EXPECT_EQ(rec.data, next.data);
    EXPECT_EQ(n, good_number(rec, true, 0)) << "the earlier frame is intact";
}

TEST_F(FramesTest, GrabWithoutASetUpContextWritesNothing)
{
    QuiloImageStruct rec = {1, 2, 3, 4, nullptr};
    EXPECT_EQ(VFW_E_WRONG_STATE, object->Grab(&rec)) << "before createCapture";
    EXPECT_EQ(S_OK, object->startCapture());
    EXPECT_EQ(VFW_E_WRONG_STATE, object->Grab(&rec)) << "started but never opened";
    EXPECT_EQ(VFW_E_NO_CAPTURE_HARDWARE, object->createCapture(0, 1, 1, 64, 48));
    EXPECT_EQ(VFW_E_WRONG_STATE, object->Grab(&rec)) << "after a failed open";
    ASSERT_TRUE(add_device("cam", "--fps 0 --size 64x48"));
    ASSERT_EQ(S_OK, object->createCapture(0, 1, 1, 64, 48));
    ASSERT_EQ(S_FALSE, object->destroyCapture());
    EXPECT_EQ(VFW_E_WRONG_STATE, object->Grab(&rec)) << "after destroyCapture";
    EXPECT_EQ(1, rec.width);
    EXPECT_EQ(4, rec.channels);
    EXPECT_EQ(nullptr, rec.data);
    EXPECT_EQ(S_OK, object->Grab(nullptr));
}

} // namespace
