// Failures of the platform that no device can produce, behind a capture context: the engine
// must answer with the failure, leave nothing set up, hold nothing, and balance COM. Also the
// frame formats the test camera never connects with.
#include <gtest/gtest.h>
#include <windows.h>
#include <dshow.h>
#include <wincodec.h>

#include <algorithm>
#include <string>

#include "capture/CameraSession.h"
#include "capture/CaptureContext.h"
#include "dshow/DirectShowIds.h"
#include "dshow/MediaType.h"
#include "dshow/VideoFormat.h"
#include "support/PlatformDouble.h"
#include "support/TestFolder.h"
#include "support/TestCamera.h"
#include "support/TestSupport.h"

using namespace quilo;
using namespace quilo::test;

namespace {

constexpr HRESULT kInjected = static_cast<HRESULT>(0x8004FACE);

class EngineTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        ComScope com;
        ASSERT_EQ(S_OK, register_test_camera());
    }
    void SetUp() override { ASSERT_TRUE(clear_devices()); }
    void TearDown() override { EXPECT_TRUE(clear_devices()); }

    // Nothing of a failed open is left in the context, as its methods answer, no object of the
    // device is alive, and COM is balanced.
    void expect_clean(capture::CaptureContext &c, const PlatformDouble &used)
    {
        EXPECT_FALSE(c.isSetUp());
        EXPECT_EQ(nullptr, c.procAmp()) << "no controls are held";
        EXPECT_EQ(nullptr, c.videoDecoder());
        EXPECT_EQ(used.comInits, used.comUninits);
        EXPECT_EQ(0, live_testcam_objects());
        QuiloImageStruct rec = {1, 2, 3, 4, nullptr};
        EXPECT_EQ(VFW_E_WRONG_STATE, c.grab(&rec));
        EXPECT_EQ(1, rec.width) << "the record is untouched";
        EXPECT_EQ(S_OK, c.destroyCapture());
    }

    ComScope com;
    PlatformDouble platform;
};

TEST_F(EngineTest, GraphObjectsThatCannotBeCreated)
{
    ASSERT_TRUE(add_device("cam", "--fps 0 --size 64x48"));
    for (const CLSID &clsid : {CLSID_CaptureGraphBuilder2, CLSID_FilterGraph, kClsidSampleGrabber, kClsidNullRenderer,
                               CLSID_SystemDeviceEnum}) {
        PlatformDouble failing;
        failing.failCreation(clsid, kInjected);
        capture::CaptureContext context(failing);
        EXPECT_EQ(kInjected, context.createCapture(0, 0, 1, 64, 48));
        EXPECT_TRUE(IsEqualCLSID(clsid, failing.created.back())) << "nothing is created after the failure";
        expect_clean(context, failing);
    }
}

TEST_F(EngineTest, AddFilterFailures)
{
    ASSERT_TRUE(add_device("cam", "--fps 0 --size 64x48"));
    for (const wchar_t *name : {L"Capture Filter", L"Grabber", L"NullRenderer"}) {
        PlatformDouble failing;
        failing.failAddFilter(name, kInjected);
        capture::CaptureContext context(failing);
        EXPECT_EQ(kInjected, context.createCapture(0, 0, 1, 64, 48));
        expect_clean(context, failing);
    }
}

TEST_F(EngineTest, NegativePositionCreatesNothing)
{
    capture::CaptureContext context(platform);
    EXPECT_EQ(E_INVALIDARG, context.createCapture(-1, 0, 1, 64, 48));
    EXPECT_TRUE(platform.created.empty());
    EXPECT_EQ(0, platform.comInits);
    expect_clean(context, platform);
}

TEST_F(EngineTest, DestroyingASetUpContextClosesTheDevice)
{
    ASSERT_TRUE(add_device("cam", "--fps 0 --size 64x48"));
    {
        capture::CaptureContext context(platform);
        ASSERT_EQ(S_OK, context.createCapture(0, 1, 1, 64, 48));
        ASSERT_EQ(S_OK, context.startCapture());
        QuiloImageStruct rec = {};
        ASSERT_EQ(S_OK, context.grab(&rec));
        EXPECT_GT(live_testcam_objects(), 0);
        EXPECT_EQ(1, platform.comInits - platform.comUninits);
    }
    EXPECT_EQ(0, live_testcam_objects());
    EXPECT_EQ(platform.comInits, platform.comUninits);
}

TEST_F(EngineTest, ThePageFrameAndTheMessageGoThroughThePlatform)
{
    ASSERT_TRUE(add_device("pages", "--fps 0 --size 64x48"));
    ASSERT_TRUE(add_device("refusing", "--fps 0 --size 64x48 --refuse-format"));
    capture::CaptureContext context(platform);
    ASSERT_EQ(S_OK, context.createCapture(0, 0, 0, 0, 0));
    EXPECT_EQ(1, platform.propertyFrames);
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(E_FAIL, context.createCapture(1, 0, 1, 64, 48)) << "the device's SetFormat refusal, unchanged";
    ASSERT_EQ(1u, platform.messages.size());
    EXPECT_EQ("SetFormat Failed\n", platform.messages[0]);
    EXPECT_EQ(1, platform.propertyFrames);
    expect_clean(context, platform);
}

