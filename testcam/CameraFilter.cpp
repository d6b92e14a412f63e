#include "testcam/CameraFilter.h"

#include <oleauto.h>
#include <vfwmsgs.h>
#include <new>
#include <string>

#include "common/HResult.h"
#include "common/Variant.h"
#include "common/Text.h"
#include "testcam/CameraIds.h"
#include "testcam/Pattern.h"

namespace quilo::testcam {
namespace {

// One value of the device's property bag, converted to the type the option needs.
HRESULT read_bag_value(IPropertyBag *bag, const char *name, bool isText, std::string &text, DWORD &number)
{
    UniqueVariant value;
    RETURN_IF_FAILED(bag->Read(widen(name).c_str(), value.get(), nullptr));
    RETURN_IF_FAILED(VariantChangeType(value.get(), value.get(), 0, isText ? VT_BSTR : VT_I4));
    if (isText)
        text = narrow(V_BSTR(value.get()));
    else
        number = static_cast<DWORD>(V_I4(value.get()));
    return S_OK;
}

} // namespace

HRESULT CameraFilter::create(REFIID iid, void **out)
{
    RETURN_HR_IF_NULL(E_POINTER, out);
    *out = nullptr;
    auto *filter = new (std::nothrow) CameraFilter();
    RETURN_HR_IF_NULL(E_OUTOFMEMORY, filter);
    const HRESULT hr = filter->QueryInterface(iid, out);
    filter->Release();
    return hr;
}

CameraFilter::CameraFilter()
    : BaseFilter(kClsidTestCamera, AM_FILTER_MISC_FLAGS_IS_SOURCE, true), pin_(*this), stillPin_(*this)
{
    apply(options_);
}

CameraFilter::~CameraFilter()
{
    // A host may release a filter that still runs; the stream must end before the pin goes.
    Lock lock(this->lock());
    pin_.stopStreaming();
}

void CameraFilter::apply(const DeviceOptions &options)
{
    options_ = options;
    const DeviceState *state = state_.get();
    procAmp_.configure({options.procAmp, options.ranges, options.refuseSet}, state);
    cameraControl_.controls().configure({options.cameraControl, options.ranges, options.refuseSet}, state);
    crossbar_.configure({options.crossbarInputs, options.crossbarOutputs, options.crossbarFail, options.crossbarRefuse},
                        state);
    decoder_.configure({options.standard, options.decoderFail, options.decoderSFalse}, state);
    CapturePin::MarkPainter marks;
    if (options.marks) marks = [this](BYTE *pixels, LONG width, LONG height) { paintMarks(pixels, width, height); };
    pin_.configure(options, state, std::move(marks));
    stillPin_.configure(options);
}

void CameraFilter::paintMarks(BYTE *pixels, LONG width, LONG height) const
{
    PictureMarks marks;
    if (options_.hasCrossbar()) marks.videoSource = crossbar_.videoSource();
    for (long p = 0; p < kCameraControlPropertyCount; ++p) {
        long value = 0, flags = 0;
        if (FAILED(cameraControl_.controls().get(p, &value, &flags))) continue; // a property the device lacks
        marks.controls[p] = {true, value, (flags & CameraControl_Flags_Auto) != 0};
    }
    paint_marks(pixels, width, height, marks);
}

IPin *CameraFilter::pin(ULONG index) const
{
    if (options_.stillPinFirst) return index == 0 ? static_cast<IPin *>(&stillPin_) : index == 1 ? &pin_ : nullptr;
    return index == 0 ? &pin_ : nullptr;
}

HRESULT CameraFilter::queryExtra(REFIID iid, void **out)
{
    // What a device has depends on its options: no video processing amplifier with
    // --procamp none, a camera control only with --camctl, a crossbar and decoder only with
    // --crossbar. No lock: downstream filters
    // ask while the filter is stopping, and the options are fixed before anything streams.
    const bool analog = options_.hasCrossbar();
    return answer_query(iid, out, {
        {&IID_IPersistPropertyBag, static_cast<IPersistPropertyBag *>(this)},
        {procAmp_.present() ? &IID_IAMVideoProcAmp : nullptr, static_cast<IAMVideoProcAmp *>(this)},
        {cameraControl_.controls().present() ? &IID_IAMCameraControl : nullptr, &cameraControl_},
        {analog ? &IID_IAMCrossbar : nullptr, static_cast<IAMCrossbar *>(this)},
        {analog ? &IID_IAMAnalogVideoDecoder : nullptr, static_cast<IAMAnalogVideoDecoder *>(this)},
    });
}

HRESULT STDMETHODCALLTYPE CameraFilter::InitNew() { return S_OK; }

HRESULT STDMETHODCALLTYPE CameraFilter::Load(IPropertyBag *bag, IErrorLog *)
{
    RETURN_HR_IF_NULL(E_POINTER, bag);
    Lock lock(this->lock());
    // Options are a device's identity: they are read once, before anything is connected.
    RETURN_HR_IF(E_UNEXPECTED, loaded_ || state() != State_Stopped);
    DeviceOptions options;
    RETURN_IF_FAILED(read_option_values(
        [bag](const char *name, bool isText, std::string &text, DWORD &number) {
            return read_bag_value(bag, name, isText, text, number);
        },
        options));
    // The entry is still listed, but the hardware behind it is gone: the bind fails with the
    // driver's own result and nothing of the device is taken on.
    RETURN_HR_IF(HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED), options.unplugged);
    std::string name;
    DWORD unused = 0;
    if (SUCCEEDED(read_bag_value(bag, kDeviceNameValue, true, name, unused)) && !name.empty())
        state_ = std::make_unique<DeviceState>(name);
    loaded_ = true;
    apply(options);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CameraFilter::Save(IPropertyBag *, BOOL, BOOL) { return E_NOTIMPL; }

HRESULT CameraFilter::onStopToPause() { return pin_.startStreaming(); }

HRESULT CameraFilter::onPauseToRun(REFERENCE_TIME start)
{
    pin_.runStreaming(start);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CameraFilter::Pause()
{
    bool starting;
    {
        Lock lock(this->lock());
        starting = state() == State_Stopped;
    }
    const HRESULT hr = BaseFilter::Pause();
    // --run-fails: the first half of the graph's Run (stopped to paused) starts the stream and
    // then reports a failure, leaving the device paused with its stream started until a Stop.
    // This half, since the platform may run the second half on a thread of its own and keep its
    // result from the host (Wine 8 keeps this one too: a renderer's S_FALSE comes first).
    if (SUCCEEDED(hr) && starting && options_.runFails) return static_cast<HRESULT>(options_.abortError);
    return hr;
}

void CameraFilter::onRunToPause() { pin_.pauseStreaming(); }

void CameraFilter::onToStop() { pin_.stopStreaming(); }

void CameraFilter::onStateCall(FILTER_STATE requested)
{
    if (!state_) return;
    const char *value = requested == State_Running ? record::kRuns
                        : requested == State_Paused ? record::kPauses
                                                    : record::kStops;
    state_->count(value);
}

HRESULT STDMETHODCALLTYPE CameraFilter::GetRange(LONG property, LONG *min, LONG *max, LONG *step,
                                                 LONG *defaultValue, LONG *caps)
{
    return procAmp_.getRange(property, min, max, step, defaultValue, caps);
}

HRESULT STDMETHODCALLTYPE CameraFilter::Set(LONG property, LONG value, LONG flags)
{
    return procAmp_.set(property, value, flags);
}

HRESULT STDMETHODCALLTYPE CameraFilter::Get(LONG property, LONG *value, LONG *flags)
{
    return procAmp_.get(property, value, flags);
}

HRESULT STDMETHODCALLTYPE CameraFilter::get_PinCounts(LONG *outputs, LONG *inputs)
{
    return crossbar_.pinCounts(outputs, inputs);
}

HRESULT STDMETHODCALLTYPE CameraFilter::CanRoute(LONG output, LONG input) { return crossbar_.canRoute(output, input); }
HRESULT STDMETHODCALLTYPE CameraFilter::Route(LONG output, LONG input) { return crossbar_.route(output, input); }

HRESULT STDMETHODCALLTYPE CameraFilter::get_IsRoutedTo(LONG output, LONG *input)
{
    return crossbar_.routedTo(output, input);
}

HRESULT STDMETHODCALLTYPE CameraFilter::get_CrossbarPinInfo(BOOL isInput, LONG index, LONG *related, LONG *type)
{
    return crossbar_.pinInfo(isInput, index, related, type);
}

HRESULT STDMETHODCALLTYPE CameraFilter::get_AvailableTVFormats(LONG *standards)
{
    return decoder_.availableFormats(standards);
}

HRESULT STDMETHODCALLTYPE CameraFilter::put_TVFormat(LONG standard) { return decoder_.setFormat(standard); }
HRESULT STDMETHODCALLTYPE CameraFilter::get_TVFormat(LONG *standard) { return decoder_.format(standard); }
HRESULT STDMETHODCALLTYPE CameraFilter::get_HorizontalLocked(LONG *locked) { return decoder_.horizontalLocked(locked); }
HRESULT STDMETHODCALLTYPE CameraFilter::put_VCRHorizontalLocking(LONG locking) { return decoder_.setVcrLocking(locking); }
HRESULT STDMETHODCALLTYPE CameraFilter::get_VCRHorizontalLocking(LONG *locking) { return decoder_.vcrLocking(locking); }
HRESULT STDMETHODCALLTYPE CameraFilter::get_NumberOfLines(LONG *lines) { return decoder_.numberOfLines(lines); }
HRESULT STDMETHODCALLTYPE CameraFilter::put_OutputEnable(LONG enable) { return decoder_.setOutputEnable(enable); }
HRESULT STDMETHODCALLTYPE CameraFilter::get_OutputEnable(LONG *enable) { return decoder_.outputEnable(enable); }

} // namespace quilo::testcam
