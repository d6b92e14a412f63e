#include "tools/ViewerWindow.h"

#include <commctrl.h>
#include <commdlg.h>
#include <algorithm>
#include <cstdio>

#include "common/HResult.h"
#include "tools/ChildWindow.h"
#include "dshow/ErrorText.h"
#include "tools/NumberText.h"
#include "dshow/VideoStandards.h"
#include "tools/ViewIds.h"

namespace quilo::view {
namespace {

constexpr UINT_PTR kGrabTimer = 1;
constexpr UINT kOpenLater = WM_APP + 1; // a size picked from the list: its text is in place only afterwards
constexpr int kMargin = 8;
constexpr int kBarHeight = 24;
constexpr int kBarSpacing = 6;
constexpr int kGap = 12;
constexpr int kPanelWidth = 320;
constexpr int kListHeight = 48;        // a label and its drop-down
constexpr int kButtonHeight = 26;
constexpr int kPanelExtra = 2 * kListHeight + kButtonHeight + 8; // standard, input, reset
constexpr int kMinimumPicture = 320;
// A window fitted to a frame grows to this height before the sliders take a second column.
constexpr int kOneColumnHeight = 660;
constexpr char kUnknownStandard[] = "(unknown)";
const char *const kSizes[] = {"160x120", "320x240", "640x480", "800x600", "1024x768", "1280x720", "1920x1080"};

// Marks a call into the component for its duration.
class CallScope
{
public:
    explicit CallScope(bool &flag) noexcept : flag_(flag) { flag_ = true; }
    ~CallScope() { flag_ = false; }
    CallScope(const CallScope &) = delete;
    CallScope &operator=(const CallScope &) = delete;

private:
    bool &flag_;
};

std::string combo_text(HWND combo, LRESULT index)
{
    const LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR) return {};
    std::string text(static_cast<size_t>(length) + 1, '\0');
    SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(length));
    return text;
}

bool ends_with_bmp(const std::string &path)
{
    return path.size() >= 4 && lstrcmpiA(path.c_str() + path.size() - 4, ".bmp") == 0;
}

} // namespace

ViewerWindow::ViewerWindow(ICQuiloVideoProcClass *proc, const ViewOptions &options)
    : proc_(proc), session_(proc), options_(options)
{
}

HRESULT ViewerWindow::create(HINSTANCE instance, int show)
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    if (!InitCommonControlsEx(&controls)) return E_FAIL;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = window_proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kMainWindowClass;
    if (!RegisterClassA(&wc) || !PicturePane::register_class(instance)) return hresult_from_win32(GetLastError());
    window_ = CreateWindowExA(0, kMainWindowClass, "quilo-view", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                              CW_USEDEFAULT, 960, 600, nullptr, nullptr, instance, this);
    if (!window_) return hresult_from_win32(GetLastError());
    create_children();
    fit_window(options_.width, options_.height);
    ShowWindow(window_, show);
    UpdateWindow(window_);

    fill_device_list();
    if (selected_device() == options_.device) {
        open_device(false);
    } else {
        const std::string text = "No video input device at position " + std::to_string(options_.device);
        status_.set_message(text);
        if (snapshot_pending()) end_snapshot(1, text);
    }
    return S_OK;
}

