// quilo-view as a user meets it: the program runs as a process of its own and draws on a virtual
// X display (tests/view_test.sh starts one, with a Wine prefix that draws there); this test
// drives its window with the messages a user's actions produce, reads its status bar and its
// snapshot, and checks what reached the test camera device.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <strmif.h>
#include <wincodec.h>

#include <functional>
#include <string>
#include <vector>

#include "WicDecode.h"
#include "common/ComPtr.h"
#include "dshow/DeviceList.h"
#include "common/Handle.h"
#include "support/ComponentRegistration.h"
#include "support/TestCamera.h"
#include "support/HostProgramTest.h"
#include "support/TestSupport.h"
#include "tools/ViewIds.h"

namespace qt = quilo::test;
namespace qv = quilo::view;

namespace {

constexpr char kViewer[] = QUILO_BIN_DIR "\\quilo-view.exe";
// Positions of the controls in the window's slider column (documented in tools/ViewIds.h).
constexpr int kBrightness = 0, kHue = 2, kGamma = 5, kWhiteBalance = 6;
// After the component's eight: colour enable, gain, pan, tilt, roll, zoom, exposure, iris, focus.
constexpr int kGain = 9, kZoom = 13, kExposure = 14, kIris = 15, kFocus = 16;

bool wait_until(const std::function<bool()> &done, DWORD timeoutMs)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (done()) return true;
        if (GetTickCount64() >= end) return false;
        Sleep(50);
    }
}


// One run of quilo-view: its process, its main window, its output.
class Viewer
{
public:
    Viewer(const std::string &arguments, const std::string &outputFile) : outputFile_(outputFile)
    {
        SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
        output_.reset(CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, &inherit,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = output_.get();
        si.hStdError = output_.get();
        PROCESS_INFORMATION pi = {};
        std::string command = std::string("\"") + kViewer + "\" " + arguments;
        std::vector<char> line(command.begin(), command.end());
        line.push_back('\0');
        if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
            process_.reset(pi.hProcess);
            CloseHandle(pi.hThread);
            id_ = pi.dwProcessId;
        }
    }
    ~Viewer()
    {
        if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
            if (window_) PostMessageA(window_, WM_CLOSE, 0, 0);
            if (WaitForSingleObject(process_.get(), 10000) != WAIT_OBJECT_0) TerminateProcess(process_.get(), 99);
        }
    }
    bool started() const { return static_cast<bool>(process_); }

    // The exit code, or -1 when the program is still running after `timeoutMs`.
    long exit_code(DWORD timeoutMs)
    {
        if (WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        GetExitCodeProcess(process_.get(), &code);
        return static_cast<long>(code);
    }
    std::string output() const
    {
        std::string text;
        quilo::UniqueHandle in(CreateFileA(outputFile_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE |
                                    FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr));
        char buffer[4096];
        DWORD got = 0;
        while (in && ReadFile(in.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0) text.append(buffer, got);
        return text;
    }

    // The main window once it exists (null after 30 s).
    HWND window()
    {
        wait_until([this] {
            const std::vector<HWND> found = qt::windows_of(id_, qv::kMainWindowClass);
            if (!found.empty()) window_ = found.front();
            return window_ != nullptr;
        }, 30000);
        return window_;
    }
    HWND control(int id) { return GetDlgItem(window(), id); }

    // Sends `message` to `window` with a buffer of `size` bytes in the viewer's own memory as
    // its lParam (such messages carry pointers that are not carried across processes) and
    // copies the buffer back. False when the window stays busy for more than a second.
    bool ask_remote(HWND window, UINT message, WPARAM wParam, void *out, size_t size)
    {
        void *remote = VirtualAllocEx(process_.get(), nullptr, size, MEM_COMMIT, PAGE_READWRITE);
        if (!remote) return false;
        DWORD_PTR result = 0;
        SIZE_T got = 0;
        const bool read =
            SendMessageTimeoutA(window, message, wParam, reinterpret_cast<LPARAM>(remote), SMTO_NORMAL, 1000,
                                &result) &&
            ReadProcessMemory(process_.get(), remote, out, size, &got) && got == size;
        VirtualFreeEx(process_.get(), remote, 0, MEM_RELEASE);
        return read;
    }

    // Text of a status bar part. False when the window is busy or the text cannot be read.
    bool read_status(int part, std::string &text)
    {
        text.clear();
        HWND bar = control(qv::kStatusBar);
        constexpr size_t size = 1024;
        DWORD_PTR length = 0;
        std::vector<char> local(size, '\0');
        if (!SendMessageTimeoutA(bar, SB_GETTEXTLENGTHA, part, 0, SMTO_NORMAL, 1000, &length) ||
            LOWORD(length) >= size - 1 || !ask_remote(bar, SB_GETTEXTA, part, local.data(), size - 1))
            return false;
        text = local.data();
        return true;
    }

    // Where a trackbar's thumb is drawn, as a fraction of the way along its channel (0 at the
    // minimum's place, 1 at the maximum's), or -1 when the rectangles cannot be read.
    double thumb_place(int index)
    {
        HWND slider = control(qv::kFirstSlider + index);
        RECT thumb = {}, channel = {};
        if (!ask_remote(slider, TBM_GETTHUMBRECT, 0, &thumb, sizeof(thumb)) ||
            !ask_remote(slider, TBM_GETCHANNELRECT, 0, &channel, sizeof(channel)))
            return -1;
        const double thumbWidth = thumb.right - thumb.left;
        const double travel = channel.right - channel.left - thumbWidth;
        if (travel <= 0) return -1;
        return ((thumb.left + thumb.right) / 2.0 - (channel.left + thumbWidth / 2)) / travel;
    }
    // The same, empty when it cannot be read: for waiting until a part shows a text, and for
    // comparisons with a text that is never empty.
    std::string status(int part)
    {
        std::string text;
        read_status(part, text);
        return text;
    }
    bool status_shows(int part, const std::string &part_text, DWORD timeoutMs)
    {
        return wait_until([&] { return status(part).find(part_text) != std::string::npos; }, timeoutMs);
    }

    // The text a window shows (WM_GETTEXT is carried across processes).
    static std::string text_of(HWND window)
    {
        char text[256] = {};
        DWORD_PTR copied = 0;
        SendMessageTimeoutA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 2000,
                            &copied);
        return text;
    }

    // What a drag of the trackbar's thumb to `position` sends: the trackbar moves, and its
    // parent hears of the positions passed and of the end of the drag.
    void drag_slider(int index, long position)
    {
        HWND slider = control(qv::kFirstSlider + index);
        const LPARAM from = reinterpret_cast<LPARAM>(slider);
        SendMessageA(slider, TBM_SETPOS, TRUE, position);
        SendMessageA(window(), WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, LOWORD(position)), from);
        SendMessageA(window(), WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, LOWORD(position)), from);
        SendMessageA(window(), WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), from);
    }

    DWORD id() const { return id_; }

