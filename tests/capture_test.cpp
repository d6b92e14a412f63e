// Building, arming and tearing down the capture graph, end to end: the registered component
// activated through COM, test camera devices bound by the platform's device enumerator.
#include <gtest/gtest.h>
#include <strmif.h>
#include <vfwmsgs.h>

#include <string>
#include <thread>
#include <utility>

#include "dshow/DeviceList.h"
#include "support/ComponentTest.h"
#include "support/DialogWatcher.h"
#include "support/TestCamera.h"
#include "support/TestSupport.h"

using quilo::ComPtr;
using namespace quilo::test;

namespace {

class CaptureTest : public ComponentTest
{
protected:
    // Grabs one frame and returns the test camera's sequence number in it (-1 on a mismatch).
    long grab_number(int tag, bool topRowFirst, QuiloImageStruct *out = nullptr)
    {
        QuiloImageStruct rec = {};
        EXPECT_EQ(S_OK, object->Grab(&rec));
        if (out) *out = rec;
        return good_number(rec, topRowFirst, tag);
    }

};

TEST_F(CaptureTest, DevicesAreCountedInThePlatformsOrder)
{
    // Listed case-insensitively by name, whatever the order of adding.
    ASSERT_TRUE(add_device("b-camera", "--tag 2 --fps 0"));
    ASSERT_TRUE(add_device("C-camera", "--tag 3 --fps 0"));
    ASSERT_TRUE(add_device("A-camera", "--tag 1 --fps 0"));
    for (LONG position = 0; position < 3; ++position) {
        SCOPED_TRACE(position);
        ASSERT_EQ(S_OK, object->createCapture(position, 0, 1, 64, 48));
        ASSERT_EQ(S_OK, object->startCapture());
        EXPECT_GT(grab_number(position + 1, false), 0);
        EXPECT_EQ(S_FALSE, object->destroyCapture());
    }
}

TEST_F(CaptureTest, PositionsWithoutADeviceFailWithoutSettingUp)
{
    QuiloImageStruct rec = {};
    EXPECT_EQ(VFW_E_NO_CAPTURE_HARDWARE, object->createCapture(0, 0, 1, 640, 480)) << "no devices at all";
    ASSERT_TRUE(add_device("only", "--fps 0"));
    EXPECT_EQ(E_INVALIDARG, object->createCapture(-1, 0, 1, 640, 480));
    EXPECT_EQ(VFW_E_NO_CAPTURE_HARDWARE, object->createCapture(1, 0, 1, 640, 480)) << "position == count";
    EXPECT_EQ(VFW_E_NO_CAPTURE_HARDWARE, object->createCapture(0x7FFFFFFF, 0, 1, 640, 480));
    EXPECT_EQ(VFW_E_WRONG_STATE, object->Grab(&rec));
    EXPECT_EQ(S_OK, object->destroyCapture());
    EXPECT_EQ(0, read_device_record("only").formatSets.size()) << "the device was never opened";
}

TEST_F(CaptureTest, ANamelessDeviceDoesNotHideTheNextOne)
{
    ASSERT_TRUE(add_device("a-nameless", "--no-name --fps 0"));
    ASSERT_TRUE(add_device("b-named", "--tag 7 --fps 0"));
    ASSERT_EQ(S_OK, object->createCapture(1, 0, 1, 320, 240));
    ASSERT_EQ(S_OK, object->startCapture());
    EXPECT_GT(grab_number(7, false), 0);
    EXPECT_EQ(S_FALSE, object->destroyCapture());

    // The wanted device itself must still give its name: the property bag's answer for a value
    // the device's key lacks, passed on unchanged.
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), object->createCapture(0, 0, 1, 320, 240));
    EXPECT_EQ(S_OK, object->destroyCapture());
}

