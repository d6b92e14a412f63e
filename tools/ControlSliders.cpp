#include "tools/ControlSliders.h"

#include <commctrl.h>

#include "common/HResult.h"
#include "common/Text.h"
#include "tools/ChildWindow.h"
#include "dshow/ErrorText.h"
#include "tools/ViewIds.h"

namespace quilo::view {
namespace {

constexpr int kTextHeight = 16;
constexpr int kSliderHeight = 26;
constexpr int kValueWidth = 56;
constexpr int kAutoWidth = 50;
constexpr int kRowHeight = kTextHeight + kSliderHeight + 4;

// The nearest value the device accepts: min plus a whole number of steps, within the range.
long snap(long position, const dshow::PropertyState &range)
{
    if (position <= range.minimum) return range.minimum;
    if (position >= range.maximum) return range.maximum;
    const long steps = (position - range.minimum + range.step / 2) / range.step;
    const long value = range.minimum + steps * range.step;
    return value > range.maximum ? value - range.step : value;
}

} // namespace

void ControlSliders::create(HWND parent)
{
    // The component's eight first, in its order, then the device's other properties.
    for (int pass = 0; pass < 2; ++pass) {
        for (const dshow::DeviceProperty &property : dshow::device_properties()) {
            const host::CameraControl *component = host::find_camera_control(property);
            if ((pass == 0) != (component != nullptr)) continue;
            Row row;
            row.property = &property;
            row.component = component;
            row.title = property.label;
            rows_.push_back(row);
        }
    }
    for (size_t i = 0; i < rows_.size(); ++i) {
        Row &row = rows_[i];
        const int n = static_cast<int>(i);
        row.label = make_child(parent, "STATIC", row.title.c_str(), SS_LEFT, kFirstSliderLabel + n);
        row.value = make_child(parent, "STATIC", "", SS_RIGHT, kFirstSliderValue + n);
        row.slider = make_child(parent, TRACKBAR_CLASSA, "", WS_TABSTOP | TBS_HORZ | TBS_NOTICKS, kFirstSlider + n);
        row.autoBox = make_child(parent, "BUTTON", "Auto", WS_TABSTOP | BS_AUTOCHECKBOX, kFirstAutoBox + n);
        row.shown = row.component != nullptr;
        enable(row, false);
    }
}

int ControlSliders::rows_per_column(int columns) const
{
    int shown = 0;
    for (const Row &row : rows_) shown += row.shown ? 1 : 0;
    return (shown + columns - 1) / columns;
}

int ControlSliders::height(int columns) const
{
    return rows_per_column(columns) * kRowHeight;
}

void ControlSliders::layout(int x, int y, int width, int gap, int columns)
{
    const int perColumn = rows_per_column(columns);
    int placed = 0;
    for (Row &row : rows_) {
        for (HWND part : {row.label, row.value, row.slider})
            ShowWindow(part, row.shown ? SW_SHOWNA : SW_HIDE);
        ShowWindow(row.autoBox, row.shown && row.enabled && row.state.canAuto ? SW_SHOWNA : SW_HIDE);
        if (!row.shown) continue;
        // Down the first column, then the next.
        const int left = x + placed / perColumn * (width + gap);
        const int top = y + placed % perColumn * kRowHeight;
        ++placed;
        MoveWindow(row.label, left, top, width - kValueWidth - kAutoWidth, kTextHeight, TRUE);
        MoveWindow(row.value, left + width - kValueWidth - kAutoWidth, top, kValueWidth, kTextHeight, TRUE);
        MoveWindow(row.autoBox, left + width - kAutoWidth + 6, top, kAutoWidth - 6, kTextHeight, TRUE);
        MoveWindow(row.slider, left, top + kTextHeight, width, kSliderHeight, TRUE);
    }
}

void ControlSliders::enable(Row &row, bool on)
{
    row.enabled = on;
    EnableWindow(row.label, on);
    EnableWindow(row.value, on);
    // The device moves an automatic property itself: the slider only shows where it is.
    EnableWindow(row.slider, on && !row.state.isAuto);
    EnableWindow(row.autoBox, on && row.state.canAuto);
}

// The row as the device's state says: value, position, mode, and the default in the name.
void ControlSliders::show(Row &row)
{
    const dshow::PropertyState &s = row.state;
    SetWindowTextA(row.label, (row.title + " (default " + std::to_string(s.defaultValue) + ")").c_str());
    SetWindowTextA(row.value, std::to_string(s.value).c_str());
    SendMessageA(row.slider, TBM_SETPOS, TRUE, s.value);
    SendMessageA(row.autoBox, BM_SETCHECK, s.isAuto ? BST_CHECKED : BST_UNCHECKED, 0);
    EnableWindow(row.slider, row.enabled && !s.isAuto);
}

void ControlSliders::disable()
{
    for (Row &row : rows_) {
        row.state = dshow::PropertyState();
        enable(row, false);
        row.shown = row.component != nullptr;
        SetWindowTextA(row.label, row.title.c_str());
        SetWindowTextA(row.value, "");
    }
}

void ControlSliders::load(ICQuiloVideoProcClass *proc, const host::DeviceImageControls &device, std::string &failure)
{
    for (Row &row : rows_) {
        row.state = dshow::PropertyState();
        if (row.component) {
            VARIANT_BOOL supported = VARIANT_FALSE;
            const HRESULT hr = (proc->*row.component->isSupported)(&supported);
            if (FAILED(hr) && failure.empty()) failure = dshow::failure_text(row.component->supportCall, hr);
            if (FAILED(hr) || !supported) {
                enable(row, false);
                SetWindowTextA(row.value, "not supported");
                continue;
            }
        }
        const HRESULT hr = device.read(*row.property, row.state);
        // A step of 0 or less would make every position the minimum.
        const bool usable = SUCCEEDED(hr) && row.state.step > 0 && row.state.maximum >= row.state.minimum;
        if (!row.component) {
            row.shown = usable; // a property of the device's, or no row at all
            if (!usable) continue;
        } else if (!usable) {
            if (failure.empty())
                failure = dshow::failure_text(std::string("reading the range of ") + row.property->option,
                                             FAILED(hr) ? hr : E_UNEXPECTED);
            row.state = dshow::PropertyState();
            enable(row, false);
            SetWindowTextA(row.value, "no range");
            continue;
        }
        SendMessageA(row.slider, TBM_SETRANGEMIN, FALSE, row.state.minimum);
        SendMessageA(row.slider, TBM_SETRANGEMAX, FALSE, row.state.maximum);
        SendMessageA(row.slider, TBM_SETLINESIZE, 0, row.state.step);
        const long tenth =
            snap(row.state.minimum + (row.state.maximum - row.state.minimum) / 10, row.state) - row.state.minimum;
        SendMessageA(row.slider, TBM_SETPAGESIZE, 0, tenth > row.state.step ? tenth : row.state.step);
        // A trackbar places its thumb when its position changes, not when its range does: a
        // value equal to the old position (0, where a range starts below zero) would be drawn
        // where it lay in the old range. Moved off it here, show() puts it back in place.
        const long elsewhere = row.state.value == row.state.minimum ? row.state.maximum : row.state.minimum;
        SendMessageA(row.slider, TBM_SETPOS, FALSE, elsewhere);
        enable(row, true);
        show(row);
    }
}

HRESULT ControlSliders::setValue(Row &row, long value, ICQuiloVideoProcClass *proc,
                                 const host::DeviceImageControls &device, std::string &failure)
{
    const HRESULT hr = row.component ? (proc->*row.component->set)(value) : device.write(*row.property, value, false);
    if (FAILED(hr)) {
        const std::string call = row.component ? row.component->setCall : "Set " + narrow(row.property->name);
        failure = dshow::failure_text(call + "(" + std::to_string(value) + ")", hr);
    }
    // What the device holds now, whatever the answer: a value makes the property manual.
    dshow::PropertyState now;
    if (SUCCEEDED(device.read(*row.property, now))) row.state = now;
    else if (SUCCEEDED(hr)) row.state.value = value;
    // The component sets without a mode; a device that stays automatic after that is told.
    if (SUCCEEDED(hr) && row.component && row.state.isAuto) {
        const HRESULT manual = device.write(*row.property, value, false);
        if (FAILED(manual)) failure = dshow::failure_text("Manual " + narrow(row.property->name), manual);
        if (SUCCEEDED(device.read(*row.property, now))) row.state = now;
        show(row);
        return manual;
    }
    show(row);
    return hr;
}

bool ControlSliders::on_scroll(HWND trackbar, ICQuiloVideoProcClass *proc, const host::DeviceImageControls &device,
                               std::string &failure)
{
    for (Row &row : rows_) {
        if (row.slider != trackbar) continue;
        // Disabled while automatic, but a keyboard or a program can still move it.
        if (!row.enabled || row.state.isAuto) {
            SendMessageA(row.slider, TBM_SETPOS, TRUE, row.state.value);
            return true;
        }
        const long position = static_cast<long>(SendMessageA(row.slider, TBM_GETPOS, 0, 0));
        const long value = snap(position, row.state);
        if (value != position) SendMessageA(row.slider, TBM_SETPOS, TRUE, value);
        // A drag reports every position it passes and then its end: each value is set once.
        if (value == row.state.value) return true;
        ignore_result(setValue(row, value, proc, device, failure), "the failure is in `failure`, the row shows the device's value");
        return true;
    }
    return false;
}

bool ControlSliders::on_auto(int id, const host::DeviceImageControls &device, std::string &failure)
{
    const int index = id - kFirstAutoBox;
    if (index < 0 || index >= static_cast<int>(rows_.size())) return false;
    Row &row = rows_[static_cast<size_t>(index)];
    if (!row.enabled) return true;
    const bool automatic = SendMessageA(row.autoBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
    // Manual from where the automatic mode brought it, not from what the row showed earlier.
    dshow::PropertyState before;
    const LONG value = !automatic && SUCCEEDED(device.read(*row.property, before)) ? before.value : row.state.value;
    const HRESULT hr = device.write(*row.property, value, automatic);
    if (FAILED(hr))
        failure = dshow::failure_text(std::string(automatic ? "Automatic " : "Manual ") + narrow(row.property->name), hr);
    dshow::PropertyState now;
    if (SUCCEEDED(device.read(*row.property, now))) row.state = now;
    show(row);
    return true;
}

int ControlSliders::reset(ICQuiloVideoProcClass *proc, const host::DeviceImageControls &device, std::string &failure)
{
    int done = 0;
    for (Row &row : rows_) {
        if (!row.enabled) continue;
        if (SUCCEEDED(setValue(row, row.state.defaultValue, proc, device, failure))) ++done;
    }
    return done;
}

} // namespace quilo::view
