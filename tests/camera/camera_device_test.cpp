// Test camera devices as the platform lists them, and the quilo-testcam tool that manages them.
#include <gtest/gtest.h>

#include "common/ScopeGuard.h"
#include "common/Variant.h"
#include "support/TestPaths.h"
#include "camera/CameraTest.h"
#include "testcam/kit/StreamConfigCaps.h"

namespace quilo::test {
namespace {

// {14652C5E-6532-4FB1-AF5B-44584BAB0954}
constexpr CLSID kCameraClsid = {0x14652C5E, 0x6532, 0x4FB1, {0xAF, 0x5B, 0x44, 0x58, 0x4B, 0xAB, 0x09, 0x54}};

using DeviceTest = CameraTest;

// The tool's output with Windows line ends made plain.
std::string lines_of(const ProgramRun &result)
{
    std::string text;
    for (char c : result.output)
        if (c != '\r') text += c;
    return text;
}

SIZE capability0(IBaseFilter *camera)
{
    ComPtr<IAMStreamConfig> config;
    if (FAILED(capture_pin(camera).query(config))) return {0, 0};
    MediaTypePtr mt;
    kit::VideoStreamConfigCaps caps;
    if (config->GetStreamCaps(0, mt.put(), reinterpret_cast<BYTE *>(&caps)) != S_OK) return {0, 0};
    const auto *vih = reinterpret_cast<const VIDEOINFOHEADER *>(mt->pbFormat);
    return {vih->bmiHeader.biWidth, vih->bmiHeader.biHeight};
}

TEST_F(DeviceTest, DevicesAreListedByCaseInsensitiveNameAndBoundWithTheirOptions)
{
    EXPECT_TRUE(listed_devices().empty());
    ASSERT_TRUE(add_device("b cam", "--size 320x240"));
    ASSERT_TRUE(add_device("C cam", "--size 160x120"));
    ASSERT_TRUE(add_device("A cam", "--size 321x241"));
    EXPECT_EQ((std::vector<std::string>{"A cam", "b cam", "C cam"}), listed_devices());

    const struct { const char *name; int position; SIZE size; } expected[] = {
        {"A cam", 0, {321, 241}}, {"b cam", 1, {320, 240}}, {"C cam", 2, {160, 120}}};
    for (const auto &device : expected) {
        ComPtr<IBaseFilter> camera;
        int position = -1;
        ASSERT_EQ(S_OK, bind_device(device.name, camera, &position));
        EXPECT_EQ(device.position, position);
        CLSID clsid;
        ASSERT_EQ(S_OK, camera->GetClassID(&clsid));
        EXPECT_TRUE(IsEqualCLSID(kCameraClsid, clsid));
        const SIZE size = capability0(camera.get());
        EXPECT_EQ(device.size.cx, size.cx) << device.name;
        EXPECT_EQ(device.size.cy, size.cy) << device.name;
    }
}

TEST_F(DeviceTest, AddingANameAgainReplacesTheDeviceWithFreshState)
{
    ASSERT_TRUE(add_device("Cam", "--size 320x240"));
    {
        ComPtr<IBaseFilter> camera;
        ASSERT_EQ(S_OK, bind_device("Cam", camera));
        ComPtr<IAMVideoProcAmp> procAmp;
        ASSERT_EQ(S_OK, camera.query(procAmp));
        ASSERT_EQ(S_OK, procAmp->Set(VideoProcAmp_Brightness, 20, VideoProcAmp_Flags_Manual));
    }
    ASSERT_EQ(1u, read_device_record("Cam").procAmpSets.size());

    ASSERT_TRUE(add_device("Cam", "--size 160x120"));
    EXPECT_EQ((std::vector<std::string>{"Cam"}), listed_devices());
    const DeviceRecord record = read_device_record("Cam");
    EXPECT_TRUE(record.present);
    EXPECT_TRUE(record.procAmpSets.empty());
    ComPtr<IBaseFilter> camera;
    ASSERT_EQ(S_OK, bind_device("Cam", camera));
    EXPECT_EQ(160, capability0(camera.get()).cx);
    ComPtr<IAMVideoProcAmp> procAmp;
    ASSERT_EQ(S_OK, camera.query(procAmp));
    long value = -1, flags = -1;
    ASSERT_EQ(S_OK, procAmp->Get(VideoProcAmp_Brightness, &value, &flags));
    EXPECT_EQ(0, value) << "the new device starts from its defaults";
}

TEST_F(DeviceTest, DeviceWithoutNameIsListedAndStillBinds)
{
    ASSERT_TRUE(add_device("Nameless", "--no-name"));
    EXPECT_EQ((std::vector<std::string>{"(no name)"}), listed_devices());
    ComPtr<IBaseFilter> camera;
    EXPECT_EQ(S_OK, bind_device("Nameless", camera));
}

TEST_F(DeviceTest, AnUnpluggedDeviceIsListedButItsBindFailsWithTheDriversResult)
{
    ASSERT_TRUE(add_device("A gone", "--unplugged --size 64x48"));
    ASSERT_TRUE(add_device("B here", "--size 64x48"));
    EXPECT_EQ((std::vector<std::string>{"A gone", "B here"}), listed_devices());

    ComPtr<IBaseFilter> camera;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED), bind_device("A gone", camera));
    EXPECT_FALSE(camera);
    EXPECT_EQ(0, live_testcam_objects()) << "the refused filter is released by the platform";
    EXPECT_EQ(S_OK, bind_device("B here", camera)) << "its neighbour is unaffected";
    camera.reset();