TEST_F(CaptureTest, OnlyTheLowSixteenBitsOfTheBooleansCount)
{
    ASSERT_TRUE(add_device("cam", "--fps 0 --size 64x48"));
    struct Case
    {
        LONG value;
        bool isTrue;
    };
    for (Case c : {Case{1, true}, Case{-1, true}, Case{0x10000, false}, Case{0, false}}) {
        SCOPED_TRACE(c.value);
        // Flipping: the first row handed out is the top row exactly when the flag is true.
        ASSERT_EQ(S_OK, create_capture_raw(object.get(), 0, c.value, 1, 32, 24));
        ASSERT_EQ(S_OK, object->startCapture());
        EXPECT_GT(grab_number(0, c.isTrue), 0);
        ASSERT_EQ(S_FALSE, object->destroyCapture());
    }
    for (Case c : {Case{1, true}, Case{-1, true}, Case{0x10000, false}}) {
        SCOPED_TRACE(c.value);
        // Setting the frame size or showing the pages: only a true value sets the size.
        DialogWatcher watcher;
        const size_t before = read_device_record("cam").formatSets.size();
        ASSERT_EQ(S_OK, create_capture_raw(object.get(), 0, 0, c.value, 32, 24));
        EXPECT_EQ(c.isTrue ? before + 1 : before, read_device_record("cam").formatSets.size());
        EXPECT_EQ(c.isTrue ? 0u : 1u, watcher.seen().size());
        ASSERT_EQ(S_FALSE, object->destroyCapture());
    }
}

TEST_F(CaptureTest, FrameSizeGoesToTheFirstCapability)
{
    ASSERT_TRUE(add_device("cam", "--fps 0"));
    ASSERT_EQ(S_OK, object->createCapture(0, 1, 1, 321, 241));
    DeviceRecord record = read_device_record("cam");
    ASSERT_EQ(1u, record.formatSets.size());
    EXPECT_EQ(321, record.formatSets[0].width);
    EXPECT_EQ(241, record.formatSets[0].height);
    EXPECT_EQ(S_OK, record.formatSets[0].result);
    ASSERT_EQ(S_OK, object->startCapture());
    QuiloImageStruct rec = {};
    EXPECT_GT(grab_number(0, true, &rec), 0) << "rows 964 bytes apart";
    EXPECT_EQ(321, rec.width);
    EXPECT_EQ(241, rec.height);
}

TEST_F(CaptureTest, OnlyAPlainVideoInfoCapabilityIsUsedAsTheTemplate)
{
    struct Case
    {
        const char *caps;
        bool formatSet;
    };
    for (Case c : {Case{"", true}, Case{"--caps videoinfo2", false}, Case{"--caps short", false}}) {
        SCOPED_TRACE(c.caps);
        ASSERT_TRUE(add_device("cam", std::string("--fps 0 --size 160x120 ") + c.caps));
        ASSERT_EQ(S_OK, object->createCapture(0, 0, 1, 320, 240));
        EXPECT_EQ(c.formatSet ? 1u : 0u, read_device_record("cam").formatSets.size());
        ASSERT_EQ(S_OK, object->startCapture());
        QuiloImageStruct rec = {};
        EXPECT_GT(grab_number(0, false, &rec), 0);
        // Without a usable template the device keeps its own size.
        EXPECT_EQ(c.formatSet ? 320 : 160, rec.width);
        EXPECT_EQ(c.formatSet ? 240 : 120, rec.height);
        ASSERT_EQ(S_FALSE, object->destroyCapture());
        object.reset();
        object = create_component();
    }
}

TEST_F(CaptureTest, NegativeHeightIsPassedOnAndDeliveredPositive)
{
    ASSERT_TRUE(add_device("cam", "--fps 0"));
    ASSERT_EQ(S_OK, object->createCapture(0, 0, 1, 64, -48));
    DeviceRecord record = read_device_record("cam");
    ASSERT_EQ(1u, record.formatSets.size());
    EXPECT_EQ(-48, record.formatSets[0].height);
    EXPECT_EQ(S_OK, record.formatSets[0].result);
    ASSERT_EQ(S_OK, object->startCapture());
    QuiloImageStruct rec = {};
    // The host's row order follows its flag, not the device's: bottom row first here.
    EXPECT_GT(grab_number(0, false, &rec), 0);
    EXPECT_EQ(48, rec.height);
    EXPECT_EQ(S_FALSE, object->destroyCapture());

    ASSERT_EQ(S_OK, object->createCapture(0, 1, 1, 64, -48));
    ASSERT_EQ(S_OK, object->startCapture());
    EXPECT_GT(grab_number(0, true, &rec), 0);
    EXPECT_EQ(48, rec.height);
}

