#include "tools/ControlRanges.h"

#include "common/ComPtr.h"
#include "common/DeviceList.h"
#include "common/HResult.h"

namespace quilo::host {

HRESULT read_control_ranges(long position, ControlRanges &ranges)
{
    ranges = ControlRanges();
    ComPtr<IBaseFilter> device;
    RETURN_IF_FAILED(bind_video_device(position, device));
    ComPtr<IAMVideoProcAmp> amplifier;
    RETURN_IF_FAILED(device.query(IID_IAMVideoProcAmp, amplifier));
    RETURN_HR_IF(E_NOINTERFACE, !amplifier);

    for (int i = 0; i < kCameraControlCount; ++i) {
        ControlRange &range = ranges[i];
        const long property = kCameraControls[i].property;
        long defaultValue = 0, caps = 0, flags = 0;
        range.result = amplifier->GetRange(property, &range.min, &range.max, &range.step, &defaultValue, &caps);
        if (SUCCEEDED(range.result)) range.result = amplifier->Get(property, &range.value, &flags);
        // A step of 0 or less would make every position the minimum.
        if (SUCCEEDED(range.result) && (range.step <= 0 || range.max < range.min)) range.result = E_UNEXPECTED;
    }
    return S_OK;
}

} // namespace quilo::host