    const ProgramRun list = run_testcam("list");
    EXPECT_TRUE(contains(lines_of(list), "--unplugged")) << list.output;
    EXPECT_TRUE(contains(run_testcam("--help").output, "--unplugged"));
}

TEST_F(DeviceTest, RemoveAndClearTakeOnlyTestCameras)
{
    // A device of another driver in the same category.
    ComPtr<IFilterMapper2> mapper;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                     mapper.put_void()));
    REGFILTER2 info = {};
    info.dwVersion = 2;
    info.dwMerit = MERIT_DO_NOT_USE;
    const CLSID other = CLSID_SystemClock;
    ASSERT_EQ(S_OK, mapper->RegisterFilter(other, L"Other", nullptr, &CLSID_VideoInputDeviceCategory, L"Other", &info));
    auto unregister = scope_exit([&] { mapper->UnregisterFilter(&CLSID_VideoInputDeviceCategory, L"Other", other); });

    ASSERT_TRUE(add_device("One"));
    ASSERT_TRUE(add_device("Two"));
    EXPECT_FALSE(add_device("Other")) << "a name another driver uses is not taken over";
    EXPECT_FALSE(remove_device("Other"));
    EXPECT_FALSE(remove_device("Missing"));

    EXPECT_TRUE(remove_device("One"));
    EXPECT_FALSE(read_device_record("One").present);
    EXPECT_EQ((std::vector<std::string>{"Other", "Two"}), listed_devices());

    const ProgramRun cleared = run_testcam("clear");
    EXPECT_EQ(0u, cleared.exitCode) << cleared;
    EXPECT_TRUE(contains(cleared.output, "removed 1 test camera device")) << cleared.output;
    EXPECT_EQ((std::vector<std::string>{"Other"}), listed_devices());
}

TEST_F(DeviceTest, ToolRefusesBadCommandLinesWithAClearMessage)
{
    const char *const bad[] = {
        "",
        "frobnicate",
        "add",
        "add \"\"",
        "add \"a\\b\"",
        "add --size 320x240",
        "add X --size 15x480",
        "add X --size 640",
        "add X --size 4097x480",
        "add X --fps -1",
        "add X --fps",
        "add X --procamp bogus",
        "add X --procamp \"\"",
        "add X --crossbar composite",
        "add X --crossbar composite/warp",
        "add X --crossbar-fail",
        "add X --standard PAL_Q",
        "add X --caps vi3",
        "add X --tag -1",
        "add X --bogus",
        "remove",
        "remove A B",
        "clear now",
        "list all",
    };
    for (const char *arguments : bad) {
        const ProgramRun result = run_testcam(arguments);
        EXPECT_EQ(2u, result.exitCode) << "a command line error" << result;
        EXPECT_TRUE(contains(result.output, "quilo-testcam") || contains(result.output, "usage")) << arguments;
    }
    EXPECT_TRUE(listed_devices().empty());

    const ProgramRun help = run_testcam("--help");
    EXPECT_EQ(0u, help.exitCode) << help;
    EXPECT_TRUE(contains(help.output, "usage: quilo-testcam add NAME"));
}

