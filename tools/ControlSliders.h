// quilo-view's column of image controls: a row per property of the device's video processing
// amplifier and camera control (name with its default, value, trackbar at the device's range and
// step, and an "Auto" check box where the property has an automatic mode), and "Reset to
// defaults". The component's eight controls come first and always have a row (disabled when
// the device lacks one); the other properties have a row only when the device has them. The
// eight are set through the component, as any host of it does; the rest, and every automatic
// mode, through the device's own interfaces.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

#include "QuiloVideoClass.h"
#include "tools/CameraControlTable.h"
#include "tools/DeviceImageControls.h"

namespace quilo::view {

class ControlSliders
{
public:
    // Creates every row as children of `parent`, disabled; the rows beyond the eight hidden.
    void create(HWND parent);
    // The height of the rows shown, split over `columns` columns.
    int height(int columns) const;
    // Places the rows shown from (x, y) in `columns` columns, each `width` wide, `gap` apart.
    void layout(int x, int y, int width, int gap, int columns);
    // After a device was opened: each row takes the device's range, default, value and mode.
    // The first failure is described in `failure`.
    void load(ICQuiloVideoProcClass *proc, const host::DeviceImageControls &device, std::string &failure);
    void disable();
    // A trackbar moved (WM_HSCROLL); false when `trackbar` is none of these. The position is
    // snapped to the device's step and set; when that fails the trackbar goes back to the
    // device's value and `failure` says why. A property in automatic mode has its trackbar
    // disabled and is not set from it.
    bool on_scroll(HWND trackbar, ICQuiloVideoProcClass *proc, const host::DeviceImageControls &device,
                   std::string &failure);
    // An "Auto" box was clicked (WM_COMMAND); false when `id` is none of them. Ticked: the
    // device's automatic mode; cleared: manual at the value the device holds now.
    bool on_auto(int id, const host::DeviceImageControls &device, std::string &failure);
    // Every enabled row to its default value, manual. The number of controls set.
    int reset(ICQuiloVideoProcClass *proc, const host::DeviceImageControls &device, std::string &failure);

private:
    struct Row
    {
        const dshow::DeviceProperty *property = nullptr;
        const host::CameraControl *component = nullptr; // the component's methods, or none
        std::string title; // the name as shown
        HWND label = nullptr;
        HWND value = nullptr;
        HWND slider = nullptr;
        HWND autoBox = nullptr;
        dshow::PropertyState state;
        bool enabled = false;
        bool shown = false;
    };
    int rows_per_column(int columns) const;
    void enable(Row &row, bool on);
    void show(Row &row);
    HRESULT setValue(Row &row, long value, ICQuiloVideoProcClass *proc, const host::DeviceImageControls &device,
                     std::string &failure);

    std::vector<Row> rows_;
};

} // namespace quilo::view
