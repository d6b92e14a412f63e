// quilo-grab end to end: the program run as a separate process against test camera devices,
// its files decoded by the platform's WIC codecs and checked pixel by pixel against the device's
// picture, its controls and video standard checked against what the device recorded.
#include <gtest/gtest.h>
#include <windows.h>
#include <strmif.h>
#include <wincodec.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "WicDecode.h"
#include "support/ComponentRegistration.h"
#include "support/TestCamera.h"
#include "support/HostProgramTest.h"
#include "support/TestSupport.h"

namespace qt = quilo::test;

namespace {

using ToolRun = qt::ProgramRun;
using qt::contains;

class ToolsTest : public qt::HostProgramTest
{
protected:
    ToolsTest() : HostProgramTest("quilo-tools") {}

    static ToolRun tool(const std::string &arguments, DWORD timeoutMs = 60000)
    {
        return qt::run_program("\"" QUILO_GRAB_TOOL "\" " + arguments, timeoutMs);
    }

    bool exists(const std::string &name) const
    {
        return GetFileAttributesA(file(name).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    // Decodes a written file and returns the test camera frame number its pixels show.
    long frame_in(const std::string &name, UINT width, UINT height, int tag, qt::DecodedImage *image = nullptr)
    {
        qt::DecodedImage decoded;
        const HRESULT hr = qt::decode_image(file(name), decoded);
        EXPECT_EQ(S_OK, hr) << name;
        if (FAILED(hr)) return -1;
        EXPECT_EQ(width, decoded.width) << name;
        EXPECT_EQ(height, decoded.height) << name;
        std::string why;
        const long n = qt::frame_number(decoded.bgr.data(), static_cast<int>(decoded.width),
                                        static_cast<int>(decoded.height), static_cast<long>(decoded.width) * 3,
                                        true, tag, &why);
        EXPECT_GE(n, 1) << name << ": " << why;
        if (image) *image = std::move(decoded);
        return n;
    }

};

TEST_F(ToolsTest, ListShowsEveryDeviceAtThePositionTheComponentUses)
{
    ToolRun run = tool("list");
    EXPECT_EQ(0u, run.exitCode) << run;
    EXPECT_TRUE(contains(run.output, "No video input devices.")) << run.output;

    // The platform orders devices by key name, case-insensitively; a nameless one keeps its place.
    ASSERT_TRUE(qt::add_device("Tools Cam B"));
    ASSERT_TRUE(qt::add_device("tools cam a"));
    ASSERT_TRUE(qt::add_device("Tools Cam C", "--no-name"));
    run = tool("list");
    EXPECT_EQ(0u, run.exitCode) << run;
    std::string positions; // the device lines; each device's details follow it indented
    for (size_t at = 0, end; at < run.output.size(); at = end + 1) {
        end = run.output.find('\n', at);
        if (end == std::string::npos) end = run.output.size();
        if (run.output[at] != ' ') positions += run.output.substr(at, end + 1 - at);
    }
    EXPECT_EQ("0  tools cam a\r\n1  Tools Cam B\r\n2  (no name)\r\n", positions);
    // README's default device: one 640x480 RGB24 format at 30 fps first.
    EXPECT_TRUE(contains(run.output, "0  tools cam a\r\n    path: ")) << run.output;
    EXPECT_TRUE(contains(run.output, "    format 0: 640x480 RGB24 30 fps\r\n")) << run.output;
}

TEST_F(ToolsTest, GrabTakesADeviceByNameAndAFrameRate)
{
    ASSERT_TRUE(qt::add_device("Other Cam"));
    ASSERT_TRUE(qt::add_device("Rate Cam", "--tag 9 --fps 20"));
    ToolRun run = tool("grab --device \"Rate Cam\" --size 320x240 --fps 20 --out \"" + file("rate") + "\"");
    ASSERT_EQ(0u, run.exitCode) << run;
    EXPECT_TRUE(contains(run.output, "device 1: Rate Cam")) << run.output;
    frame_in("rate.png", 320, 240, 9);
    frame_in("rate.bmp", 320, 240, 9);

    run = tool("grab --device \"Rate Cam\" --fps 25");
    EXPECT_EQ(1u, run.exitCode) << run;
    EXPECT_TRUE(contains(run.output, "'Rate Cam' does not offer 640x480 at 25 fps; it offers 640x480 RGB24 at 20 fps"))
        << run.output;
    run = tool("grab --device Nobody");
    EXPECT_EQ(1u, run.exitCode) << run;
    EXPECT_TRUE(contains(run.output, "no video input device is named 'Nobody'; devices: 'Other Cam', 'Rate Cam'"))
        << run.output;

    // A name typed in the ANSI code page ("\xE9" is e acute in 1252) names the file written.
    run = tool("grab --device \"Rate Cam\" --size 320x240 --fps 20 --out \"" + file("\xE9-fps") + "\"");
    EXPECT_EQ(0u, run.exitCode) << run;
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(qt::widen(file("\xE9-fps.png")).c_str())) << run.output;

    // A size the device refuses is told at once, without a dialog no one would close.
    run = tool("grab --device \"Rate Cam\" --size 5000x5000 --out \"" + file("huge") + "\"", 30000);
    EXPECT_EQ(1u, run.exitCode) << run;
    EXPECT_TRUE(contains(run.output, "'Rate Cam' does not offer 5000x5000; it offers 640x480 RGB24 at 20 fps"))
        << run.output;
    EXPECT_FALSE(exists("huge.png"));
}

TEST_F(ToolsTest, GrabWritesPngAndBmpShowingTheDevicePictureInEitherRowOrder)
{
    // 321 pixels: rows of 963 bytes padded to 964; an odd height keeps a middle row in place.
    ASSERT_TRUE(qt::add_device("Tools Cam", "--tag 77 --fps 0"));
    for (const bool flip : {true, false}) {
        SCOPED_TRACE(flip ? "--flip" : "--no-flip");
        const std::string prefix = flip ? "flip" : "noflip";
        const ToolRun run = tool("grab --device 0 --size 321x243 " + std::string(flip ? "--flip" : "--no-flip") +
                             " --out \"" + file(prefix) + "\"");
        ASSERT_EQ(0u, run.exitCode) << run;
        EXPECT_TRUE(contains(run.output, "device 0: Tools Cam")) << run.output;
        EXPECT_TRUE(contains(run.output, std::string("frame 1: width 321, height 243, depth 8, channels 3, stride 964, rows ") +
                                             (flip ? "top-down" : "bottom-up")))
            << run.output;

        qt::DecodedImage png, bmp;
        const long fromPng = frame_in(prefix + ".png", 321, 243, 77, &png);
        const long fromBmp = frame_in(prefix + ".bmp", 321, 243, 77, &bmp);
        EXPECT_EQ(fromPng, fromBmp);
        EXPECT_TRUE(png.bgr == bmp.bgr);
        EXPECT_TRUE(IsEqualGUID(GUID_ContainerFormatPng, png.container));
        EXPECT_TRUE(IsEqualGUID(GUID_ContainerFormatBmp, bmp.container));
    }
    const qt::DeviceRecord record = qt::read_device_record("Tools Cam");
    ASSERT_FALSE(record.formatSets.empty());
    EXPECT_EQ(321, record.formatSets.back().width);
    EXPECT_EQ(243, record.formatSets.back().height);
}

TEST_F(ToolsTest, GrabCountWritesNumberedFilesOfSuccessiveFrames)
{
    // Paced, so that the numbers (n mod 256) of successive frames rise.
    ASSERT_TRUE(qt::add_device("Tools Cam", "--tag 5 --fps 30"));
    const ToolRun run = tool("grab --size 64x48 --count 3 --out \"" + file("shot") + "\"");
    ASSERT_EQ(0u, run.exitCode) << run;
    EXPECT_FALSE(exists("shot.png"));
    long last = 0;
    for (int i = 1; i <= 3; ++i) {
        const std::string name = "shot-" + std::to_string(i);
        ASSERT_TRUE(exists(name + ".bmp")) << name;
        const long n = frame_in(name + ".png", 64, 48, 5);
        EXPECT_GT(n, last) << name << " is not a newer frame";
        EXPECT_EQ(n, frame_in(name + ".bmp", 64, 48, 5));
        last = n;
    }
}

// Closes the property frame quilo-grab shows, as a user would, from outside its process.
class PropertyFrameCloser
{
public:
    PropertyFrameCloser() : thread_([this] { run(); }) {}
    ~PropertyFrameCloser()
    {
        stop_ = true;
        thread_.join();
    }
    int closed() const { return closed_; }

private:
    static BOOL CALLBACK visit(HWND window, LPARAM self)
    {
        char title[256] = {}, cls[64] = {};
        GetWindowTextA(window, title, sizeof(title));
        GetClassNameA(window, cls, sizeof(cls));
        if (std::string(cls) == "#32770" && std::string(title).rfind("Properties for", 0) == 0) {
            PostMessageA(window, WM_COMMAND, IDOK, 0);
            ++reinterpret_cast<PropertyFrameCloser *>(self)->closed_;
        }
        return TRUE;
    }
    void run()
    {
        while (!stop_) {
            EnumWindows(visit, reinterpret_cast<LPARAM>(this));
            Sleep(100);
        }
    }