TEST_F(CaptureTest, ARefusedFrameSizeShowsOneMessageAndFails)
{
    ASSERT_TRUE(add_device("cam", "--fps 0 --refuse-format"));
    DialogWatcher watcher;
    const HRESULT hr = object->createCapture(0, 0, 1, 640, 480);
    auto seen = watcher.seen();
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ("SetFormat Failed\n", seen[0].text);
    DeviceRecord record = read_device_record("cam");
    ASSERT_EQ(1u, record.formatSets.size());
    EXPECT_EQ(E_FAIL, record.formatSets[0].result) << "--refuse-format refuses with E_FAIL";
    EXPECT_EQ(E_FAIL, hr) << "the device's own failure";
    QuiloImageStruct rec = {};
    EXPECT_EQ(VFW_E_WRONG_STATE, object->Grab(&rec));
}

// A host may drop its last reference from a timer or a window message while the message box
// runs its modal loop on the object's thread: the object stays alive until createCapture has
// returned. The timer can only fire inside that loop, the first message loop the call runs.
struct ReleaseDuringBox
{
    static ICQuiloVideoProcClass *object;
    static HRESULT canUnloadInside;
    static HRESULT can_unload()
    {
        auto entry = reinterpret_cast<HRESULT(WINAPI *)()>(
            reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA(QUILO_MODULE_PATH), "DllCanUnloadNow")));
        return entry ? entry() : E_FAIL;
    }
    // Releases at the first tick; closes the box once it shows.
    static VOID CALLBACK fire(HWND, UINT, UINT_PTR id, DWORD)
    {
        if (object) {
            std::exchange(object, nullptr)->Release();
            canUnloadInside = can_unload();
        }
        for (HWND box : windows_of(GetCurrentProcessId(), "#32770")) {
            KillTimer(nullptr, id);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
    }
};
ICQuiloVideoProcClass *ReleaseDuringBox::object = nullptr;
HRESULT ReleaseDuringBox::canUnloadInside = E_FAIL;

TEST_F(CaptureTest, ReleasingTheObjectDuringTheMessageBoxLeavesTheCallRunning)
{
    ASSERT_TRUE(add_device("cam", "--fps 0 --refuse-format"));
    ASSERT_EQ(S_FALSE, ReleaseDuringBox::can_unload()) << "the fixture's object keeps the module loaded";
    ICQuiloVideoProcClass *raw = object.detach();
    ReleaseDuringBox::object = raw;
    ASSERT_NE(0u, SetTimer(nullptr, 0, 20, ReleaseDuringBox::fire));
    EXPECT_EQ(E_FAIL, raw->createCapture(0, 0, 1, 640, 480));
    EXPECT_EQ(S_FALSE, ReleaseDuringBox::canUnloadInside) << "the object went while its call was running";
    EXPECT_EQ(S_OK, ReleaseDuringBox::can_unload()) << "the object outlived the call";
}

TEST_F(CaptureTest, PropertyPagesAreShownWhenTheSizeIsNotSet)
{
    ASSERT_TRUE(add_device("with-pages", "--fps 0 --size 96x64"));
    ASSERT_TRUE(add_device("without-pages", "--fps 0 --size 96x64 --no-pages"));
    {
        DialogWatcher watcher;
        ASSERT_EQ(S_OK, object->createCapture(0, 0, 0, 640, 480));
        EXPECT_EQ(1u, watcher.seen().size());
        EXPECT_GE(read_device_record("with-pages").pageActivations, 1);
        EXPECT_EQ(0u, read_device_record("with-pages").formatSets.size()) << "width and height unused";
        ASSERT_EQ(S_FALSE, object->destroyCapture());
    }
    {
        DialogWatcher watcher;
        ASSERT_EQ(S_OK, object->createCapture(1, 0, 0, 640, 480));
        EXPECT_EQ(0u, watcher.seen().size());
        ASSERT_EQ(S_OK, object->startCapture());
        QuiloImageStruct rec = {};
        EXPECT_GT(grab_number(0, false, &rec), 0);
        EXPECT_EQ(96, rec.width);
    }
}

