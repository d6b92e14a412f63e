#include "tools/ControlSliders.h"

#include <commctrl.h>

#include "tools/ChildWindow.h"
#include "tools/ErrorText.h"
#include "tools/ViewIds.h"

namespace quilo::view {
namespace {

constexpr int kTextHeight = 16;
constexpr int kSliderHeight = 26;
constexpr int kValueWidth = 90;
constexpr int kRowHeight = kTextHeight + kSliderHeight + 4;

// The nearest value the device accepts: min plus a whole number of steps, within the range.
long snap(long position, const host::ControlRange &range)
{
    if (position <= range.min) return range.min;
    if (position >= range.max) return range.max;
    const long steps = (position - range.min + range.step / 2) / range.step;
    const long value = range.min + steps * range.step;
    return value > range.max ? value - range.step : value;
}

} // namespace

void ControlSliders::create(HWND parent)
{
    for (int i = 0; i < host::kCameraControlCount; ++i) {
        Row &row = rows_[i];
        row.label = make_child(parent, "STATIC", host::kCameraControls[i].label, SS_LEFT, kFirstSliderLabel + i);
        row.value = make_child(parent, "STATIC", "", SS_RIGHT, kFirstSliderValue + i);
        row.slider = make_child(parent, TRACKBAR_CLASSA, "", WS_TABSTOP | TBS_HORZ | TBS_NOTICKS, kFirstSlider + i);
        enable(row, false);
    }
}

int ControlSliders::height()
{
    return host::kCameraControlCount * kRowHeight;
}

void ControlSliders::layout(int x, int y, int width)
{
    for (Row &row : rows_) {
        MoveWindow(row.label, x, y, width - kValueWidth, kTextHeight, FALSE);
        MoveWindow(row.value, x + width - kValueWidth, y, kValueWidth, kTextHeight, FALSE);
        MoveWindow(row.slider, x, y + kTextHeight, width, kSliderHeight, FALSE);
        y += kRowHeight;
    }
}

void ControlSliders::show_value(Row &row, const char *text)
{
    SetWindowTextA(row.value, text);
}

void ControlSliders::enable(Row &row, bool on)
{
    row.enabled = on;
    EnableWindow(row.label, on);
    EnableWindow(row.value, on);
    EnableWindow(row.slider, on);
}

void ControlSliders::disable()
{
    for (Row &row : rows_) {
        enable(row, false);
        show_value(row, "");
    }
}

void ControlSliders::load(ICQuiloVideoProcClass *proc, const host::ControlRanges &ranges, std::string &failure)
{
    for (int i = 0; i < host::kCameraControlCount; ++i) {
        const host::CameraControl &control = host::kCameraControls[i];
        Row &row = rows_[i];
        row.range = ranges[i];
        VARIANT_BOOL supported = VARIANT_FALSE;
        const HRESULT hr = (proc->*control.isSupported)(&supported);
        if (FAILED(hr) && failure.empty()) failure = host::failure_text(control.supportCall, hr);
        if (FAILED(hr) || !supported) {
            enable(row, false);
            show_value(row, "not supported");
            continue;
        }
        if (FAILED(row.range.result)) {
            if (failure.empty())
                failure = host::failure_text(std::string("reading the range of ") + control.name, row.range.result);
            enable(row, false);
            show_value(row, "no range");
            continue;
        }
        SendMessageA(row.slider, TBM_SETRANGEMIN, FALSE, row.range.min);
        SendMessageA(row.slider, TBM_SETRANGEMAX, FALSE, row.range.max);
        SendMessageA(row.slider, TBM_SETLINESIZE, 0, row.range.step);
        const long tenth = snap(row.range.min + (row.range.max - row.range.min) / 10, row.range) - row.range.min;
        SendMessageA(row.slider, TBM_SETPAGESIZE, 0, tenth > row.range.step ? tenth : row.range.step);
        SendMessageA(row.slider, TBM_SETPOS, TRUE, row.range.value);
        enable(row, true);
        show_value(row, std::to_string(row.range.value).c_str());
    }
}

bool ControlSliders::on_scroll(HWND trackbar, ICQuiloVideoProcClass *proc, std::string &failure)
{
    for (int i = 0; i < host::kCameraControlCount; ++i) {
        Row &row = rows_[i];
        if (row.slider != trackbar) continue;
        if (!row.enabled) return true;
        const long position = static_cast<long>(SendMessageA(row.slider, TBM_GETPOS, 0, 0));
        const long value = snap(position, row.range);
        if (value != position) SendMessageA(row.slider, TBM_SETPOS, TRUE, value);
        // A drag reports every position it passes and then its end: each value is set once.
        if (value == row.range.value) return true;
        const host::CameraControl &control = host::kCameraControls[i];
        const HRESULT hr = (proc->*control.set)(value);
        if (FAILED(hr)) {
            failure = host::failure_text(std::string(control.setCall) + "(" + std::to_string(value) + ")", hr);
            SendMessageA(row.slider, TBM_SETPOS, TRUE, row.range.value);
            return true;
        }
        row.range.value = value;
        show_value(row, std::to_string(value).c_str());
        return true;
    }
    return false;
}

} // namespace quilo::view