private:
    std::string outputFile_;
    quilo::UniqueHandle output_;
    quilo::UniqueHandle process_;
    DWORD id_ = 0;
    HWND window_ = nullptr;
};

struct DeviceControl
{
    HRESULT result = E_FAIL;
    long min = 0, max = 0, step = 0, value = 0;
};

// A control as the device itself reports it, read in this process through the platform.
DeviceControl device_control(long position, VideoProcAmpProperty property)
{
    DeviceControl control;
    quilo::ComPtr<IBaseFilter> device;
    control.result = quilo::dshow::bind_video_device(position, device);
    if (FAILED(control.result)) return control;
    quilo::ComPtr<IAMVideoProcAmp> amplifier;
    control.result = device.query(IID_IAMVideoProcAmp, amplifier);
    if (FAILED(control.result)) return control;
    long defaultValue = 0, caps = 0, flags = 0;
    control.result = amplifier->GetRange(property, &control.min, &control.max, &control.step, &defaultValue, &caps);
    if (SUCCEEDED(control.result)) control.result = amplifier->Get(property, &control.value, &flags);
    return control;
}

class ViewTest : public qt::HostProgramTest
{
protected:
    ViewTest() : HostProgramTest("quilo-view") {}
    std::string output_file() const { return file("output.txt"); }
};

