// Faulty devices end to end: each fault gives its documented result, and the same object then
// opens a good device and hands out a correct frame, as a host that carries on would need.
#include <gtest/gtest.h>
#include <dshow.h>
#include <vfwmsgs.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/ComponentTest.h"
#include "dshow/DeviceList.h"
#include "support/DialogWatcher.h"
#include "support/TestCamera.h"
#include "support/TestSupport.h"

using quilo::ComPtr;
using namespace quilo::test;

namespace {

const HRESULT kDeviceNotConnected = HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);

// Named to sort after every faulty device, so it is the last position.
const char kGoodDevice[] = "z-good";
constexpr int kGoodTag = 77;

class FaultyDevicesTest : public ComponentTest
{
protected:
    void add_good_device() { ASSERT_TRUE(add_device(kGoodDevice, "--fps 0 --size 64x48 --tag 77")); }

    // Opens the device at `position`, grabs one frame, checks it pixel for pixel and closes it.
    void expect_usable(LONG position, int tag = kGoodTag)
    {
        ASSERT_EQ(S_OK, object->createCapture(position, 1, 1, 64, 48));
        ASSERT_EQ(S_OK, object->startCapture());
        QuiloImageStruct rec = {};
        ASSERT_EQ(S_OK, object->Grab(&rec));
        ASSERT_NE(nullptr, rec.data);
        ASSERT_EQ(64, rec.width);
        ASSERT_EQ(48, rec.height);
        std::string why;
        EXPECT_GT(record_number(rec, true, tag, &why), 0) << why;
        EXPECT_EQ(S_FALSE, object->destroyCapture());
    }

    // A failed open leaves nothing set up and no device object behind, even for a host that
    // starts and grabs as if it had worked.
    void expect_not_set_up()
    {
        QuiloImageStruct rec = {1, 2, 3, 4, nullptr};
        EXPECT_EQ(S_OK, object->startCapture());
        EXPECT_EQ(VFW_E_WRONG_STATE, object->Grab(&rec));
        EXPECT_EQ(nullptr, rec.data);
        EXPECT_EQ(S_OK, object->destroyCapture()) << "nothing to tear down";
        EXPECT_EQ(0, live_testcam_objects()) << "the failed device was released";
    }
};

// Video input devices the host itself sees, by its own enumeration.
int count_devices()
{
    std::vector<quilo::dshow::VideoDevice> devices;
    if (FAILED(quilo::dshow::list_video_devices(devices))) return -1;
    return static_cast<int>(devices.size());
}

TEST_F(FaultyDevicesTest, AStallingDeviceTimesOutStopsAndOpensAgain)
{
    // Delivers one frame per opening, then nothing: a camera that hangs after a good start.
    ASSERT_TRUE(add_device("a-stalls", "--fps 0 --size 64x48 --stall-after 1 --tag 9"));
    add_good_device();
    ASSERT_EQ(S_OK, object->createCapture(0, 1, 1, 64, 48));
    ASSERT_EQ(S_OK, object->startCapture());
    QuiloImageStruct rec = {};
    ASSERT_EQ(S_OK, object->Grab(&rec));
    const QuiloImageStruct first = rec;

    const DWORD start = GetTickCount();
    EXPECT_EQ(VFW_E_TIMEOUT, object->Grab(&rec));
    EXPECT_LT(GetTickCount() - start, kGrabBoundMs + 5000) << "ends at the bound, never hangs";
    EXPECT_EQ(0, std::memcmp(&first, &rec, sizeof(rec))) << "the record is untouched";
    std::string why;
    EXPECT_EQ(1, record_number(rec, true, 9, &why))
        << "the frame handed out before is still there: " << why;
    DeviceRecord record = read_device_record("a-stalls");
    EXPECT_EQ(1, record.streamStarts) << "both Grabs used one stream";
    EXPECT_EQ(record.runs, record.stops) << "the graph is stopped after the time-out";

    EXPECT_EQ(S_FALSE, object->destroyCapture());
    // Re-opened, the same device starts afresh: its first frame again, bit for bit.
    ASSERT_EQ(S_OK, object->createCapture(0, 1, 1, 64, 48));
    ASSERT_EQ(S_OK, object->startCapture());
    ASSERT_EQ(S_OK, object->Grab(&rec));
    EXPECT_EQ(1, record_number(rec, true, 9, &why)) << why;
    EXPECT_EQ(S_FALSE, object->destroyCapture());
    expect_usable(1);
}

