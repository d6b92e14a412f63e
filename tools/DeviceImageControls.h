// The open device's own image controls and crossbar, on a second binding of the device by
// position: every property of its IAMVideoProcAmp and IAMCameraControl with range, default and
// automatic mode, and its video inputs. Camera and card hardware (and the test camera) keep this
// state per device, so the stream the component runs follows what is set here.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <string>
#include <vector>

#include "common/ComPtr.h"
#include "dshow/CrossbarRouting.h"
#include "dshow/DeviceProperties.h"

namespace quilo::host {

class DeviceImageControls
{
public:
    // Binds the device; an interface it lacks is simply absent. COM must be initialised.
    HRESULT bind(long position);
    void release();

    HRESULT read(const dshow::DeviceProperty &property, dshow::PropertyState &state) const;
    HRESULT write(const dshow::DeviceProperty &property, LONG value, bool automatic) const;

    // The crossbar's video inputs by name, and the one routed to the decoder (-1: none); empty
    // without a crossbar on the device's own filter.
    struct Input
    {
        LONG index;
        std::string name;
    };
    std::vector<Input> inputs() const;
    LONG routedInput() const;
    HRESULT route(LONG input) const;

private:
    ComPtr<IBaseFilter> filter_;
    ComPtr<IAMVideoProcAmp> procAmp_;
    ComPtr<IAMCameraControl> cameraControl_;
    ComPtr<IAMCrossbar> crossbar_;
};

} // namespace quilo::host
