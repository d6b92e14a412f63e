// quilo-view's column of camera control sliders: one trackbar per control of kCameraControls,
// at the device's own range and step, whose moves are set through the component.
#pragma once

#include <windows.h>
#include <array>
#include <string>

#include "QuiloVideoClass.h"
#include "tools/ControlRanges.h"

namespace quilo::view {

class ControlSliders
{
public:
    // Creates the rows (name, value, trackbar) as children of `parent`, all disabled.
    void create(HWND parent);
    // The height of the column of rows.
    static int height();
    // Places the rows from (x, y) in a column `width` wide.
    void layout(int x, int y, int width);
    // After a device was opened: a control is enabled when the component says the device
    // supports it and the device gives its range; the trackbar then spans that range with its
    // step and stands at the current value. The first failure is described in `failure`.
    void load(ICQuiloVideoProcClass *proc, const host::ControlRanges &ranges, std::string &failure);
    void disable();
    // A trackbar moved (WM_HSCROLL); false when `trackbar` is none of these. The position is
    // snapped to the device's step and set through the component; when that fails the
    // trackbar goes back to the device's value and `failure` says why.
    bool on_scroll(HWND trackbar, ICQuiloVideoProcClass *proc, std::string &failure);

private:
    struct Row
    {
        HWND label = nullptr;
        HWND value = nullptr;
        HWND slider = nullptr;
        host::ControlRange range;
        bool enabled = false;
    };
    void show_value(Row &row, const char *text);
    void enable(Row &row, bool on);

    std::array<Row, host::kCameraControlCount> rows_;
};

} // namespace quilo::view