TEST_F(FaultyDevicesTest, EachFailedOpenLeavesTheObjectUsable)
{
    struct Case
    {
        const char *options;
        HRESULT result;
        size_t messages; // message boxes shown
        LONG width = 64, height = 48;
    };
    const Case cases[] = {
        // Hardware gone while its entry is still listed: the driver's own failure from the bind.
        {"--unplugged", kDeviceNotConnected, 0},
        // The frame-size step fails with the device's result, after one message box.
        {"--refuse-format", E_FAIL, 1},
        // A crossbar whose pin queries fail: their failure, nothing set up.
        {"--crossbar composite/decoder --crossbar-fail", E_FAIL, 0},
        {"--procamp none", E_NOINTERFACE, 0},
        // A device that takes any size: a width whose 32-bit byte count wraps to 8 bytes, and
        // sides just beyond the bound, are refused before any buffer is sized.
        {"--any-size", VFW_E_INVALIDMEDIATYPE, 0, 178956971, 2},
        {"--any-size", VFW_E_INVALIDMEDIATYPE, 0, 16385, 48},
        {"--any-size", VFW_E_INVALIDMEDIATYPE, 0, 64, -16385},
    };
    add_good_device();
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.options) + " " + std::to_string(c.width) + "x" + std::to_string(c.height));
        ASSERT_TRUE(add_device("a-faulty", std::string("--fps 0 --size 64x48 ") + c.options));
        {
            DialogWatcher watcher;
            EXPECT_EQ(c.result, object->createCapture(0, 1, 1, c.width, c.height));
            EXPECT_EQ(c.messages, watcher.seen().size());
        }
        expect_not_set_up();
        expect_usable(1);
        // Failing again after a good open is no different.
        {
            DialogWatcher watcher;
            EXPECT_EQ(c.result, object->createCapture(0, 1, 1, c.width, c.height));
        }
        expect_not_set_up();
    }
}

TEST_F(FaultyDevicesTest, ASampleShorterThanItsFormatFailsThatGrab)
{
    ASSERT_TRUE(add_device("a-short", "--fps 0 --size 64x48 --short-samples"));
    add_good_device();
    ASSERT_EQ(S_OK, object->createCapture(0, 1, 1, 64, 48));
    ASSERT_EQ(S_OK, object->startCapture());
    QuiloImageStruct rec = {1, 2, 3, 4, nullptr};
    const QuiloImageStruct before = rec;
    // Every sample is short, so a Grab that starts the stream again fails the same way.
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(VFW_E_BUFFER_UNDERFLOW, object->Grab(&rec));
        EXPECT_EQ(0, std::memcmp(&before, &rec, sizeof(rec))) << "the record is untouched";
    }
    const DeviceRecord record = read_device_record("a-short");
    EXPECT_EQ(record.runs, record.stops) << "the graph is stopped after each failure";
    EXPECT_EQ(S_FALSE, object->destroyCapture());
    expect_usable(1);
}