TEST_F(CaptureTest, CrossbarRoutesTheCompositeInputToTheDecoder)
{
    struct Case
    {
        const char *options;
        std::vector<std::pair<long, long>> routes;
    };
    const Case cases[] = {
        {"--crossbar tuner,svideo,composite/decoder,audio", {{0, 2}}},
        {"--crossbar tuner,svideo/audio,decoder", {{1, 0}}},
        {"--crossbar composite,composite/decoder --crossbar-refuse", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.options);
        ASSERT_TRUE(add_device("analog", std::string("--fps 0 ") + c.options));
        ASSERT_EQ(S_OK, object->createCapture(0, 0, 1, 64, 48));
        EXPECT_EQ(c.routes, read_device_record("analog").routes);
        ASSERT_EQ(S_FALSE, object->destroyCapture());
    }
}

TEST_F(CaptureTest, FailingCrossbarOrMissingControlsFailTheOpen)
{
    QuiloImageStruct rec = {};
    ASSERT_TRUE(add_device("analog", "--fps 0 --crossbar composite/decoder --crossbar-fail"));
    EXPECT_EQ(E_FAIL, object->createCapture(0, 0, 1, 64, 48)) << "the crossbar query's failure, unchanged";
    EXPECT_EQ(VFW_E_WRONG_STATE, object->Grab(&rec));
    EXPECT_EQ(S_OK, object->destroyCapture());
    EXPECT_EQ(0, live_testcam_objects()) << "a failed open releases the device";

    ASSERT_TRUE(add_device("analog", "--fps 0 --procamp none"));
    EXPECT_EQ(E_NOINTERFACE, object->createCapture(0, 0, 1, 64, 48));
    EXPECT_EQ(VFW_E_WRONG_STATE, object->Grab(&rec));
    EXPECT_EQ(0, live_testcam_objects());
}

TEST_F(CaptureTest, DestroyAnswersWhetherItToreSomethingDown)
{
    ASSERT_TRUE(add_device("cam", "--fps 0 --size 64x48"));
    EXPECT_EQ(S_OK, object->destroyCapture());
    ASSERT_EQ(S_OK, object->createCapture(0, 0, 1, 64, 48));
    EXPECT_EQ(S_FALSE, object->destroyCapture());
    EXPECT_EQ(S_OK, object->destroyCapture());
}

TEST_F(CaptureTest, TheGraphIsStoppedOnlyWhenItWasStarted)
{
    ASSERT_TRUE(add_device("cam", "--fps 0 --size 64x48"));
    ASSERT_EQ(S_OK, object->createCapture(0, 0, 1, 64, 48));
    ASSERT_EQ(S_FALSE, object->destroyCapture());
    DeviceRecord record = read_device_record("cam");
    EXPECT_EQ(0, record.runs);
    EXPECT_EQ(0, record.stops);

    ASSERT_EQ(S_OK, object->createCapture(0, 0, 1, 64, 48));
    ASSERT_EQ(S_OK, object->startCapture());
    QuiloImageStruct rec = {};
    ASSERT_EQ(S_OK, object->Grab(&rec));
    ASSERT_EQ(S_FALSE, object->destroyCapture());
    record = read_device_record("cam");
    EXPECT_GE(record.runs, 1);
    EXPECT_EQ(record.runs, record.stops) << "every run ended in a stop";
}

TEST_F(CaptureTest, StartBeforeCreateKeepsItsFlag)
{
    ASSERT_TRUE(add_device("cam", "--fps 0 --size 64x48"));
    EXPECT_EQ(S_OK, object->startCapture());
    EXPECT_EQ(S_OK, object->destroyCapture()) << "nothing set up: the flag stays";
    ASSERT_EQ(S_OK, object->createCapture(0, 0, 1, 64, 48));
    QuiloImageStruct rec = {};
    ASSERT_EQ(S_OK, object->Grab(&rec));
    EXPECT_NE(nullptr, rec.data) << "started before the context existed";
}