TEST_F(ViewTest, TheSnapshotIsTheCamerasPictureAsPaintedTheRightWayUp)
{
    // 321 pixels: rows padded by one byte; an odd height keeps a middle row in place.
    ASSERT_TRUE(qt::add_device("View Cam", "--tag 77 --fps 30"));
    Viewer viewer("--device 0 --size 321x243 --snapshot \"" + file("snapshot.png") + "\" --after 3", output_file());
    ASSERT_TRUE(viewer.started());
    ASSERT_EQ(0, viewer.exit_code(60000)) << viewer.output();
    EXPECT_NE(std::string::npos, viewer.output().find("wrote")) << viewer.output();

    qt::DecodedImage painted;
    ASSERT_EQ(S_OK, qt::decode_image(file("snapshot.png"), painted));
    ASSERT_EQ(321u, painted.width);
    ASSERT_EQ(243u, painted.height);
    std::string why;
    const long n = qt::frame_number(painted.bgr.data(), 321, 243, 321 * 3, true, 77, &why);
    EXPECT_GE(n, 3) << "not the documented picture of one frame, top row first: " << why;
}

TEST_F(ViewTest, SlidersSpanTheDevicesRangesAndDraggingOneSetsTheDevice)
{
    ASSERT_TRUE(qt::add_device("View Cam", "--size 160x120 --fps 30"));
    Viewer viewer("--device 0 --size 160x120", output_file());
    ASSERT_TRUE(viewer.started());
    ASSERT_NE(nullptr, viewer.window()) << viewer.output();
    ASSERT_TRUE(viewer.status_shows(qv::kStatusGrab, "S_OK", 30000)) << viewer.status(qv::kStatusMessage);

    struct Case
    {
        int index;
        VideoProcAmpProperty property;
        const char *name;
        long offset; // from the minimum, in device units: white balance lands between two steps
    };
    for (const Case c : {Case{kBrightness, VideoProcAmp_Brightness, "brightness", 5},
                         Case{kWhiteBalance, VideoProcAmp_WhiteBalance, "whitebalance", 504}}) {
        SCOPED_TRACE(c.name);
        // White balance starts automatic, its slider disabled until it is made manual.
        HWND autoBox = viewer.control(qv::kFirstAutoBox + c.index);
        if (SendMessageA(autoBox, BM_GETCHECK, 0, 0) == BST_CHECKED) SendMessageA(autoBox, BM_CLICK, 0, 0);
        const DeviceControl before = device_control(0, c.property);
        ASSERT_EQ(S_OK, before.result);
        ASSERT_GT(before.step, 0);
        HWND slider = viewer.control(qv::kFirstSlider + c.index);
        ASSERT_NE(nullptr, slider);
        EXPECT_TRUE(IsWindowEnabled(slider));
        EXPECT_EQ(before.min, SendMessageA(slider, TBM_GETRANGEMIN, 0, 0));
        EXPECT_EQ(before.max, SendMessageA(slider, TBM_GETRANGEMAX, 0, 0));
        EXPECT_EQ(before.step, SendMessageA(slider, TBM_GETLINESIZE, 0, 0));
        EXPECT_EQ(before.value, SendMessageA(slider, TBM_GETPOS, 0, 0));

        // The device takes its minimum plus whole steps: a drag between two lands on the nearer.
        const long position = before.min + c.offset;
        const long expected = before.min + (c.offset + before.step / 2) / before.step * before.step;
        ASSERT_NE(before.value, expected);
        viewer.drag_slider(c.index, position);
        EXPECT_EQ(expected, SendMessageA(slider, TBM_GETPOS, 0, 0));
        EXPECT_EQ(expected, device_control(0, c.property).value);
        const std::string list = qt::run_testcam("list").output;
        EXPECT_NE(std::string::npos, list.find(std::string(c.name) + "=" + std::to_string(expected) + "/"))
            << list;
        EXPECT_EQ(std::to_string(expected), Viewer::text_of(viewer.control(qv::kFirstSliderValue + c.index)));
    }
    // The picture kept coming while the sliders moved: the window answers, its last Grab
    // succeeded and the live picture was not stopped. (An unreadable status bar is no pass.)
    std::string grab;
    ASSERT_TRUE(viewer.read_status(qv::kStatusGrab, grab)) << "the window did not answer within a second";
    EXPECT_EQ(std::string::npos, grab.find("failed")) << grab;
    EXPECT_NE(std::string::npos, grab.find("S_OK")) << grab;
    std::string rate;
    ASSERT_TRUE(viewer.read_status(qv::kStatusFrameRate, rate));
    EXPECT_NE(std::string::npos, rate.find(" fps")) << rate;
}