TEST_F(EngineTest, ARunThatFailsAfterFiltersStartedLeavesNoneRunning)
{
    // Microsoft documents that after a failed Run some filters may be running; the real graph
    // runs here and only its answer fails.
    ASSERT_TRUE(add_device("cam", "--fps 0 --size 64x48"));
    PlatformDouble failing;
    failing.failRun(kInjected);
    capture::CaptureContext context(failing);
    ASSERT_EQ(S_OK, context.createCapture(0, 0, 1, 64, 48));
    ASSERT_EQ(S_OK, context.startCapture());
    QuiloImageStruct rec = {1, 2, 3, 4, nullptr};
    for (long i = 1; i <= 2; ++i) {
        EXPECT_EQ(kInjected, context.grab(&rec));
        EXPECT_EQ(1, rec.width) << "the record is untouched";
        const DeviceRecord record = read_device_record("cam");
        EXPECT_GE(record.pauses, i) << "the graph's Run reached the device";
        EXPECT_EQ(i, record.stops) << "each failed Run was followed by a Stop";
    }
    EXPECT_EQ(S_FALSE, context.destroyCapture());
}

TEST_F(EngineTest, DestroyCaptureLeavesNoGraphGrabberOrRendererAlive)
{
    ASSERT_TRUE(add_device("cam", "--fps 0 --size 64x48"));
    PlatformDouble keeping;
    for (const CLSID &clsid : {CLSID_CaptureGraphBuilder2, CLSID_FilterGraph, kClsidSampleGrabber, kClsidNullRenderer})
        keeping.keep(clsid);
    capture::CaptureContext context(keeping);
    ASSERT_EQ(S_OK, context.createCapture(0, 0, 1, 64, 48));
    ASSERT_EQ(S_OK, context.startCapture());
    QuiloImageStruct rec = {};
    ASSERT_EQ(S_OK, context.grab(&rec));
    ASSERT_EQ(S_FALSE, context.destroyCapture());
    ASSERT_EQ(4u, keeping.kept.size());
    // The test's reference is the last one of each: nothing of the graph outlives the capture.
    for (IUnknown *object : keeping.kept) EXPECT_EQ(0u, object->Release());
    EXPECT_NE(nullptr, context.procAmp()) << "the device's controls stay, as documented";
}

// A device plugged in while Open runs comes first in the list: the device found by its name is
// the one bound, whatever its position has become.
TEST_F(EngineTest, OpeningByNameBindsTheDeviceFoundThere)
{
    ASSERT_TRUE(add_device("Cam B", "--fps 0 --size 64x48 --tag 2"));
    PlatformDouble plugging;
    plugging.beforeCreation(CLSID_CaptureGraphBuilder2, [] { ASSERT_TRUE(add_device("Cam A", "--tag 1")); });
    capture::CameraSession session(plugging);
    capture::Choice byName;
    byName.byText = true;
    byName.text = L"Cam B";
    ASSERT_FALSE(session.open(byName, 0, 0, 0).failed());
    ASSERT_FALSE(session.grab(4000).failed());
    LONG rgb = 0;
    ASSERT_FALSE(session.pixel(0, 0, rgb).failed());
    EXPECT_EQ(2, rgb >> 16) << "red is the tag of the device opened";
    LONG count = 0;
    ASSERT_FALSE(session.deviceCount(count).failed());
    EXPECT_EQ(2, count) << "the new device came while Open ran";

    // The session's every platform object comes through the platform, the image encoder's too.
    const TestFolder folder("engine");
    ASSERT_FALSE(session.saveFrame(quilo::test::widen(folder.file("frame.png"))).failed());
    EXPECT_EQ(1, std::count_if(plugging.created.begin(), plugging.created.end(), [](const CLSID &clsid) {
                  return IsEqualCLSID(clsid, CLSID_WICImagingFactory) != 0;
              }));
}

TEST(FrameFormatTest, OnlyRgb24BitmapsWithinTheBoundAreTaken)
{
    struct Case
    {
        WORD bits;
        DWORD compression;
        LONG width, height;
        HRESULT result;
    };
    const Case cases[] = {
        {24, BI_RGB, dshow::kMaxFrameSide, -dshow::kMaxFrameSide, S_OK},
        {32, BI_RGB, 64, 48, VFW_E_INVALIDMEDIATYPE},
        {16, BI_RGB, 64, 48, VFW_E_INVALIDMEDIATYPE},
        {24, BI_BITFIELDS, 64, 48, VFW_E_INVALIDMEDIATYPE},
        {24, MAKEFOURCC('Y', 'U', 'Y', '2'), 64, 48, VFW_E_INVALIDMEDIATYPE},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.bits) + " bits, compression " + std::to_string(c.compression));
        MediaType type;
        ASSERT_EQ(S_OK, dshow::make_rgb24_type(64, 48, 0, dshow::VideoHeader::Info, *type.get()));
        BITMAPINFOHEADER *bih = dshow::bitmap_header(*type.get());
        bih->biBitCount = c.bits;
        bih->biCompression = c.compression;
        bih->biWidth = c.width;
        bih->biHeight = c.height;
        dshow::FrameFormat format;
        EXPECT_EQ(c.result, dshow::read_frame_format(*type.get(), format));
        if (c.result == S_OK) {
            EXPECT_EQ(49152L * dshow::kMaxFrameSide, format.imageBytes) << "the largest frame's bytes";
        }
    }
}

} // namespace