TEST_F(CaptureTest, ReopeningNeverLeavesADeviceBehind)
{
    ASSERT_TRUE(add_device("cam", "--fps 0 --size 64x48"));
    ASSERT_EQ(S_OK, object->createCapture(0, 0, 1, 64, 48));
    const LONG oneDevice = live_testcam_objects();
    ASSERT_GT(oneDevice, 0);
    for (int i = 0; i < 5; ++i) {
        // Open on open: the first graph is torn down before the second is built.
        ASSERT_EQ(S_OK, object->createCapture(0, 0, 1, 64, 48));
        EXPECT_EQ(oneDevice, live_testcam_objects());
    }
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(S_FALSE, object->destroyCapture());
        ASSERT_EQ(S_OK, object->createCapture(0, 0, 1, 64, 48));
        ASSERT_EQ(S_OK, object->startCapture());
        QuiloImageStruct rec = {};
        ASSERT_EQ(S_OK, object->Grab(&rec));
        EXPECT_EQ(oneDevice, live_testcam_objects());
    }
}

TEST_F(CaptureTest, ControlsStayUsableAfterDestroy)
{
    ASSERT_TRUE(add_device("cam", "--fps 0 --size 64x48"));
    // The same device opened directly through the platform: its range, and later its own value.
    ComPtr<IBaseFilter> device;
    ASSERT_EQ(S_OK, quilo::dshow::bind_video_device(0, device));
    ComPtr<IAMVideoProcAmp> deviceAmp;
    ASSERT_EQ(S_OK, device.query(deviceAmp));
    LONG minimum = 0, maximum = 0, step = 0, byDefault = 0, caps = 0;
    ASSERT_EQ(S_OK, deviceAmp->GetRange(VideoProcAmp_Brightness, &minimum, &maximum, &step, &byDefault, &caps));
    // Not the default, so a getter that answers without asking the device cannot match it.
    const LONG chosen = byDefault != maximum ? maximum : minimum;
    deviceAmp.reset();
    device.reset();

    ASSERT_EQ(S_OK, object->createCapture(0, 0, 1, 64, 48));
    ASSERT_EQ(S_OK, object->SetCameraBrightnessParam(chosen));
    ASSERT_EQ(S_FALSE, object->destroyCapture());
    LONG value = -12345;
    EXPECT_EQ(S_OK, object->GetCameraBrightnessParam(&value));
    EXPECT_EQ(chosen, value);

    // The device kept it (as a camera does while plugged in), and says so itself.
    ASSERT_EQ(S_OK, quilo::dshow::bind_video_device(0, device));
    ASSERT_EQ(S_OK, device.query(deviceAmp));
    LONG own = -12345, flags = 0;
    ASSERT_EQ(S_OK, deviceAmp->Get(VideoProcAmp_Brightness, &own, &flags));
    EXPECT_EQ(own, value);
}

// COM state of the host's thread after the component's own initialisation and clean-up.
DWORD apartment_after(DWORD model, bool succeedOpen)
{
    DWORD result = 0;
    std::thread host([&] {
        CoInitializeEx(nullptr, model);
        {
            // An apartment-threaded class has no proxy for a multithreaded host, so such a host
            // loads the module and asks its class object directly, as hosts without registration do.
            ComPtr<ICQuiloVideoProcClass> object =
                model == COINIT_MULTITHREADED ? create_component_from_module() : create_component();
            ASSERT_TRUE(object);
            const HRESULT hr = object->createCapture(succeedOpen ? 0 : 5, 0, 1, 64, 48);
            EXPECT_EQ(succeedOpen, SUCCEEDED(hr)) << std::hex << hr;
            if (succeedOpen) {
                EXPECT_EQ(S_FALSE, object->destroyCapture());
            }
        }
        APTTYPE type;
        APTTYPEQUALIFIER qualifier;
        // The host's own initialisation is the only one left: one uninitialise ends COM.
        if (SUCCEEDED(CoGetApartmentType(&type, &qualifier))) result |= type == APTTYPE_MTA ? 2 : 1;
        CoUninitialize();
        if (SUCCEEDED(CoGetApartmentType(&type, &qualifier))) result |= 4;
    });
    host.join();
    return result;
}

TEST_F(CaptureTest, TheHostsComStateIsLeftAsItWas)
{
    ASSERT_TRUE(add_device("cam", "--fps 0 --size 64x48"));
    for (bool succeed : {true, false}) {
        SCOPED_TRACE(succeed);
        EXPECT_EQ(1u, apartment_after(COINIT_APARTMENTTHREADED, succeed));
        EXPECT_EQ(2u, apartment_after(COINIT_MULTITHREADED, succeed));
    }
}

} // namespace