TEST_F(ViewTest, ControlsTheDeviceLacksAreDisabledAndTheStandardListFollowsTheDecoder)
{
    ASSERT_TRUE(qt::add_device("View Cam", "--procamp brightness,gamma --size 160x120"));
    {
        Viewer viewer("--device 0 --size 160x120", output_file());
        ASSERT_TRUE(viewer.status_shows(qv::kStatusGrab, "S_OK", 30000)) << viewer.output();
        EXPECT_TRUE(IsWindowEnabled(viewer.control(qv::kFirstSlider + kBrightness)));
        EXPECT_TRUE(IsWindowEnabled(viewer.control(qv::kFirstSlider + kGamma)));
        for (const int lacking : {1, kHue, 3, 4, kWhiteBalance, 7}) {
            HWND slider = viewer.control(qv::kFirstSlider + lacking);
            ASSERT_NE(nullptr, slider) << "control " << lacking;
            EXPECT_FALSE(IsWindowEnabled(slider)) << "control " << lacking;
        }
        HWND standards = viewer.control(qv::kStandardList);
        ASSERT_NE(nullptr, standards);
        EXPECT_FALSE(IsWindowEnabled(standards));
        EXPECT_EQ("None Video", Viewer::text_of(standards));
    }

    ASSERT_TRUE(qt::clear_devices());
    ASSERT_TRUE(qt::add_device("View Tuner", "--crossbar composite/decoder --standard PAL_B --size 160x120"));
    Viewer viewer("--device 0 --size 160x120", output_file());
    ASSERT_TRUE(viewer.status_shows(qv::kStatusGrab, "S_OK", 30000)) << viewer.output();
    HWND standards = viewer.control(qv::kStandardList);
    ASSERT_NE(nullptr, standards);
    EXPECT_TRUE(IsWindowEnabled(standards));
    EXPECT_EQ("PAL_B", Viewer::text_of(standards));
    // The list holds the component's 19 names in their order; the last is SECAM_L1.
    ASSERT_EQ(19, SendMessageA(standards, CB_GETCOUNT, 0, 0));
    SendMessageA(standards, CB_SETCURSEL, 18, 0);
    ASSERT_EQ("SECAM_L1", Viewer::text_of(standards));
    SendMessageA(viewer.window(), WM_COMMAND, MAKEWPARAM(qv::kStandardList, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(standards));
    EXPECT_NE(std::string::npos, qt::run_testcam("list").output.find("put_TVFormat: SECAM_L1"));
    EXPECT_EQ("SECAM_L1", Viewer::text_of(standards)) << "read back from the device";
}

// Camera control rows exist only for what the device has, at its ranges (docs/TestCamera.md);
// a move, an "Auto" box, "Reset to defaults" and the input list each reach the device itself.
TEST_F(ViewTest, CameraControlsAutoBoxesResetAndInputReachTheDevice)
{
    // Sixteen rows: all but iris.
    ASSERT_TRUE(qt::add_device("View Card", "--procamp all --camctl pan,tilt,roll,zoom,exposure,focus "
                                            "--crossbar composite,svideo,tuner/decoder --size 160x120"));
    Viewer viewer("--device 0 --size 160x120", output_file());
    ASSERT_TRUE(viewer.status_shows(qv::kStatusGrab, "S_OK", 30000)) << viewer.output();
    EXPECT_FALSE(IsWindowVisible(viewer.control(qv::kFirstSlider + kIris))) << "the device has no iris";
    // Each thumb is drawn where its value lies in its range (docs/TestCamera.md): brightness 0
    // of -64..64 and hue 0 of -40..40 halfway, exposure -6 of -13..-1 at 7/12, zoom 100 of
    // 100..400 at the left end.
    for (const auto &[index, place] : {std::pair<int, double>{kBrightness, 0.5}, {kHue, 0.5},
                                       {kExposure, 7.0 / 12}, {kZoom, 0.0}})
        EXPECT_NEAR(place, viewer.thumb_place(index), 0.03) << "the thumb of row " << index;
    // Every row shown lies inside the window, clear of the others and of the picture.
    RECT client = {}, picture = {};
    GetClientRect(viewer.window(), &client);
    GetWindowRect(viewer.control(qv::kPicture), &picture);
    MapWindowPoints(nullptr, viewer.window(), reinterpret_cast<POINT *>(&picture), 2);
    std::vector<RECT> placed{picture};
    for (int i = 0; i < 17; ++i) {
        HWND slider = viewer.control(qv::kFirstSlider + i);
        if (i == kIris) continue;
        ASSERT_TRUE(IsWindowVisible(slider)) << "row " << i;
        RECT r = {}, overlap = {};
        GetWindowRect(slider, &r);
        MapWindowPoints(nullptr, viewer.window(), reinterpret_cast<POINT *>(&r), 2);
        EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= client.right && r.bottom <= client.bottom) << "row " << i;
        for (const RECT &other : placed) EXPECT_FALSE(IntersectRect(&overlap, &r, &other)) << "row " << i;
        placed.push_back(r);
    }

    HWND zoom = viewer.control(qv::kFirstSlider + kZoom);
    EXPECT_TRUE(IsWindowEnabled(zoom));
    EXPECT_EQ(100, SendMessageA(zoom, TBM_GETRANGEMIN, 0, 0));
    EXPECT_EQ(400, SendMessageA(zoom, TBM_GETRANGEMAX, 0, 0));
    EXPECT_EQ(10, SendMessageA(zoom, TBM_GETLINESIZE, 0, 0));
    EXPECT_EQ("Zoom (default 100)", Viewer::text_of(viewer.control(qv::kFirstSliderLabel + kZoom)));
    EXPECT_FALSE(IsWindowVisible(viewer.control(qv::kFirstAutoBox + kZoom))) << "zoom has no automatic mode";
    HWND exposure = viewer.control(qv::kFirstSlider + kExposure);
    EXPECT_EQ(-13, SendMessageA(exposure, TBM_GETRANGEMIN, 0, 0));
    EXPECT_EQ(-6, SendMessageA(exposure, TBM_GETPOS, 0, 0));
    EXPECT_FALSE(IsWindowEnabled(exposure)) << "automatic: the device moves it";
    HWND gainAuto = viewer.control(qv::kFirstAutoBox + kGain);
    EXPECT_TRUE(IsWindowVisible(gainAuto) && IsWindowEnabled(viewer.control(qv::kFirstSlider + kGain)));
    EXPECT_EQ(BST_UNCHECKED, SendMessageA(gainAuto, BM_GETCHECK, 0, 0)) << "gain starts manual";

    viewer.drag_slider(kZoom, 203);
    qt::DeviceRecord record = qt::read_device_record("View Card");
    ASSERT_FALSE(record.cameraControlSets.empty());
    EXPECT_EQ(CameraControl_Zoom, record.cameraControlSets.back().property);
    EXPECT_EQ(200, record.cameraControlSets.back().value) << "snapped to the step of 10";

    // Focus starts automatic: its box is ticked and its slider sets nothing; a click makes it
    // manual, another automatic.
    HWND focusAuto = viewer.control(qv::kFirstAutoBox + kFocus);
    HWND focus = viewer.control(qv::kFirstSlider + kFocus);
    ASSERT_TRUE(IsWindowVisible(focusAuto));
    EXPECT_EQ(BST_CHECKED, SendMessageA(focusAuto, BM_GETCHECK, 0, 0));
    viewer.drag_slider(kFocus, 100);
    EXPECT_EQ(record.cameraControlSets.size(), qt::read_device_record("View Card").cameraControlSets.size());
    EXPECT_EQ(0, SendMessageA(focus, TBM_GETPOS, 0, 0)) << "back at the device's value";
    for (const long flags : {CameraControl_Flags_Manual, CameraControl_Flags_Auto}) {
        SendMessageA(focusAuto, BM_CLICK, 0, 0);
        record = qt::read_device_record("View Card");
        ASSERT_FALSE(record.cameraControlSets.empty());
        EXPECT_EQ(CameraControl_Focus, record.cameraControlSets.back().property);
        EXPECT_EQ(flags, record.cameraControlSets.back().flags);
        EXPECT_EQ(flags == CameraControl_Flags_Manual, IsWindowEnabled(focus) != FALSE);
    }

    SendMessageA(viewer.control(qv::kResetButton), BM_CLICK, 0, 0);
    record = qt::read_device_record("View Card");
    ASSERT_FALSE(record.cameraControlSets.empty());
    EXPECT_EQ(0, record.cameraControlSets.back().value) << "focus's default, the last row";
    EXPECT_EQ(CameraControl_Flags_Manual, record.cameraControlSets.back().flags);
    EXPECT_EQ(100, SendMessageA(zoom, TBM_GETPOS, 0, 0)) << "zoom's default";
    // White balance, automatic until now, through the component; gain on the device.
    EXPECT_EQ(BST_UNCHECKED, SendMessageA(viewer.control(qv::kFirstAutoBox + kWhiteBalance), BM_GETCHECK, 0, 0));
    EXPECT_TRUE(IsWindowEnabled(viewer.control(qv::kFirstSlider + kWhiteBalance)));
    ASSERT_FALSE(record.procAmpSets.empty());
    EXPECT_EQ(VideoProcAmp_Gain, record.procAmpSets.back().property);
    EXPECT_EQ(0, record.procAmpSets.back().value);

    HWND inputs = viewer.control(qv::kInputList);
    ASSERT_EQ(3, SendMessageA(inputs, CB_GETCOUNT, 0, 0));
    EXPECT_EQ("Composite", Viewer::text_of(inputs));
    SendMessageA(inputs, CB_SETCURSEL, 1, 0);
    SendMessageA(viewer.window(), WM_COMMAND, MAKEWPARAM(qv::kInputList, CBN_SELCHANGE), reinterpret_cast<LPARAM>(inputs));
    record = qt::read_device_record("View Card");
    ASSERT_FALSE(record.routes.empty());
    EXPECT_EQ((std::pair<long, long>{0, 1}), record.routes.back());
    EXPECT_EQ("S-Video", Viewer::text_of(inputs)) << "read back from the device";
}

