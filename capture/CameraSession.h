// What QuiloVideo.Camera does, in plain C++ over a capture context and the platform: devices
// found once and bound by their moniker, formats kept per device, controls by name with their
// range checks, a capture card's inputs and standards, and the last frame, packed and top row
// first. Every failure comes back with its sentence; the COM class only marshals.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

#include "capture/CaptureContext.h"
#include "capture/FrameStamp.h"
#include "capture/Outcome.h"
#include "capture/Platform.h"
#include "dshow/CrossbarRouting.h"
#include "dshow/DeviceList.h"
#include "dshow/DeviceProperties.h"
#include "dshow/StreamFormats.h"
#include "frame/FrameDelivery.h"

namespace quilo::capture {

// A device, input or other item as a host names it: by its position (index), or by a text (a
// device's exact name or path, an input's name).
struct Choice
{
    bool byText = false;
    LONG index = 0;
    std::wstring text;
};

class CameraSession
{
public:
    explicit CameraSession(Platform &platform = system_platform()) noexcept;
    CameraSession(const CameraSession &) = delete;
    CameraSession &operator=(const CameraSession &) = delete;

    // The video input devices, in the platform's order.
    Outcome deviceCount(LONG &count);
    Outcome deviceName(LONG position, std::wstring &name);
    Outcome devicePath(LONG position, std::wstring &path);

    // A device's formats, read afresh by formatCount and kept for the reads of single formats
    // that follow it for the same device.
    Outcome formatCount(const Choice &device, LONG &count);
    Outcome format(const Choice &device, LONG index, dshow::StreamFormat &format);

    // Opens the device (a size and rate are optional: 0), no dialog, frames top row first. What
    // was open is closed first.
    Outcome open(const Choice &device, LONG width, LONG height, double frameRate);
    // Nothing of the device is held afterwards; the last frame stays.
    void close();
    bool isOpen() const noexcept { return open_; }
    Outcome name(std::wstring &name) const;
    Outcome path(std::wstring &path) const;

    // Waits 1 ms to 24 hours for a frame that arrives after the call began.
    Outcome grab(LONG timeoutMs);
    // The last frame: VFW_E_WRONG_STATE before the first Grab.
    Outcome needFrame() const;
    const frame::PackedFrame &frame() const noexcept { return frame_; }
    const FrameStamp &stamp() const noexcept { return stamp_; }
    // One pixel as 0xRRGGBB, y from the top.
    Outcome pixel(LONG x, LONG y, LONG &rgb) const;
    // PNG, BMP or JPEG by the extension.
    Outcome saveFrame(const std::wstring &path) const;

    // The open device's image and camera controls by name (any case).
    Outcome controlCount(LONG &count);
    Outcome controlName(LONG index, std::wstring &name);
    Outcome control(const std::wstring &name, dshow::PropertyState &state);
    Outcome setControl(const std::wstring &name, LONG value);
    Outcome setControlAuto(const std::wstring &name);

    // A capture card's crossbar inputs (none without a crossbar) and its decoder's standards
    // (none without a decoder).
    Outcome inputCount(LONG &count);
    Outcome inputName(LONG index, std::wstring &name);
    Outcome input(std::wstring &name);
    Outcome selectInput(const Choice &input);
    Outcome standardCount(LONG &count);
    Outcome standardName(LONG index, std::wstring &name);
    Outcome standard(std::wstring &name);
    Outcome setStandard(const std::wstring &name);

private:
    Outcome listDevices(std::vector<dshow::VideoDevice> &devices);
    Outcome deviceAt(LONG position, dshow::VideoDevice &device);
    Outcome resolve(const Choice &which, dshow::VideoDevice &device);
    Outcome readFormats(const dshow::VideoDevice &device, std::vector<dshow::StreamFormat> &formats);
    Outcome cachedFormats(const Choice &which, bool fresh);
    Outcome openFailed(HRESULT hr, const dshow::VideoDevice &device, LONG width, LONG height, double rate);
    Outcome needOpen() const;
    std::vector<const dshow::DeviceProperty *> supportedControls();
    Outcome readControl(const std::wstring &name, const dshow::DeviceProperty *&property,
                        dshow::PropertyState &state);
    Outcome readInputs(std::vector<dshow::CrossbarInput> &inputs, bool needCrossbar);
    Outcome readStandards(std::vector<const char *> &names, bool needDecoder);

    Platform &platform_;
    CaptureContext context_;
    bool open_ = false;
    dshow::VideoDevice device_;
    // The formats last read, and the device they belong to as the host named it.
    bool haveFormats_ = false;
    Choice formatsOf_;
    std::vector<dshow::StreamFormat> formats_;
    frame::PackedFrame frame_;
    FrameStamp stamp_;
};

} // namespace quilo::capture