TEST_F(DeviceTest, ListShowsPlatformOrderOptionsAndWhatHostsDid)
{
    ASSERT_TRUE(add_device("Zed", "--fps 0"));
    ASSERT_TRUE(add_device("Analog", "--crossbar svideo,composite/decoder --standard PAL_B --tag 4"));
    {
        ComPtr<IBaseFilter> camera;
        ASSERT_EQ(S_OK, bind_device("Analog", camera));
        ComPtr<IAMVideoProcAmp> procAmp;
        ASSERT_EQ(S_OK, camera.query(procAmp));
        procAmp->Set(VideoProcAmp_Brightness, 10, 0);
        ComPtr<IAMCrossbar> crossbar;
        ASSERT_EQ(S_OK, camera.query(crossbar));
        crossbar->Route(0, 1);
    }
    const ProgramRun result = run_testcam("list");
    EXPECT_EQ(0u, result.exitCode) << result;
    const std::string list = lines_of(result);
    EXPECT_TRUE(contains(list, "0  Analog\n")) << list;
    EXPECT_TRUE(contains(list, "--crossbar svideo,composite/decoder --standard PAL_B")) << list;
    EXPECT_TRUE(contains(list, "--tag 4")) << list;
    EXPECT_TRUE(contains(list, "brightness=10/flags 0")) << list;
    EXPECT_TRUE(contains(list, "output 0<-input 1")) << list;
    EXPECT_TRUE(contains(list, "1  Zed\n")) << list;
}

std::string threading_model(const char *clsid)
{
    HKEY key = nullptr;
    const std::string path = std::string("CLSID\\") + clsid + "\\InprocServer32";
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "(no key)";
    char value[32] = {};
    DWORD size = sizeof(value) - 1;
    RegQueryValueExA(key, "ThreadingModel", nullptr, nullptr, reinterpret_cast<BYTE *>(value), &size);
    RegCloseKey(key);
    return value;
}

TEST_F(DeviceTest, UnregisteringTheModuleRemovesItsDevices)
{
    const char *const classes[] = {"{14652C5E-6532-4FB1-AF5B-44584BAB0954}", "{D8F8619A-6756-4723-BB80-A69023C3E89B}"};
    for (const char *clsid : classes) EXPECT_EQ("Both", threading_model(clsid)) << clsid;
    ASSERT_TRUE(add_device("Cam"));
    HMODULE module = LoadLibraryA(QUILO_TESTCAM_PATH);
    ASSERT_NE(nullptr, module);
    auto unload = scope_exit([&] { FreeLibrary(module); });
    using Entry = HRESULT(WINAPI *)();
    auto unregister = reinterpret_cast<Entry>(reinterpret_cast<void *>(GetProcAddress(module, "DllUnregisterServer")));
    ASSERT_NE(nullptr, unregister);
    EXPECT_EQ(S_OK, unregister());
    EXPECT_TRUE(listed_devices().empty());
    ComPtr<IBaseFilter> filter;
    EXPECT_EQ(REGDB_E_CLASSNOTREG, CoCreateInstance(kCameraClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                                    filter.put_void()));
    const ProgramRun add = run_testcam("add Cam");
    EXPECT_EQ(1u, add.exitCode) << add;
    EXPECT_TRUE(contains(add.output, "regsvr32")) << add.output;
    for (const char *clsid : classes) EXPECT_EQ("(no key)", threading_model(clsid)) << clsid;
    EXPECT_EQ(S_OK, register_test_camera());
}

} // namespace
} // namespace quilo::test