TEST_F(ViewTest, AStallingDeviceShowsTheTimeoutAndTheWindowStillAnswers)
{
    ASSERT_TRUE(qt::add_device("View Cam", "--stall-after 1 --size 160x120"));
    Viewer viewer("--device 0 --size 160x120", output_file());
    ASSERT_NE(nullptr, viewer.window()) << viewer.output();
    // The first frame comes; the next Grab waits out its 8 seconds.
    ASSERT_TRUE(viewer.status_shows(qv::kStatusGrab, "0x8004022E", 40000)) << viewer.status(qv::kStatusGrab);
    EXPECT_NE(std::string::npos, viewer.status(qv::kStatusGrab).find("VFW_E_TIMEOUT"));
    for (int i = 0; i < 5; ++i) {
        DWORD_PTR result = 0;
        EXPECT_NE(0, SendMessageTimeoutA(viewer.window(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result))
            << "the window did not answer within 2 s, attempt " << i;
        Sleep(400);
    }
    EXPECT_EQ("stopped", viewer.status(qv::kStatusFrameRate));
}

TEST_F(ViewTest, PropertiesShowsTheCapturePinsPagesAndTheLivePictureResumes)
{
    ASSERT_TRUE(qt::add_device("View Cam", "--size 160x120"));
    Viewer viewer("--device 0 --size 160x120", output_file());
    ASSERT_TRUE(viewer.status_shows(qv::kStatusGrab, "S_OK", 30000)) << viewer.output();
    const long formatSets = static_cast<long>(qt::read_device_record("View Cam").formatSets.size());

    PostMessageA(viewer.window(), WM_COMMAND, MAKEWPARAM(qv::kPropertiesButton, BN_CLICKED),
                 reinterpret_cast<LPARAM>(viewer.control(qv::kPropertiesButton)));
    // Closed from outside, as a user would.
    EXPECT_TRUE(wait_until([&] {
        for (HWND dialog : qt::windows_of(viewer.id(), "#32770")) {
            char title[256] = {};
            GetWindowTextA(dialog, title, sizeof(title));
            if (std::string(title).rfind("Properties for", 0) != 0) continue;
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
            return true;
        }
        return false;
    }, 30000));
    ASSERT_TRUE(viewer.status_shows(qv::kStatusMessage, "property pages", 30000)) << viewer.status(qv::kStatusMessage);
    EXPECT_TRUE(viewer.status_shows(qv::kStatusGrab, "S_OK", 30000));
    const qt::DeviceRecord record = qt::read_device_record("View Cam");
    EXPECT_GE(record.pageActivations, 1);
    EXPECT_EQ(formatSets, static_cast<long>(record.formatSets.size())) << "the pages choose the size, not the viewer";
}

TEST_F(ViewTest, SaveFrameWritesTheShownFrameInTheChosenFormat)
{
    ASSERT_TRUE(qt::add_device("View Cam", "--tag 9 --size 161x121"));
    Viewer viewer("--device 0 --size 161x121", output_file());
    ASSERT_TRUE(viewer.status_shows(qv::kStatusGrab, "S_OK", 30000)) << viewer.output();

    for (const char *name : {"saved.bmp", "saved.png"}) {
        SCOPED_TRACE(name);
        PostMessageA(viewer.window(), WM_COMMAND, MAKEWPARAM(qv::kSaveButton, BN_CLICKED),
                     reinterpret_cast<LPARAM>(viewer.control(qv::kSaveButton)));
        HWND dialog = nullptr;
        ASSERT_TRUE(wait_until([&] {
            const std::vector<HWND> dialogs = qt::windows_of(viewer.id(), "#32770");
            dialog = dialogs.empty() ? nullptr : dialogs.front();
            return dialog != nullptr;
        }, 30000));
        // The file name box: edt1 in the classic layout, the combo box cmb13 in the newer one.
        HWND nameBox = GetDlgItem(dialog, 0x480);
        if (!nameBox) nameBox = GetDlgItem(dialog, 0x47c);
        ASSERT_NE(nullptr, nameBox);
        const std::string path = file(name);
        DWORD_PTR ignored = 0;
        ASSERT_NE(0, SendMessageTimeoutA(nameBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()), SMTO_NORMAL,
                                         5000, &ignored));
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(viewer.status_shows(qv::kStatusMessage, "Saved " + path, 30000))
            << viewer.status(qv::kStatusMessage);

        qt::DecodedImage saved;
        ASSERT_EQ(S_OK, qt::decode_image(path, saved));
        EXPECT_TRUE(IsEqualGUID(saved.container, std::string(name) == "saved.bmp" ? GUID_ContainerFormatBmp
                                                                                   : GUID_ContainerFormatPng));
        ASSERT_EQ(161u, saved.width);
        ASSERT_EQ(121u, saved.height);
        std::string why;
        EXPECT_GE(qt::frame_number(saved.bgr.data(), 161, 121, 161 * 3, true, 9, &why), 1) << why;
        DeleteFileA(path.c_str());
    }
    // The live picture goes on after the dialog.
    EXPECT_TRUE(viewer.status_shows(qv::kStatusFrameRate, "fps", 30000));
}

