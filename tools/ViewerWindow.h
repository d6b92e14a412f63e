// quilo-view's main window: device and frame size choice, the live picture, a slider per image
// control with its "Auto" box and "Reset to defaults", the analog video standard, a capture
// card's input, "Save frame", "Properties" and the status bar.
// Frames are grabbed on a timer on the window's own thread, the single-threaded apartment
// that created the component object, so a Grab holds the window for at most its own bound.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

#include "QuiloVideoClass.h"
#include "dshow/DeviceList.h"
#include "tools/ControlSliders.h"
#include "tools/DeviceImageControls.h"
#include "tools/FrameRate.h"
#include "tools/PicturePane.h"
#include "tools/StatusLine.h"
#include "tools/VideoProcHost.h"
#include "tools/ViewOptions.h"

namespace quilo::view {

class ViewerWindow
{
public:
    ViewerWindow(ICQuiloVideoProcClass *proc, const ViewOptions &options);
    ViewerWindow(const ViewerWindow &) = delete;
    ViewerWindow &operator=(const ViewerWindow &) = delete;

    // Makes the window and its parts, lists the devices and opens the chosen one.
    HRESULT create(HINSTANCE instance, int show);
    HWND window() const { return window_; }
    // 0, or 1 when a snapshot was asked for and not written.
    int exit_code() const { return exitCode_; }

private:
    static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void on_command(int id, int code);

    void create_children();
    void layout();
    int bar_width() const; // the row of lists and buttons at the top
    static int panel_width(int columns); // the slider columns beside the picture
    void fit_window(int frameWidth, int frameHeight);
    void fill_device_list();
    void fill_size_list();
    long selected_device() const;
    bool selected_size(long &width, long &height) const;

    void open_device(bool showPages);
    void close_device();
    void load_controls(long position);
    void load_standard();
    void set_standard();
    void load_inputs();
    void set_input();
    void reset_controls();
    void start_live();
    void stop_live();
    void grab_frame();
    void save_frame();

    // A failing call: its HRESULT and text in the status bar (and the end of a snapshot run).
    void report(const std::string &what, HRESULT hr);
    bool snapshot_pending() const { return !options_.snapshot.empty() && !snapshotDone_; }
    void take_snapshot();
    void end_snapshot(int exitCode, const std::string &failure);

    ICQuiloVideoProcClass *proc_;
    host::CaptureSession session_;
    host::DeviceImageControls device_; // the open device's own controls and crossbar
    ViewOptions options_;
    std::vector<dshow::VideoDevice> devices_;

    HWND window_ = nullptr;
    HWND deviceList_ = nullptr;
    HWND sizeList_ = nullptr;
    HWND standardList_ = nullptr;
    HWND standardLabel_ = nullptr;
    HWND inputList_ = nullptr;
    HWND inputLabel_ = nullptr;
    HWND resetButton_ = nullptr;
    std::vector<HWND> barControls_; // the top row, left to right, with their widths
    std::vector<int> barWidths_;
    PicturePane picture_;
    ControlSliders sliders_;
    StatusLine status_;
    FrameRate rate_;

    bool deviceOpen_ = false; // createCapture and startCapture succeeded
    bool live_ = false;
    // A call into the component is under way. The property frame and the message box it may
    // show run their own message loops, which must not call the component again.
    bool inCall_ = false;
    bool closeRequested_ = false;
    long framesShown_ = 0;
    bool snapshotDone_ = false;
    int exitCode_ = 0;
};

} // namespace quilo::view
