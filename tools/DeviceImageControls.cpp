#include "tools/DeviceImageControls.h"

#include "dshow/DeviceList.h"
#include "common/HResult.h"

namespace quilo::host {

HRESULT DeviceImageControls::bind(long position)
{
    release();
    RETURN_IF_FAILED(dshow::bind_video_device(position, filter_));
    // Each is optional: a webcam has no crossbar, a capture card often no camera control.
    ignore_result(filter_.query(IID_IAMVideoProcAmp, procAmp_), "absent: its properties read as unsupported");
    ignore_result(filter_.query(IID_IAMCameraControl, cameraControl_), "absent: its properties read as unsupported");
    ignore_result(filter_.query(IID_IAMCrossbar, crossbar_), "absent: the device has no inputs to choose");
    return S_OK;
}

void DeviceImageControls::release()
{
    crossbar_.reset();
    cameraControl_.reset();
    procAmp_.reset();
    filter_.reset();
}

HRESULT DeviceImageControls::read(const dshow::DeviceProperty &property, dshow::PropertyState &state) const
{
    return dshow::read_property(procAmp_.get(), cameraControl_.get(), property, state);
}

HRESULT DeviceImageControls::write(const dshow::DeviceProperty &property, LONG value, bool automatic) const
{
    return dshow::write_property(procAmp_.get(), cameraControl_.get(), property, value, automatic);
}

std::vector<DeviceImageControls::Input> DeviceImageControls::inputs() const
{
    std::vector<Input> named;
    std::vector<dshow::CrossbarInput> found;
    if (!crossbar_ || FAILED(dshow::list_video_inputs(crossbar_.get(), found))) return named;
    for (const dshow::CrossbarInput &input : found) {
        const wchar_t *name = dshow::video_input_name(input.physicalType);
        std::string text;
        for (const wchar_t *c = name ? name : L"Input"; *c; ++c) text += static_cast<char>(*c);
        if (!name) text += " " + std::to_string(input.index);
        named.push_back({input.index, text});
    }
    return named;
}

LONG DeviceImageControls::routedInput() const
{
    LONG input = -1;
    if (!crossbar_ || FAILED(dshow::routed_video_input(crossbar_.get(), input))) return -1;
    return input;
}

HRESULT DeviceImageControls::route(LONG input) const
{
    RETURN_HR_IF(E_NOINTERFACE, !crossbar_);
    return dshow::route_video_input(crossbar_.get(), input);
}

} // namespace quilo::host
