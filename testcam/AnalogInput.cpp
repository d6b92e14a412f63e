#include "testcam/AnalogInput.h"

#include <strmif.h>
#include <vfwmsgs.h>
#include <cstdio>
#include <string>

#include "common/HResult.h"
#include "testcam/DeviceRegistry.h"

namespace quilo::testcam {
namespace {

// Audio connectors are numbered from 0x1000; a route never mixes audio and video.
bool is_audio(long type) { return type >= PhysConn_Audio_Tuner; }

// Every standard an analog decoder of this kind can lock to.
constexpr long kAvailableStandards = AnalogVideo_NTSC_Mask | AnalogVideo_PAL_Mask | AnalogVideo_SECAM_Mask;
// 525-line standards; the others have 625 lines.
constexpr long k525Lines = AnalogVideo_NTSC_M | AnalogVideo_NTSC_M_J | AnalogVideo_NTSC_433 | AnalogVideo_PAL_M |
                           AnalogVideo_PAL_60;

} // namespace

void Crossbar::configure(const Setup &setup, const DeviceState *state)
{
    Lock lock(lock_);
    setup_ = setup;
    state_ = state;
    // Each output starts routed to the first input of its kind, as a card comes up.
    routing_.assign(setup_.outputs.size(), -1);
    for (size_t out = 0; out < setup_.outputs.size(); ++out) {
        for (size_t in = 0; in < setup_.inputs.size(); ++in) {
            if (is_audio(setup_.inputs[in]) == is_audio(setup_.outputs[out])) {
                routing_[out] = static_cast<long>(in);
                break;
            }
        }
    }
}

HRESULT Crossbar::pinCounts(long *outputs, long *inputs) const
{
    RETURN_HR_IF(E_POINTER, !outputs || !inputs);
    Lock lock(lock_);
    *outputs = static_cast<long>(setup_.outputs.size());
    *inputs = static_cast<long>(setup_.inputs.size());
    return S_OK;
}

HRESULT Crossbar::check(long output, long input) const
{
    RETURN_HR_IF(E_INVALIDARG, output < 0 || output >= static_cast<long>(setup_.outputs.size()));
    RETURN_HR_IF(E_INVALIDARG, input < 0 || input >= static_cast<long>(setup_.inputs.size()));
    RETURN_HR_IF(S_FALSE, setup_.refuseRoutes);
    RETURN_HR_IF(S_FALSE, is_audio(setup_.inputs[input]) != is_audio(setup_.outputs[output]));
    return S_OK;
}

HRESULT Crossbar::canRoute(long output, long input) const
{
    Lock lock(lock_);
    if (state_) state_->count(record::kCanRouteCalls);
    return check(output, input);
}

HRESULT Crossbar::route(long output, long input)
{
    Lock lock(lock_);
    if (state_) state_->append(record::kRoutes, std::to_string(output) + ":" + std::to_string(input));
    const HRESULT hr = check(output, input);
    RETURN_IF_FAILED(hr);
    RETURN_HR_IF(VFW_E_CANNOT_CONNECT, hr != S_OK);
    refresh();
    routing_[static_cast<size_t>(output)] = input;
    if (state_) state_->storeRouting(routing_);
    return S_OK;
}

void Crossbar::refresh() const
{
    if (state_) state_->loadRouting(routing_);
}

long Crossbar::videoSource() const
{
    Lock lock(lock_);
    refresh();
    long output = -1;
    for (size_t out = 0; out < setup_.outputs.size() && output < 0; ++out)
        if (setup_.outputs[out] == PhysConn_Video_VideoDecoder) output = static_cast<long>(out);
    for (size_t out = 0; out < setup_.outputs.size() && output < 0; ++out)
        if (!is_audio(setup_.outputs[out])) output = static_cast<long>(out);
    if (output < 0) return 0;
    const long input = routing_[static_cast<size_t>(output)];
    return input >= 0 ? setup_.inputs[static_cast<size_t>(input)] : 0;
}

HRESULT Crossbar::routedTo(long output, long *input) const
{
    RETURN_HR_IF_NULL(E_POINTER, input);
    Lock lock(lock_);
    RETURN_HR_IF(E_INVALIDARG, output < 0 || output >= static_cast<long>(routing_.size()));
    refresh();
    *input = routing_[static_cast<size_t>(output)];
    return S_OK;
}

HRESULT Crossbar::pinInfo(BOOL isInput, long index, long *related, long *type) const
{
    RETURN_HR_IF(E_POINTER, !related || !type);
    Lock lock(lock_);
    RETURN_HR_IF(E_FAIL, setup_.failPinInfo);
    const std::vector<long> &pins = isInput ? setup_.inputs : setup_.outputs;
    RETURN_HR_IF(E_INVALIDARG, index < 0 || index >= static_cast<long>(pins.size()));
    *type = pins[static_cast<size_t>(index)];
    // No audio pin belongs to a video connector here.
    *related = -1;
    return S_OK;
}

void VideoDecoder::configure(const Setup &setup, const DeviceState *state)
{
    Lock lock(lock_);
    setup_ = setup;
    state_ = state;
}

HRESULT VideoDecoder::availableFormats(long *standards) const
{
    RETURN_HR_IF_NULL(E_POINTER, standards);
    *standards = kAvailableStandards;
    return S_OK;
}

HRESULT VideoDecoder::setFormat(long standard)
{
    Lock lock(lock_);
    if (state_) {
        char entry[16];
        std::snprintf(entry, sizeof(entry), "0x%lX", static_cast<unsigned long>(standard));
        state_->append(record::kVideoStandardSets, entry);
    }
    // Exactly one standard the decoder knows.
    const bool single = standard != 0 && (standard & (standard - 1)) == 0;
    RETURN_HR_IF(E_INVALIDARG, !single || (standard & kAvailableStandards) == 0);
    setup_.standard = standard;
    return setup_.answerSFalse ? S_FALSE : S_OK;
}

HRESULT VideoDecoder::format(long *standard) const
{
    RETURN_HR_IF_NULL(E_POINTER, standard);
    Lock lock(lock_);
    RETURN_HR_IF(E_FAIL, setup_.failGet);
    *standard = setup_.standard;
    return S_OK;
}

HRESULT VideoDecoder::horizontalLocked(long *locked) const
{
    RETURN_HR_IF_NULL(E_POINTER, locked);
    *locked = 1;
    return S_OK;
}

HRESULT VideoDecoder::setVcrLocking(long locking)
{
    Lock lock(lock_);
    vcrLocking_ = locking ? 1 : 0;
    return S_OK;
}

HRESULT VideoDecoder::vcrLocking(long *locking) const
{
    RETURN_HR_IF_NULL(E_POINTER, locking);
    Lock lock(lock_);
    *locking = vcrLocking_;
    return S_OK;
}

HRESULT VideoDecoder::numberOfLines(long *lines) const
{
    RETURN_HR_IF_NULL(E_POINTER, lines);
    Lock lock(lock_);
    *lines = (setup_.standard & k525Lines) ? 525 : 625;
    return S_OK;
}

HRESULT VideoDecoder::setOutputEnable(long enable)
{
    Lock lock(lock_);
    outputEnable_ = enable ? 1 : 0;
    return S_OK;
}

HRESULT VideoDecoder::outputEnable(long *enable) const
{
    RETURN_HR_IF_NULL(E_POINTER, enable);
    Lock lock(lock_);
    *enable = outputEnable_;
    return S_OK;
}

} // namespace quilo::testcam