    std::atomic<bool> stop_{false};
    std::atomic<int> closed_{0};
    std::thread thread_;
};

TEST_F(ToolsTest, GrabWithPagesShowsThePropertyFrameAndKeepsTheDeviceSize)
{
    ASSERT_TRUE(qt::add_device("Tools Cam", "--size 160x120 --fps 0"));
    ToolRun run;
    {
        PropertyFrameCloser closer;
        run = tool("grab --pages --out \"" + file("pages") + "\"", 30000);
        EXPECT_GE(closer.closed(), 1);
    }
    ASSERT_EQ(0u, run.exitCode) << run;
    EXPECT_TRUE(contains(run.output, "width 160, height 120")) << run.output;
    frame_in("pages.png", 160, 120, 0);
    const qt::DeviceRecord record = qt::read_device_record("Tools Cam");
    EXPECT_GE(record.pageActivations, 1);
    EXPECT_TRUE(record.formatSets.empty());
}

TEST_F(ToolsTest, ControlsShowEveryControlWithItsRangeAndSetReachesTheDevice)
{
    // Ranges as docs/TestCamera.md gives them; focus's from --range.
    ASSERT_TRUE(qt::add_device("Tools Cam", "--camctl exposure,focus --range focus:0:100:10:50:auto-off"));
    ToolRun run = tool("controls --set brightness=42 --set gamma=150");
    ASSERT_EQ(0u, run.exitCode) << run;
    for (const char *line : {"set brightness to 42\r\n", "set gamma to 150\r\n",
                             "control                     min      max   step  default    value  auto\r\n",
                             "Brightness                  -64       64      1        0       42  -\r\n",
                             "Gamma                        72      500      1      100      150  -\r\n",
                             "WhiteBalance               2800     6500     10     4600     4600  on\r\n",
                             "Exposure                    -13       -1      1       -6       -6  on\r\n",
                             "Focus                         0      100     10       50       50  off\r\n"})
        EXPECT_TRUE(contains(run.output, line)) << line << "\n" << run.output;
    EXPECT_FALSE(contains(run.output, "Zoom")) << "the device has no zoom\n" << run.output;

    run = tool("set exposure=-4 Focus=auto");
    ASSERT_EQ(0u, run.exitCode) << run;
    EXPECT_TRUE(contains(run.output, "Exposure                    -13       -1      1       -6       -4  off\r\n")) << run.output;
    EXPECT_TRUE(contains(run.output, "Focus                         0      100     10       50       50  on\r\n")) << run.output;

    const qt::DeviceRecord record = qt::read_device_record("Tools Cam");
    ASSERT_EQ(2u, record.procAmpSets.size());
    EXPECT_EQ(VideoProcAmp_Brightness, record.procAmpSets[0].property);
    EXPECT_EQ(42, record.procAmpSets[0].value);
    EXPECT_EQ(VideoProcAmp_Gamma, record.procAmpSets[1].property);
    EXPECT_EQ(150, record.procAmpSets[1].value);
    ASSERT_EQ(2u, record.cameraControlSets.size());
    EXPECT_EQ(CameraControl_Exposure, record.cameraControlSets[0].property);
    EXPECT_EQ(-4, record.cameraControlSets[0].value);
    EXPECT_EQ(CameraControl_Focus, record.cameraControlSets[1].property);
    EXPECT_EQ(CameraControl_Flags_Auto, record.cameraControlSets[1].flags);

    // A value off the range: the class's sentence with the range, the call and a non-zero exit.
    run = tool("set brightness=100000");
    EXPECT_EQ(1u, run.exitCode) << run;
    EXPECT_TRUE(contains(run.output, "Brightness takes values from -64 to 64 in steps of 1")) << run.output;
    EXPECT_TRUE(contains(run.output, "SetControl(brightness, 100000) failed: 0x80070057")) << run.output;
    // A control the device lacks names those it has.
    run = tool("set zoom=200");
    EXPECT_EQ(1u, run.exitCode) << run;
    EXPECT_TRUE(contains(run.output, "has no Zoom control")) << run.output;
}

TEST_F(ToolsTest, ADeviceWithoutImageControlsOpensAndSaysSo)
{
    ASSERT_TRUE(qt::add_device("Tools Cam", "--procamp none"));
    const ToolRun run = tool("controls");
    ASSERT_EQ(0u, run.exitCode) << run;
    EXPECT_TRUE(contains(run.output, "the device has no image controls")) << run.output;
}

TEST_F(ToolsTest, StandardReadsAndSetsTheDecoderByName)
{
    ASSERT_TRUE(qt::add_device("Tools Tuner", "--crossbar composite/decoder --standard PAL_B"));
    ToolRun run = tool("standard");
    ASSERT_EQ(0u, run.exitCode) << run;
    EXPECT_TRUE(contains(run.output, "video standard: PAL_B\r\n")) << run.output;

    run = tool("standard --set SECAM_L1");
    ASSERT_EQ(0u, run.exitCode) << run;
    EXPECT_TRUE(contains(run.output, "video standard: SECAM_L1\r\n")) << run.output;

    // Names are exact: a different letter case is no standard.
    run = tool("standard --set pal_b");
    EXPECT_EQ(1u, run.exitCode) << run;
    EXPECT_TRUE(contains(run.output, "SetVideoStandParam(pal_b) failed: 0x")) << run.output;

    const qt::DeviceRecord record = qt::read_device_record("Tools Tuner");
    ASSERT_FALSE(record.videoStandardSets.empty());
    EXPECT_EQ(0x80000, record.videoStandardSets.front());
}

TEST_F(ToolsTest, StandardWithoutADecoderShowsNoneVideoAndRefusesToSet)
{
    ASSERT_TRUE(qt::add_device("Tools Cam"));
    ToolRun run = tool("standard");
    ASSERT_EQ(0u, run.exitCode) << run;
    EXPECT_TRUE(contains(run.output, "video standard: None Video\r\n")) << run.output;

    run = tool("standard --set PAL_B");
    EXPECT_EQ(1u, run.exitCode) << run;
    EXPECT_TRUE(contains(run.output, "no analog video decoder")) << run.output;
}

TEST_F(ToolsTest, FailingDevicesGiveTheMethodTheHresultAndItsTextAndANonZeroExit)
{
    ASSERT_TRUE(qt::add_device("Tools Cam A"));
    ASSERT_TRUE(qt::add_device("Tools Cam B", "--no-name"));

    ToolRun run = tool("grab --device 2 --out \"" + file("none") + "\"");
    EXPECT_EQ(1u, run.exitCode) << run;
    EXPECT_TRUE(contains(run.output,
                         "createCapture failed: 0x80040275 (VFW_E_NO_CAPTURE_HARDWARE) No capture hardware is available"))
        << run.output;
    EXPECT_FALSE(exists("none.png"));

    // A device without a name cannot be opened; the platform's text for the code is shown.
    run = tool("grab --device 1 --out \"" + file("none") + "\"");
    EXPECT_EQ(1u, run.exitCode) << run;
    EXPECT_TRUE(contains(run.output, "createCapture failed: 0x80070002 ")) << run.output;
    const std::string text = run.output.substr(run.output.find("0x80070002 ") + 11);
    EXPECT_GT(text.size(), 4u) << "no message text: " << run.output;
    EXPECT_FALSE(exists("none.png"));

    // The component's class cannot open a device without a video processing amplifier either.
    ASSERT_TRUE(qt::clear_devices());
    ASSERT_TRUE(qt::add_device("Tools Cam", "--procamp none"));
    run = tool("grab --out \"" + file("none") + "\"");
    EXPECT_EQ(1u, run.exitCode) << run;
    EXPECT_TRUE(contains(run.output, "createCapture failed: 0x")) << run.output;
}

TEST_F(ToolsTest, DeviceThatNeverDeliversFailsGrabWithTheTimeout)
{
    ASSERT_TRUE(qt::add_device("Tools Cam", "--stall"));
    const ToolRun run = tool("grab --out \"" + file("stall") + "\"");
    EXPECT_EQ(1u, run.exitCode) << run;
    EXPECT_TRUE(contains(run.output, "Grab failed: 0x8004022E (VFW_E_TIMEOUT)")) << run.output;
    EXPECT_FALSE(exists("stall.png"));
}

TEST_F(ToolsTest, UnregisteredComponentIsReportedWithTheActivationFailure)
{
    ASSERT_TRUE(qt::add_device("Tools Cam"));
    ASSERT_EQ(S_OK, qt::unregister_component());
    const ToolRun run = tool("grab --out \"" + file("unreg") + "\"");
    ASSERT_EQ(S_OK, qt::register_component());
    EXPECT_EQ(1u, run.exitCode) << run;
    EXPECT_TRUE(contains(run.output, "CLSIDFromProgID(QuiloVideo.CQuiloVideoProc) failed: 0x800401F3")) << run.output;
    EXPECT_TRUE(contains(run.output, "regsvr32")) << run.output;
}

TEST_F(ToolsTest, CommandLineErrorsExitWithTwoAndHelpDocumentsEveryCommand)
{
    ToolRun run = tool("--help");
    EXPECT_EQ(0u, run.exitCode) << run;
    for (const char *word : {"list", "grab", "controls", "set", "focus", "standard", "--device", "--size", "--pages", "--flip",
                             "--no-flip", "--count", "--out", "--set", "whitebalance", "SECAM_L1"})
        EXPECT_TRUE(contains(run.output, word)) << word;

    for (const char *bad : {"", "frob", "grab --size 640", "grab --size 0x480", "grab --count 0", "grab --pages --size 64x48",
                            "grab --device -1", "controls --set brightness", "controls --set zoom=x", "set", "set =1",
                            "list --count 2", "standard --set", "grab --flip --no-flip"}) {
        run = tool(bad);
        EXPECT_EQ(2u, run.exitCode) << run;
        EXPECT_TRUE(contains(run.output, "--help")) << bad;
    }
}

} // namespace