void ViewerWindow::create_children()
{
    auto bar = [this](HWND control, int width) {
        barControls_.push_back(control);
        barWidths_.push_back(width);
        return control;
    };
    bar(make_child(window_, "STATIC", "Device:", SS_RIGHT | SS_CENTERIMAGE, -1), 46);
    deviceList_ = bar(make_child(window_, "COMBOBOX", "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, kDeviceList), 240);
    bar(make_child(window_, "STATIC", "Size:", SS_RIGHT | SS_CENTERIMAGE, -1), 34);
    sizeList_ = bar(make_child(window_, "COMBOBOX", "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN, kSizeList), 96);
    bar(make_child(window_, "BUTTON", "Open", WS_TABSTOP | BS_DEFPUSHBUTTON, kOpenButton), 64);
    bar(make_child(window_, "BUTTON", "Properties", WS_TABSTOP | BS_PUSHBUTTON, kPropertiesButton), 80);
    bar(make_child(window_, "BUTTON", "Save frame", WS_TABSTOP | BS_PUSHBUTTON, kSaveButton), 84);
    picture_.create(window_, kPicture);
    sliders_.create(window_);
    resetButton_ = make_child(window_, "BUTTON", "Reset to defaults", WS_TABSTOP | BS_PUSHBUTTON, kResetButton);
    EnableWindow(resetButton_, FALSE);
    standardLabel_ = make_child(window_, "STATIC", "Video standard", SS_LEFT, -1);
    standardList_ = make_child(window_, "COMBOBOX", "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, kStandardList);
    EnableWindow(standardList_, FALSE);
    inputLabel_ = make_child(window_, "STATIC", "Input", SS_LEFT, -1);
    inputList_ = make_child(window_, "COMBOBOX", "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, kInputList);
    EnableWindow(inputList_, FALSE);
    status_.create(window_, kStatusBar);
    fill_size_list();
}

void ViewerWindow::layout()
{
    RECT client = {};
    GetClientRect(window_, &client);
    const int statusHeight = status_.layout();
    int x = kMargin;
    for (size_t i = 0; i < barControls_.size(); ++i) {
        // A combo box's height includes its drop-down list.
        const bool combo = barControls_[i] == deviceList_ || barControls_[i] == sizeList_;
        MoveWindow(barControls_[i], x, kMargin, barWidths_[i], combo ? 300 : kBarHeight, TRUE);
        x += barWidths_[i] + kBarSpacing;
    }
    const int top = kMargin + kBarHeight + kMargin;
    // A second column of sliders when one does not fit the height the window has.
    const int room = client.bottom - statusHeight - kMargin - top;
    const int columns = sliders_.height(1) + kPanelExtra <= room ? 1 : 2;
    const int panelX = std::max<int>(client.right - kMargin - panel_width(columns), kMargin + kGap);
    MoveWindow(picture_.window(), kMargin, top, std::max(panelX - kGap - kMargin, 0),
               std::max<int>(client.bottom - statusHeight - kMargin - top, 0), TRUE);
    sliders_.layout(panelX, top, kPanelWidth, kGap, columns);
    int y = top + sliders_.height(columns) + 4;
    MoveWindow(resetButton_, panelX, y, 140, kButtonHeight - 4, TRUE);
    y += kButtonHeight + 4;
    MoveWindow(standardLabel_, panelX, y, kPanelWidth, 16, TRUE);
    MoveWindow(standardList_, panelX, y + 18, kPanelWidth, 300, TRUE);
    y += kListHeight;
    MoveWindow(inputLabel_, panelX, y, kPanelWidth, 16, TRUE);
    MoveWindow(inputList_, panelX, y + 18, kPanelWidth, 300, TRUE);
    InvalidateRect(window_, nullptr, TRUE);
}

int ViewerWindow::panel_width(int columns)
{
    return columns * kPanelWidth + (columns - 1) * kGap;
}

int ViewerWindow::bar_width() const
{
    int width = 0;
    for (const int part : barWidths_) width += part + kBarSpacing;
    return width - kBarSpacing;
}

// Grows or shrinks the window so that the frame is painted 1:1, as far as the screen allows.
void ViewerWindow::fit_window(int frameWidth, int frameHeight)
{
    RECT status = {};
    GetWindowRect(status_.window(), &status);
    // One column while it is no taller than the frame (or a moderate window); else two, beside
    // a frame as tall as their half. layout() makes the same choice from the height it gets.
    const int columns = sliders_.height(1) + kPanelExtra <= std::max(frameHeight, kOneColumnHeight) ? 1 : 2;
    const int panelHeight = sliders_.height(columns) + kPanelExtra;
    const int clientWidth = std::max(kMargin + std::max(frameWidth, kMinimumPicture) + kGap + panel_width(columns) + kMargin,
                                     bar_width() + 2 * kMargin);
    RECT wanted = {0, 0, clientWidth,
                   kMargin + kBarHeight + kMargin + std::max(frameHeight, panelHeight) + kMargin +
                       (status.bottom - status.top)};
    AdjustWindowRectEx(&wanted, static_cast<DWORD>(GetWindowLongPtrA(window_, GWL_STYLE)), FALSE, 0);
    RECT work = {};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const int width = std::min<int>(wanted.right - wanted.left, work.right - work.left);
    const int height = std::min<int>(wanted.bottom - wanted.top, work.bottom - work.top);
    SetWindowPos(window_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    layout();
}

void ViewerWindow::fill_device_list()
{
    const long keep = selected_device();
    SendMessageA(deviceList_, CB_RESETCONTENT, 0, 0);
    const HRESULT hr = dshow::list_video_devices(devices_);
    if (FAILED(hr)) report("listing video input devices", hr);
    for (const dshow::VideoDevice &device : devices_) {
        const std::string text = std::to_string(device.position) + "  " + (device.hasName ? device.name : "(no name)");
        const LRESULT index = SendMessageA(deviceList_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        SendMessageA(deviceList_, CB_SETITEMDATA, static_cast<WPARAM>(index), device.position);
    }
    const long wanted = keep >= 0 ? keep : options_.device;
    for (size_t i = 0; i < devices_.size(); ++i)
        if (devices_[i].position == wanted) SendMessageA(deviceList_, CB_SETCURSEL, i, 0);
    if (devices_.empty() && SUCCEEDED(hr)) status_.set_message("No video input devices");
}

void ViewerWindow::fill_size_list()
{
    const std::string asked = std::to_string(options_.width) + "x" + std::to_string(options_.height);
    bool listed = false;
    for (const char *size : kSizes) {
        SendMessageA(sizeList_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(size));
        listed = listed || asked == size;
    }
    if (!listed) SendMessageA(sizeList_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(asked.c_str()));
    SetWindowTextA(sizeList_, asked.c_str());
}

long ViewerWindow::selected_device() const
{
    const LRESULT index = SendMessageA(deviceList_, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return -1;
    return static_cast<long>(SendMessageA(deviceList_, CB_GETITEMDATA, static_cast<WPARAM>(index), 0));
}

bool ViewerWindow::selected_size(long &width, long &height) const
{
    char text[64] = {};
    GetWindowTextA(sizeList_, text, sizeof(text));
    return host::parse_size(text, width, height);
}

void ViewerWindow::open_device(bool showPages)
{
    const long position = selected_device();
    if (position < 0) {
        status_.set_message("Choose a device first");
        return;
    }
    long width = 0, height = 0;
    if (!showPages && !selected_size(width, height)) {
        status_.set_message("The frame size must be WIDTHxHEIGHT, for example 640x480");
        return;
    }
    close_device();
    HRESULT hr;
    const char *call = "createCapture";
    {
        CallScope inCall(inCall_);
        // The property frame is modal to the user: the window waits for it.
        if (showPages) EnableWindow(window_, FALSE);
        hr = session_.open(position, true, !showPages, width, height);
        if (showPages) EnableWindow(window_, TRUE);
        if (SUCCEEDED(hr)) {
            call = "startCapture";
            hr = proc_->startCapture();
        }
    }
    if (showPages) SetActiveWindow(window_);
    if (FAILED(hr)) {
        session_.close();
        report(call, hr);
        return;
    }
    deviceOpen_ = true;
    load_controls(position);
    load_standard();
    load_inputs();
    fit_window(width > 0 ? width : options_.width, height > 0 ? height : options_.height);
    std::string name = "(no name)";
    for (const dshow::VideoDevice &device : devices_)
        if (device.position == position && device.hasName) name = device.name;
    SetWindowTextA(window_, ("quilo-view - " + name).c_str());
    status_.set_message("Opened device " + std::to_string(position) + ": " + name +
                        (showPages ? ", sized on its property pages" : ""));
    framesShown_ = 0;
    start_live();
}

void ViewerWindow::close_device()
{
    stop_live();
    session_.close();
    deviceOpen_ = false;
    sliders_.disable();
    device_.release();
    EnableWindow(resetButton_, FALSE);
    SendMessageA(standardList_, CB_RESETCONTENT, 0, 0);
    EnableWindow(standardList_, FALSE);
    SendMessageA(inputList_, CB_RESETCONTENT, 0, 0);
    EnableWindow(inputList_, FALSE);
    picture_.clear();
    status_.set_frame_size(0, 0);
    status_.clear_grab_result();
}

void ViewerWindow::load_controls(long position)
{
    std::string failure;
    const HRESULT hr = device_.bind(position);
    if (FAILED(hr)) failure = dshow::failure_text("binding the device for its controls", hr);
    sliders_.load(proc_, device_, failure);
    EnableWindow(resetButton_, SUCCEEDED(hr));
    if (!failure.empty()) status_.set_message(failure);
}

void ViewerWindow::reset_controls()
{
    std::string failure;
    int done;
    {
        CallScope call(inCall_);
        done = sliders_.reset(proc_, device_, failure);
    }
    status_.set_message(failure.empty() ? "Reset " + std::to_string(done) + " controls to their defaults" : failure);
}

void ViewerWindow::load_inputs()
{
    SendMessageA(inputList_, CB_RESETCONTENT, 0, 0);
    const std::vector<host::DeviceImageControls::Input> inputs = device_.inputs();
    if (inputs.empty()) {
        SendMessageA(inputList_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("(no crossbar)"));
        SendMessageA(inputList_, CB_SETCURSEL, 0, 0);
        EnableWindow(inputList_, FALSE);
        return;
    }
    const LONG routed = device_.routedInput();
    for (const auto &input : inputs) {
        const LRESULT index = SendMessageA(inputList_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(input.name.c_str()));
        SendMessageA(inputList_, CB_SETITEMDATA, static_cast<WPARAM>(index), input.index);
        if (input.index == routed) SendMessageA(inputList_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
    EnableWindow(inputList_, TRUE);
}

void ViewerWindow::set_input()
{
    const LRESULT selected = SendMessageA(inputList_, CB_GETCURSEL, 0, 0);
    if (selected == CB_ERR) return;
    const LONG input = static_cast<LONG>(SendMessageA(inputList_, CB_GETITEMDATA, static_cast<WPARAM>(selected), 0));
    const std::string name = combo_text(inputList_, selected);
    const HRESULT hr = device_.route(input);
    if (FAILED(hr)) report("routing " + name, hr);
    else status_.set_message("Input set to " + name);
    load_inputs();
}

void ViewerWindow::load_standard()
{
    SendMessageA(standardList_, CB_RESETCONTENT, 0, 0);
    EnableWindow(standardList_, FALSE);
    // The longest name is 11 bytes; the rest is room to spare and keeps the text terminated.
    unsigned char name[64] = {};
    const HRESULT hr = proc_->GetVideoStandParam(name);
    name[sizeof(name) - 1] = '\0';
    if (FAILED(hr)) {
        report("GetVideoStandParam", hr);
        return;
    }
    const std::string current = reinterpret_cast<const char *>(name);
    if (current == dshow::kNoVideoDecoderText) {
        SendMessageA(standardList_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(dshow::kNoVideoDecoderText));
        SendMessageA(standardList_, CB_SETCURSEL, 0, 0);
        return;
    }
    LRESULT selected = CB_ERR;
    for (const dshow::VideoStandardName &standard : dshow::kVideoStandards) {
        const LRESULT index = SendMessageA(standardList_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(standard.name));
        if (current == standard.name) selected = index;
    }
    // A standard the component has no name for (or none at all).
    if (selected == CB_ERR)
        selected = SendMessageA(standardList_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kUnknownStandard));
    SendMessageA(standardList_, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    EnableWindow(standardList_, TRUE);
}

void ViewerWindow::set_standard()
{
    const std::string name = combo_text(standardList_, SendMessageA(standardList_, CB_GETCURSEL, 0, 0));
    if (name.empty() || name == kUnknownStandard) return;
    std::vector<unsigned char> text(name.begin(), name.end());
    text.push_back('\0');
    HRESULT hr;
    {
        CallScope call(inCall_);
        hr = proc_->SetVideoStandParam(text.data());
    }
    if (FAILED(hr)) report("SetVideoStandParam(" + name + ")", hr);
    else if (hr == S_FALSE) status_.set_message("SetVideoStandParam(" + name + ") changed nothing: the device has no analog video decoder");
    else status_.set_message("Video standard set to " + name);
    load_standard();
}

void ViewerWindow::start_live()
{
    if (!deviceOpen_) return;
    // As often as the timer allows: each Grab itself waits for the device's next frame.
    if (!SetTimer(window_, kGrabTimer, USER_TIMER_MINIMUM, nullptr)) {
        report("SetTimer", hresult_from_win32(GetLastError()));
        return;
    }
    live_ = true;
    rate_.reset();
    status_.set_frame_rate(0);
}

void ViewerWindow::stop_live()
{
    if (live_) KillTimer(window_, kGrabTimer);
    live_ = false;
    status_.set_stopped();
}

void ViewerWindow::grab_frame()
{
    if (!live_ || inCall_) return;
    QuiloImageStruct record = {};
    HRESULT hr;
    {
        CallScope call(inCall_);
        hr = proc_->Grab(&record);
    }
    status_.set_grab_result(hr);
    if (FAILED(hr)) {
        // Retrying at once would hold the window for another Grab's bound, and so on.
        stop_live();
        status_.set_message("Live picture stopped; Open tries again");
        if (snapshot_pending()) end_snapshot(1, dshow::failure_text("Grab", hr));
        return;
    }
    if (!record.data || record.width <= 0 || record.height <= 0 || record.depth != 8 || record.channels != 3) {
        stop_live();
        char text[160];
        std::snprintf(text, sizeof(text),
                      "Grab returned a record this program cannot show: width %ld, height %ld, depth %ld, "
                      "channels %ld, data %s",
                      record.width, record.height, record.depth, record.channels, record.data ? "set" : "null");
        status_.set_message(text);
        if (snapshot_pending()) end_snapshot(1, text);
        return;
    }
    const SIZE shown = picture_.frame_size();
    if (shown.cx != record.width || shown.cy != record.height) {
        fit_window(record.width, record.height);
        status_.set_frame_size(record.width, record.height);
    }
    hr = picture_.show(record.data, record.width, record.height);
    if (FAILED(hr)) {
        stop_live();
        report("showing the frame", hr);
        return;
    }
    ++framesShown_;
    if (rate_.add_frame(GetTickCount64())) status_.set_frame_rate(rate_.per_second());
    if (snapshot_pending() && framesShown_ >= options_.after) take_snapshot();
}

void ViewerWindow::save_frame()
{
    if (!picture_.has_frame()) {
        status_.set_message("No frame to save yet");
        return;
    }
    // The picture stays as it is while the user picks a name.
    const bool wasLive = live_;
    stop_live();
    char file[MAX_PATH] = "frame.png";
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = window_;
    dialog.lpstrFilter = "PNG image (*.png)\0*.png\0BMP image (*.bmp)\0*.bmp\0";
    dialog.lpstrFile = file;
    dialog.nMaxFile = sizeof(file);
    dialog.lpstrDefExt = "png";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    if (GetSaveFileNameA(&dialog)) {
        const std::string path = file;
        const bool bmp = ends_with_bmp(path);
        const HRESULT hr = bmp ? quilo::write_bmp(path, picture_.frame()) : quilo::write_png(path, picture_.frame());
        if (FAILED(hr)) report("writing " + path, hr);
        else status_.set_message("Saved " + path);
    } else if (const DWORD error = CommDlgExtendedError()) {
        status_.set_message("The save dialog failed with error " + std::to_string(error));
    }
    if (wasLive) start_live();
}

void ViewerWindow::report(const std::string &what, HRESULT hr)
{
    const std::string text = dshow::failure_text(what, hr);
    status_.set_message(text);
    if (snapshot_pending()) end_snapshot(1, text);
}

void ViewerWindow::take_snapshot()
{
    stop_live();
    std::vector<unsigned char> pixels;
    quilo::FrameView painted;
    HRESULT hr = picture_.read_painted(pixels, painted);
    if (FAILED(hr)) return end_snapshot(1, dshow::failure_text("reading the picture back from the window", hr));
    hr = quilo::write_png(options_.snapshot, painted);
    if (FAILED(hr)) return end_snapshot(1, dshow::failure_text("writing " + options_.snapshot, hr));
    std::printf("quilo-view: wrote %s (%d x %d, as painted after %ld frames)\n", options_.snapshot.c_str(),
                painted.width, painted.height, framesShown_);
    end_snapshot(0, {});
}

void ViewerWindow::end_snapshot(int exitCode, const std::string &failure)
{
    snapshotDone_ = true;
    exitCode_ = exitCode;
    if (!failure.empty()) std::fprintf(stderr, "quilo-view: %s\n", failure.c_str());
    std::fflush(stdout);
    std::fflush(stderr);
    PostMessageA(window_, WM_CLOSE, 0, 0);
}

void ViewerWindow::on_command(int id, int code)
{
    switch (id) {
    case IDOK: // Enter, for instance after typing a size
    case kOpenButton:
        if (code == BN_CLICKED) open_device(false);
        break;
    case kPropertiesButton:
        if (code == BN_CLICKED) open_device(true);
        break;
    case kSaveButton:
        if (code == BN_CLICKED) save_frame();
        break;
    case kDeviceList:
        if (code == CBN_DROPDOWN) fill_device_list(); // devices come and go
        if (code == CBN_SELCHANGE) open_device(false);
        break;
    case kSizeList:
        if (code == CBN_SELCHANGE) PostMessageA(window_, kOpenLater, 0, 0);
        break;
    case kStandardList:
        if (code == CBN_SELCHANGE) set_standard();
        break;
    case kInputList:
        if (code == CBN_SELCHANGE) set_input();
        break;
    case kResetButton:
        if (code == BN_CLICKED) reset_controls();
        break;
    default:
        if (code == BN_CLICKED) {
            std::string failure;
            if (sliders_.on_auto(id, device_, failure) && !failure.empty()) status_.set_message(failure);
        }
        break;
    }
}

LRESULT ViewerWindow::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (!inCall_) on_command(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case kOpenLater:
        if (!inCall_) open_device(false);
        return 0;
    case WM_HSCROLL: {
        if (inCall_) return 0;
        std::string failure;
        bool handled;
        {
            CallScope call(inCall_);
            handled = sliders_.on_scroll(reinterpret_cast<HWND>(lParam), proc_, device_, failure);
        }
        if (handled && !failure.empty()) status_.set_message(failure);
        return 0;
    }
    case WM_TIMER:
        if (wParam == kGrabTimer) grab_frame();
        return 0;
    case WM_SIZE:
        layout();
        return 0;
    case WM_GETMINMAXINFO: {
        // Room for the row of buttons and a small picture beside the sliders.
        RECT smallest = {0, 0, bar_width() + 2 * kMargin, 420};
        AdjustWindowRectEx(&smallest, static_cast<DWORD>(GetWindowLongPtrA(window_, GWL_STYLE)), FALSE, 0);
        reinterpret_cast<MINMAXINFO *>(lParam)->ptMinTrackSize = {smallest.right - smallest.left,
                                                                  smallest.bottom - smallest.top};
        return 0;
    }
    case WM_CLOSE:
        // Not in the middle of a call: its modal loop would return into a destroyed window.
        if (inCall_) closeRequested_ = true;
        else DestroyWindow(window_);
        return 0;
    case WM_DESTROY:
        close_device();
        if (snapshot_pending()) end_snapshot(1, "the window was closed before the snapshot");
        PostQuitMessage(0);
        return 0;
    default: return DefWindowProcA(window_, message, wParam, lParam);
    }
}

LRESULT CALLBACK ViewerWindow::window_proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto *self = static_cast<ViewerWindow *>(reinterpret_cast<CREATESTRUCTA *>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto *self = reinterpret_cast<ViewerWindow *>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self) return DefWindowProcA(window, message, wParam, lParam);
    const LRESULT result = self->handle(message, wParam, lParam);
    if (self->closeRequested_ && !self->inCall_) {
        self->closeRequested_ = false;
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
    return result;
}

} // namespace quilo::view