TEST_F(FaultyDevicesTest, AFaultWhileStreamingFailsThatGrabAndLeavesTheFrameHandedOutBefore)
{
    struct Case
    {
        const char *options;
        HRESULT result;
    };
    // README's result table: a removed device's 0x8007048F; an error abort's own HRESULT.
    const Case cases[] = {
        {"--lost-after 2", kDeviceNotConnected},
        {"--abort-after 2", HRESULT_FROM_WIN32(ERROR_GEN_FAILURE)},
        {"--abort-after 2 --abort-error 0x80070015", HRESULT_FROM_WIN32(ERROR_NOT_READY)},
    };
    add_good_device();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.options);
        // Paced, so that each Grab takes the device's next frame: 1, then 2, then the fault.
        ASSERT_TRUE(add_device("a-faulty", std::string("--fps 30 --size 64x48 --tag 9 ") + c.options));
        ASSERT_EQ(S_OK, object->createCapture(0, 1, 1, 64, 48));
        ASSERT_EQ(S_OK, object->startCapture());
        QuiloImageStruct rec = {};
        for (int i = 0; i < 2; ++i) ASSERT_EQ(S_OK, object->Grab(&rec));
        const QuiloImageStruct last = rec;
        const std::vector<unsigned char> pixels(rec.data, rec.data + rgb24_stride(rec.width) * rec.height);

        const DWORD start = GetTickCount();
        EXPECT_EQ(c.result, object->Grab(&rec));
        EXPECT_LT(GetTickCount() - start, kGrabBoundMs) << "the event ends the Grab, not the time-out";
        EXPECT_EQ(0, std::memcmp(&last, &rec, sizeof(rec))) << "the record is untouched";
        EXPECT_EQ(0, std::memcmp(pixels.data(), rec.data, pixels.size())) << "the frame handed out is as it was";
        const DeviceRecord record = read_device_record("a-faulty");
        EXPECT_EQ(record.runs, record.stops) << "the stream is stopped";

        EXPECT_EQ(S_FALSE, object->destroyCapture());
        // Opened again, the device is a new device object that delivers again.
        expect_usable(0, 9);
        expect_usable(1);
    }
}

TEST_F(FaultyDevicesTest, AnOpenDeviceIsClosedByAFailedOpen)
{
    // A host that opens a second device over the first: the first is closed even though the
    // second never opens.
    ASSERT_TRUE(add_device("a-gone", "--fps 0 --size 64x48 --unplugged"));
    add_good_device();
    ASSERT_EQ(S_OK, object->createCapture(1, 1, 1, 64, 48));
    ASSERT_EQ(S_OK, object->startCapture());
    QuiloImageStruct rec = {};
    ASSERT_EQ(S_OK, object->Grab(&rec));
    EXPECT_EQ(kDeviceNotConnected, object->createCapture(0, 1, 1, 64, 48));
    expect_not_set_up();
    const DeviceRecord record = read_device_record(kGoodDevice);
    EXPECT_EQ(record.runs, record.stops);
    expect_usable(1);
}

TEST_F(FaultyDevicesTest, ADeviceRemovedAfterTheHostListedItIsNoLongerThere)
{
    ASSERT_TRUE(add_device("a-stays", "--fps 0 --size 64x48 --tag 3"));
    ASSERT_TRUE(add_device("b-leaves", "--fps 0 --size 64x48 --tag 4"));
    ASSERT_EQ(2, count_devices());
    // Unplugged between the host's listing and its createCapture.
    ASSERT_TRUE(remove_device("b-leaves"));
    EXPECT_EQ(VFW_E_NO_CAPTURE_HARDWARE, object->createCapture(1, 1, 1, 64, 48));
    expect_not_set_up();
    expect_usable(0, 3);

    // Positions follow the platform's current list: after the first device goes, position 0
    // is the one that was after it.
    ASSERT_TRUE(add_device("b-leaves", "--fps 0 --size 64x48 --tag 4"));
    ASSERT_TRUE(remove_device("a-stays"));
    expect_usable(0, 4);
    EXPECT_EQ(VFW_E_NO_CAPTURE_HARDWARE, object->createCapture(1, 1, 1, 64, 48));
    expect_not_set_up();
}

} // namespace
