#include "capture/CameraSession.h"

#include <vfwmsgs.h>
#include <wincodec.h>
#include <cstdio>
#include <cstring>

#include "capture/DecoderStandard.h"
#include "common/HResult.h"
#include "common/ImageFiles.h"
#include "dshow/CrossbarRouting.h"
#include "dshow/ErrorText.h"
#include "dshow/PinSearch.h"
#include "dshow/VideoFormat.h"

namespace quilo::capture {
namespace {

using State = dshow::PropertyState;

std::wstring quoted(const std::wstring &text) { return L"'" + text + L"'"; }

std::wstring number_text(double value)
{
    char text[32];
    const int length = snprintf(text, sizeof(text), "%g", value);
    return std::wstring(text, text + (length > 0 ? length : 0));
}

std::wstring ascii(const char *text) { return std::wstring(text, text + strlen(text)); }

// "a, b, c", or "none".
template <class List, class Name> std::wstring listed(const List &items, Name name)
{
    std::wstring text;
    for (const auto &item : items) text += (text.empty() ? L"" : L", ") + name(item);
    return text.empty() ? L"none" : text;
}

std::wstring device_names(const std::vector<dshow::VideoDevice> &devices)
{
    return listed(devices, [](const dshow::VideoDevice &d) { return quoted(d.wideName); });
}

std::wstring format_text(const dshow::StreamFormat &format)
{
    std::wstring rate = number_text(format.maxRate);
    if (format.minRate != format.maxRate) rate = number_text(format.minRate) + L"-" + rate;
    return std::to_wstring(format.width) + L"x" + std::to_wstring(format.height) + L" " +
           dshow::subtype_name(format.subtype) + L" at " + rate + L" fps";
}

std::wstring input_name(const dshow::CrossbarInput &input)
{
    const wchar_t *name = dshow::video_input_name(input.physicalType);
    return name ? name : L"Input " + std::to_wstring(input.index);
}

std::wstring range_text(const State &state)
{
    return L"values from " + std::to_wstring(state.minimum) + L" to " + std::to_wstring(state.maximum) +
           L" in steps of " + std::to_wstring(state.step);
}

// "0x80070002, The system cannot find the file specified." for a sentence's parenthesis.
std::wstring described(HRESULT hr) { return dshow::describe_hresult(hr); }

bool same_choice(const Choice &a, const Choice &b)
{
    return a.byText == b.byText && (a.byText ? a.text == b.text : a.index == b.index);
}

} // namespace

CameraSession::CameraSession(Platform &platform) noexcept : platform_(platform), context_(platform) {}

// Devices.

Outcome CameraSession::listDevices(std::vector<dshow::VideoDevice> &devices)
{
    ComPtr<ICreateDevEnum> enumerator;
    HRESULT hr = platform_.createInstance(CLSID_SystemDeviceEnum, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                          enumerator.put_void());
    if (SUCCEEDED(hr)) hr = dshow::list_video_devices(enumerator.get(), devices);
    if (FAILED(hr)) return {hr, L"the video input devices cannot be listed (" + described(hr) + L")"};
    return S_OK;
}

Outcome CameraSession::deviceAt(LONG position, dshow::VideoDevice &device)
{
    std::vector<dshow::VideoDevice> devices;
    RETURN_IF_OUTCOME_FAILED(listDevices(devices));
    if (position < 0 || static_cast<size_t>(position) >= devices.size())
        return {E_INVALIDARG, L"no video input device is at position " + std::to_wstring(position) + L"; devices: " +
                                  device_names(devices)};
    device = devices[static_cast<size_t>(position)];
    return S_OK;
}

Outcome CameraSession::deviceCount(LONG &count)
{
    std::vector<dshow::VideoDevice> devices;
    RETURN_IF_OUTCOME_FAILED(listDevices(devices));
    count = static_cast<LONG>(devices.size());
    return S_OK;
}

Outcome CameraSession::deviceName(LONG position, std::wstring &name)
{
    dshow::VideoDevice device;
    RETURN_IF_OUTCOME_FAILED(deviceAt(position, device));
    name = device.wideName;
    return S_OK;
}

Outcome CameraSession::devicePath(LONG position, std::wstring &path)
{
    dshow::VideoDevice device;
    RETURN_IF_OUTCOME_FAILED(deviceAt(position, device));
    path = device.path;
    return S_OK;
}

// A position, an exact friendly name (names first), or a device path (any case); the device
// found keeps its moniker, which is what gets bound.
Outcome CameraSession::resolve(const Choice &which, dshow::VideoDevice &device)
{
    if (!which.byText) return deviceAt(which.index, device);
    // A name cut at a NUL would open another device.
    if (which.text.find(L'\0') != std::wstring::npos)
        return {E_INVALIDARG, L"a device name or path cannot hold a NUL character"};
    std::vector<dshow::VideoDevice> devices;
    RETURN_IF_OUTCOME_FAILED(listDevices(devices));
    std::vector<const dshow::VideoDevice *> named;
    for (const auto &d : devices)
        if (d.hasName && d.wideName == which.text) named.push_back(&d);
    if (named.size() > 1)
        return {E_INVALIDARG, L"more than one video input device is named " + quoted(which.text) + L" (positions " +
                                  listed(named, [](const dshow::VideoDevice *d) { return std::to_wstring(d->position); }) +
                                  L"); open one by its position or its device path"};
    if (named.size() == 1) {
        device = *named.front();
        return S_OK;
    }
    for (const auto &d : devices)
        if (!d.path.empty() && lstrcmpiW(d.path.c_str(), which.text.c_str()) == 0) {
            device = d;
            return S_OK;
        }
    return {E_INVALIDARG, L"no video input device is named " + quoted(which.text) + L"; devices: " +
                              device_names(devices)};
}

// Formats.

Outcome CameraSession::readFormats(const dshow::VideoDevice &device, std::vector<dshow::StreamFormat> &formats)
{
    ComPtr<IBaseFilter> filter;
    HRESULT hr = dshow::bind_moniker(device.moniker.get(), filter);
    if (SUCCEEDED(hr)) hr = dshow::list_stream_formats(dshow::findCapturePin(filter.get()).get(), formats);
    if (FAILED(hr))
        return {hr, L"the formats of " + quoted(device.wideName) + L" cannot be read (" + described(hr) + L")"};
    return S_OK;
}

Outcome CameraSession::cachedFormats(const Choice &which, bool fresh)
{
    // A loop over one device's formats names the device the same way each time: it is found
    // once, by the count, and its formats are read from the device once.
    if (!fresh && haveFormats_ && same_choice(which, formatsOf_)) return S_OK;
    haveFormats_ = false;
    dshow::VideoDevice device;
    RETURN_IF_OUTCOME_FAILED(resolve(which, device));
    RETURN_IF_OUTCOME_FAILED(readFormats(device, formats_));
    formatsOf_ = which;
    haveFormats_ = true;
    return S_OK;
}

Outcome CameraSession::formatCount(const Choice &device, LONG &count)
{
    RETURN_IF_OUTCOME_FAILED(cachedFormats(device, /*fresh=*/true));
    count = static_cast<LONG>(formats_.size());
    return S_OK;
}

Outcome CameraSession::format(const Choice &device, LONG index, dshow::StreamFormat &format)
{
    RETURN_IF_OUTCOME_FAILED(cachedFormats(device, /*fresh=*/false));
    if (index < 0 || static_cast<size_t>(index) >= formats_.size())
        return {E_INVALIDARG, L"there is no format " + std::to_wstring(index) + L"; the device offers " +
                                  std::to_wstring(formats_.size()) + L" (0 to " +
                                  std::to_wstring(static_cast<long>(formats_.size()) - 1) + L")"};
    format = formats_[static_cast<size_t>(index)];
    return S_OK;
}

// The open device.

Outcome CameraSession::open(const Choice &which, LONG width, LONG height, double frameRate)
{
    close();
    dshow::VideoDevice device;
    RETURN_IF_OUTCOME_FAILED(resolve(which, device));
    if ((width != 0 || height != 0 || frameRate != 0) &&
        (width < 1 || height < 1 || width > dshow::kMaxFrameSide || height > dshow::kMaxFrameSide ||
         !(frameRate >= 0) || frameRate > 1000))
        return {E_INVALIDARG, L"a format needs a width and a height of 1 to " + std::to_wstring(dshow::kMaxFrameSide) +
                                  L" pixels, and a frame rate of 0 (the format's own) to 1000 frames per second; "
                                  L"asked for " +
                                  std::to_wstring(width) + L"x" + std::to_wstring(height) + L" at " +
                                  number_text(frameRate) + L" fps"};
    OpenPolicy policy;
    policy.moniker = device.moniker.get();
    policy.pin = OpenPolicy::Pin::CaptureCategory;
    policy.needProcAmp = false; // a device opens whatever controls it has
    policy.format = OpenPolicy::Format::Choose;
    policy.width = width;
    policy.height = height;
    policy.frameRate = frameRate;
    policy.flip = true;
    policy.initializeCom = false;
    policy.start = true;
    const HRESULT hr = context_.open(policy);
    if (FAILED(hr)) return openFailed(hr, device, width, height, frameRate);
    open_ = true;
    device_ = device;
    return S_OK;
}

Outcome CameraSession::openFailed(HRESULT hr, const dshow::VideoDevice &device, LONG width, LONG height, double rate)
{
    const std::wstring name = quoted(device.wideName);
    if (hr != VFW_E_INVALIDMEDIATYPE || width == 0)
        return {hr, L"opening " + name + L" failed (" + described(hr) + L")"};
    std::wstring asked = std::to_wstring(width) + L"x" + std::to_wstring(height);
    if (rate > 0) asked += L" at " + number_text(rate) + L" fps";
    std::vector<dshow::StreamFormat> formats;
    std::wstring offered;
    if (!readFormats(device, formats).failed())
        for (const auto &f : formats) offered += (offered.empty() ? L"" : L", ") + format_text(f);
    return {hr, name + L" does not offer " + asked + L"; it offers " +
                    (offered.empty() ? std::wstring(L"no format it lists") : offered)};
}

void CameraSession::close()
{
    context_.close();
    open_ = false;
    device_ = dshow::VideoDevice();
}

Outcome CameraSession::needOpen() const
{
    return open_ ? Outcome() : Outcome(VFW_E_WRONG_STATE, L"no device is open; call Open first");
}

Outcome CameraSession::name(std::wstring &name) const
{
    RETURN_IF_OUTCOME_FAILED(needOpen());
    name = device_.wideName;
    return S_OK;
}

Outcome CameraSession::path(std::wstring &path) const
{
    RETURN_IF_OUTCOME_FAILED(needOpen());
    path = device_.path;
    return S_OK;
}

// Frames.

Outcome CameraSession::grab(LONG timeoutMs)
{
    RETURN_IF_OUTCOME_FAILED(needOpen());
    // 0 could never see a frame arrive after the call; the upper bound keeps a typo from
    // blocking the host for weeks.
    if (timeoutMs < 1 || static_cast<unsigned long>(timeoutMs) > kMaxGrabTimeoutMs)
        return {E_INVALIDARG, L"the time-out must be 1 to " + std::to_wstring(kMaxGrabTimeoutMs) +
                                  L" milliseconds (24 hours), not " + std::to_wstring(timeoutMs) +
                                  L"; leave it out for " + std::to_wstring(kDefaultGrabTimeoutMs)};
    const HRESULT hr = context_.grab(static_cast<DWORD>(timeoutMs), frame_, stamp_);
    if (hr == VFW_E_TIMEOUT)
        return {hr, L"no frame arrived from " + quoted(device_.wideName) + L" within " + std::to_wstring(timeoutMs) +
                        L" ms"};
    if (FAILED(hr))
        return {hr, L"grabbing a frame from " + quoted(device_.wideName) + L" failed (" + described(hr) + L")"};
    return S_OK;
}

Outcome CameraSession::needFrame() const
{
    return frame_.pixels.data() ? Outcome() : Outcome(VFW_E_WRONG_STATE, L"there is no frame yet; call Grab first");
}

Outcome CameraSession::pixel(LONG x, LONG y, LONG &rgb) const
{
    RETURN_IF_OUTCOME_FAILED(needFrame());
    if (x < 0 || y < 0 || x >= frame_.width || y >= frame_.height)
        return {E_INVALIDARG, L"pixel (" + std::to_wstring(x) + L", " + std::to_wstring(y) + L") is outside the " +
                                  std::to_wstring(frame_.width) + L"x" + std::to_wstring(frame_.height) + L" frame"};
    const unsigned char *p = frame_.pixels.data() + (static_cast<size_t>(y) * frame_.width + x) * 3;
    rgb = (static_cast<LONG>(p[2]) << 16) | (static_cast<LONG>(p[1]) << 8) | p[0];
    return S_OK;
}

Outcome CameraSession::saveFrame(const std::wstring &path) const
{
    RETURN_IF_OUTCOME_FAILED(needFrame());
    // Cut at a NUL, the name would be another file's.
    if (path.find(L'\0') != std::wstring::npos) return {E_INVALIDARG, L"a file name cannot hold a NUL character"};
    if (!is_image_file_name(path))
        return {E_INVALIDARG, L"cannot save the frame as " + quoted(path) +
                                  L": the file name must end in .png, .bmp, .jpg or .jpeg"};
    FrameView view;
    view.pixels = frame_.pixels.data();
    view.width = frame_.width;
    view.height = frame_.height;
    view.stride = static_cast<long>(frame_.width) * 3;
    view.topRowFirst = true;
    // The platform's imaging factory, like every object the engine creates.
    ComPtr<IWICImagingFactory> factory;
    HRESULT hr = platform_.createInstance(CLSID_WICImagingFactory, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                          factory.put_void());
    if (SUCCEEDED(hr)) hr = write_image_file(path, view, factory.get());
    if (FAILED(hr)) return {hr, L"saving the frame as " + quoted(path) + L" failed (" + described(hr) + L")"};
    return S_OK;
}

// Controls.

std::vector<const dshow::DeviceProperty *> CameraSession::supportedControls()
{
    std::vector<const dshow::DeviceProperty *> supported;
    for (const auto &property : dshow::device_properties()) {
        State state;
        if (SUCCEEDED(dshow::read_property(context_.procAmp(), context_.cameraControl(), property, state)))
            supported.push_back(&property);
    }
    return supported;
}

Outcome CameraSession::controlCount(LONG &count)
{
    RETURN_IF_OUTCOME_FAILED(needOpen());
    count = static_cast<LONG>(supportedControls().size());
    return S_OK;
}

Outcome CameraSession::controlName(LONG index, std::wstring &name)
{
    RETURN_IF_OUTCOME_FAILED(needOpen());
    const auto supported = supportedControls();
    if (index < 0 || static_cast<size_t>(index) >= supported.size())
        return {E_INVALIDARG, L"there is no control " + std::to_wstring(index) + L"; " + quoted(device_.wideName) +
                                  L" has " + std::to_wstring(supported.size())};
    name = supported[static_cast<size_t>(index)]->name;
    return S_OK;
}

Outcome CameraSession::readControl(const std::wstring &name, const dshow::DeviceProperty *&property, State &state)
{
    RETURN_IF_OUTCOME_FAILED(needOpen());
    property = dshow::find_device_property(name.c_str());
    if (!property)
        return {E_INVALIDARG, L"there is no control named " + quoted(name) + L"; controls: " +
                                  listed(dshow::device_properties(),
                                         [](const dshow::DeviceProperty &p) { return std::wstring(p.name); })};
    const HRESULT hr = dshow::read_property(context_.procAmp(), context_.cameraControl(), *property, state);
    if (FAILED(hr))
        return {hr, quoted(device_.wideName) + L" has no " + property->name + L" control; it has " +
                        listed(supportedControls(), [](const dshow::DeviceProperty *p) { return std::wstring(p->name); })};
    return S_OK;
}

Outcome CameraSession::control(const std::wstring &name, State &state)
{
    const dshow::DeviceProperty *property = nullptr;
    return readControl(name, property, state);
}

Outcome CameraSession::setControl(const std::wstring &name, LONG value)
{
    const dshow::DeviceProperty *property = nullptr;
    State state;
    RETURN_IF_OUTCOME_FAILED(readControl(name, property, state));
    const bool stepped = state.step <= 0 || (static_cast<long long>(value) - state.minimum) % state.step == 0;
    if (value < state.minimum || value > state.maximum || !stepped)
        return {E_INVALIDARG, std::wstring(property->name) + L" takes " + range_text(state) + L"; " +
                                  std::to_wstring(value) + L" is not one of them"};
    const HRESULT hr = dshow::write_property(context_.procAmp(), context_.cameraControl(), *property, value, false);
    if (FAILED(hr))
        return {hr, quoted(device_.wideName) + L" refused " + property->name + L" = " + std::to_wstring(value) + L" (" +
                        described(hr) + L")"};
    return S_OK;
}

Outcome CameraSession::setControlAuto(const std::wstring &name)
{
    const dshow::DeviceProperty *property = nullptr;
    State state;
    RETURN_IF_OUTCOME_FAILED(readControl(name, property, state));
    if (!state.canAuto) return {E_INVALIDARG, quoted(device_.wideName) + L" has no automatic mode for " + property->name};
    const HRESULT hr =
        dshow::write_property(context_.procAmp(), context_.cameraControl(), *property, state.value, true);
    if (FAILED(hr))
        return {hr, quoted(device_.wideName) + L" refused automatic " + property->name + L" (" + described(hr) + L")"};
    return S_OK;
}

// Analog capture hardware.

Outcome CameraSession::readInputs(std::vector<dshow::CrossbarInput> &inputs, bool needCrossbar)
{
    inputs.clear();
    RETURN_IF_OUTCOME_FAILED(needOpen());
    if (!context_.crossbar()) {
        if (!needCrossbar) return S_OK;
        return {E_NOINTERFACE, quoted(device_.wideName) + L" has no crossbar: it has no inputs to choose"};
    }
    const HRESULT hr = dshow::list_video_inputs(context_.crossbar(), inputs);
    if (FAILED(hr)) return {hr, L"the crossbar's inputs cannot be read (" + described(hr) + L")"};
    return S_OK;
}

Outcome CameraSession::inputCount(LONG &count)
{
    std::vector<dshow::CrossbarInput> inputs;
    RETURN_IF_OUTCOME_FAILED(readInputs(inputs, /*needCrossbar=*/false));
    count = static_cast<LONG>(inputs.size());
    return S_OK;
}

Outcome CameraSession::inputName(LONG index, std::wstring &name)
{
    std::vector<dshow::CrossbarInput> inputs;
    RETURN_IF_OUTCOME_FAILED(readInputs(inputs, true));
    if (index < 0 || static_cast<size_t>(index) >= inputs.size())
        return {E_INVALIDARG, L"there is no video input " + std::to_wstring(index) + L"; inputs: " +
                                  listed(inputs, input_name)};
    name = input_name(inputs[static_cast<size_t>(index)]);
    return S_OK;
}

Outcome CameraSession::input(std::wstring &name)
{
    std::vector<dshow::CrossbarInput> inputs;
    RETURN_IF_OUTCOME_FAILED(readInputs(inputs, true));
    LONG routed = -1;
    const HRESULT hr = dshow::routed_video_input(context_.crossbar(), routed);
    if (FAILED(hr)) return {hr, L"the crossbar's routing cannot be read (" + described(hr) + L")"};
    name.clear();
    for (const auto &input : inputs)
        if (input.index == routed) name = input_name(input);
    return S_OK;
}

Outcome CameraSession::selectInput(const Choice &which)
{
    std::vector<dshow::CrossbarInput> inputs;
    RETURN_IF_OUTCOME_FAILED(readInputs(inputs, true));
    const dshow::CrossbarInput *chosen = nullptr;
    if (which.byText) {
        for (const auto &input : inputs)
            if (lstrcmpiW(input_name(input).c_str(), which.text.c_str()) == 0) chosen = &input;
    } else if (which.index >= 0 && static_cast<size_t>(which.index) < inputs.size()) {
        chosen = &inputs[static_cast<size_t>(which.index)];
    }
    if (!chosen)
        return {E_INVALIDARG, quoted(device_.wideName) + L" has no such video input; inputs: " +
                                  listed(inputs, input_name)};
    const HRESULT hr = dshow::route_video_input(context_.crossbar(), chosen->index);
    if (FAILED(hr))
        return {hr, L"the crossbar refused to route " + input_name(*chosen) + L" (" + described(hr) + L")"};
    return S_OK;
}

Outcome CameraSession::readStandards(std::vector<const char *> &names, bool needDecoder)
{
    names.clear();
    RETURN_IF_OUTCOME_FAILED(needOpen());
    if (!context_.videoDecoder()) {
        if (!needDecoder) return S_OK;
        return {E_NOINTERFACE, quoted(device_.wideName) + L" has no analog video decoder"};
    }
    const HRESULT hr = available_video_standards(context_.videoDecoder(), names);
    if (FAILED(hr)) return {hr, L"the decoder's standards cannot be read (" + described(hr) + L")"};
    return S_OK;
}

Outcome CameraSession::standardCount(LONG &count)
{
    std::vector<const char *> names;
    RETURN_IF_OUTCOME_FAILED(readStandards(names, /*needDecoder=*/false));
    count = static_cast<LONG>(names.size());
    return S_OK;
}

Outcome CameraSession::standardName(LONG index, std::wstring &name)
{
    std::vector<const char *> names;
    RETURN_IF_OUTCOME_FAILED(readStandards(names, true));
    if (index < 0 || static_cast<size_t>(index) >= names.size())
        return {E_INVALIDARG, L"there is no standard " + std::to_wstring(index) + L"; standards: " +
                                  listed(names, ascii)};
    name = ascii(names[static_cast<size_t>(index)]);
    return S_OK;
}

Outcome CameraSession::standard(std::wstring &name)
{
    std::vector<const char *> names;
    RETURN_IF_OUTCOME_FAILED(readStandards(names, true));
    unsigned char text[11] = {};
    const HRESULT hr = get_video_standard(context_.videoDecoder(), text);
    if (FAILED(hr)) return {hr, L"the decoder's standard cannot be read (" + described(hr) + L")"};
    name = ascii(reinterpret_cast<const char *>(text));
    return S_OK;
}

Outcome CameraSession::setStandard(const std::wstring &wanted)
{
    std::vector<const char *> names;
    RETURN_IF_OUTCOME_FAILED(readStandards(names, true));
    for (const char *offered : names) {
        if (ascii(offered) != wanted) continue;
        const HRESULT hr = set_video_standard(context_.videoDecoder(), reinterpret_cast<const unsigned char *>(offered));
        if (FAILED(hr)) return {hr, L"the decoder refused " + wanted + L" (" + described(hr) + L")"};
        return S_OK;
    }
    return {E_INVALIDARG, quoted(device_.wideName) + L" does not offer the standard " + quoted(wanted) +
                              L"; standards: " + listed(names, ascii)};
}

} // namespace quilo::capture