TEST_F(ViewTest, CommandLineErrorsAndAFailedSnapshotExitNonZeroWithTheReason)
{
    for (const char *bad : {"--frob", "--size 640", "--after 3", "--device -1", "--snapshot"}) {
        Viewer viewer(bad, output_file());
        EXPECT_EQ(2, viewer.exit_code(30000)) << bad;
        EXPECT_NE(std::string::npos, viewer.output().find("--help")) << bad << ": " << viewer.output();
    }

    ASSERT_TRUE(qt::add_device("View Cam", "--size 160x120"));
    {
        Viewer viewer("--device 1 --snapshot \"" + file("snapshot.png") + "\"", output_file());
        EXPECT_EQ(1, viewer.exit_code(30000));
        EXPECT_NE(std::string::npos, viewer.output().find("No video input device at position 1")) << viewer.output();
    }
    {
        ASSERT_TRUE(qt::clear_devices());
        ASSERT_TRUE(qt::add_device("View Cam", "--stall --size 160x120"));
        Viewer viewer("--snapshot \"" + file("snapshot.png") + "\"", output_file());
        EXPECT_EQ(1, viewer.exit_code(40000));
        EXPECT_NE(std::string::npos, viewer.output().find("Grab failed: 0x8004022E")) << viewer.output();
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(file("snapshot.png").c_str()));
}

} // namespace
