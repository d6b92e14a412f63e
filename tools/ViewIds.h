// The parts of quilo-view's window, by the identifiers a program finds them with: the window
// itself, and anything that drives it as a user would (a test, an accessibility tool).
#pragma once

namespace quilo::view {

constexpr char kMainWindowClass[] = "QuiloViewWindow";
constexpr char kPictureClass[] = "QuiloViewPicture";

// Child window identifiers (GetDlgItem on the main window).
enum ControlId : int {
    kDeviceList = 100,
    kSizeList = 101,
    kOpenButton = 102,
    kPropertiesButton = 103,
    kSaveButton = 104,
    kStandardList = 105,
    kPicture = 106,
    kStatusBar = 107,
    kResetButton = 108,     // "Reset to defaults"
    kInputList = 109,       // a capture card's video inputs
    // One per image control: first the component's eight in the order of host::kCameraControls
    // (brightness ... backlight compensation), then colour enable, gain, pan, tilt, roll, zoom,
    // exposure, iris and focus: the trackbar, the text showing its value, its name (with its
    // default) and its "Auto" check box.
    kFirstSlider = 200,
    kFirstSliderValue = 220,
    kFirstSliderLabel = 240,
    kFirstAutoBox = 260,
};

// Parts of the status bar.
enum StatusPart : int {
    kStatusFrameRate = 0, // "29.9 fps"
    kStatusFrameSize = 1, // "640 x 480"
    kStatusGrab = 2,      // the last Grab's result: HRESULT and text
    kStatusMessage = 3,   // the last failure of any other call, or what was done
    kStatusPartCount = 4,
};

} // namespace quilo::view
