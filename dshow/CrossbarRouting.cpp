#include "dshow/CrossbarRouting.h"

#include <vfwmsgs.h>

#include "common/HResult.h"

namespace quilo::dshow {
namespace {

// Index of the first pin on one side with the given physical type, or 0.
HRESULT find_pin(IAMCrossbar *crossbar, BOOL isInput, LONG count, LONG physicalType, LONG &index)
{
    index = 0;
    for (LONG i = 0; i < count; ++i) {
        LONG related = 0, type = 0;
        RETURN_IF_FAILED(crossbar->get_CrossbarPinInfo(isInput, i, &related, &type));
        if (type == physicalType) {
            index = i;
            break;
        }
    }
    return S_OK;
}

// The output whose routing the picture follows: the video decoder's pin, else the first video
// output (a card without a decoder pin feeds its encoder or a plain video output). An audio
// output is never it, even when it comes first.
HRESULT find_video_output(IAMCrossbar *crossbar, LONG count, LONG &index)
{
    index = -1;
    for (LONG i = 0; i < count; ++i) {
        LONG related = 0, type = 0;
        RETURN_IF_FAILED(crossbar->get_CrossbarPinInfo(FALSE, i, &related, &type));
        if (type == PhysConn_Video_VideoDecoder) {
            index = i;
            return S_OK;
        }
        if (index < 0 && type < PhysConn_Audio_Tuner) index = i;
    }
    return index < 0 ? VFW_E_NOT_FOUND : S_OK;
}

} // namespace

HRESULT routeCrossbar(IAMCrossbar *crossbar)
{
    RETURN_HR_IF(E_POINTER, !crossbar);
    LONG outputs = 0, inputs = 0;
    RETURN_IF_FAILED(crossbar->get_PinCounts(&outputs, &inputs));
    LONG input = 0, output = 0;
    RETURN_IF_FAILED(find_pin(crossbar, TRUE, inputs, PhysConn_Video_Composite, input));
    RETURN_IF_FAILED(find_pin(crossbar, FALSE, outputs, PhysConn_Video_VideoDecoder, output));
    if (crossbar->CanRoute(output, input) != S_OK) return S_FALSE;
    ignore_result(crossbar->Route(output, input),
                  "a pair the crossbar says it can route is taken as routed; capture goes on either way");
    return S_OK;
}

HRESULT list_video_inputs(IAMCrossbar *crossbar, std::vector<CrossbarInput> &inputs)
{
    inputs.clear();
    RETURN_HR_IF(E_POINTER, !crossbar);
    LONG outputs = 0, count = 0;
    RETURN_IF_FAILED(crossbar->get_PinCounts(&outputs, &count));
    for (LONG i = 0; i < count; ++i) {
        LONG related = 0, type = 0;
        RETURN_IF_FAILED(crossbar->get_CrossbarPinInfo(TRUE, i, &related, &type));
        if (type < PhysConn_Audio_Tuner) inputs.push_back({i, type});
    }
    return S_OK;
}

const wchar_t *video_input_name(LONG physicalType)
{
    switch (physicalType) {
    case PhysConn_Video_Tuner: return L"Tuner";
    case PhysConn_Video_Composite: return L"Composite";
    case PhysConn_Video_SVideo: return L"S-Video";
    case PhysConn_Video_RGB: return L"RGB";
    case PhysConn_Video_YRYBY: return L"YRYBY";
    case PhysConn_Video_SerialDigital: return L"Serial Digital";
    case PhysConn_Video_ParallelDigital: return L"Parallel Digital";
    case PhysConn_Video_SCSI: return L"SCSI";
    case PhysConn_Video_AUX: return L"AUX";
    case PhysConn_Video_1394: return L"1394";
    case PhysConn_Video_USB: return L"USB";
    case PhysConn_Video_SCART: return L"SCART";
    case PhysConn_Video_Black: return L"Black";
    default: return nullptr;
    }
}

HRESULT routed_video_input(IAMCrossbar *crossbar, LONG &input)
{
    input = -1;
    RETURN_HR_IF(E_POINTER, !crossbar);
    LONG outputs = 0, inputs = 0, output = 0;
    RETURN_IF_FAILED(crossbar->get_PinCounts(&outputs, &inputs));
    RETURN_IF_FAILED(find_video_output(crossbar, outputs, output));
    LONG routed = -1;
    // S_FALSE or a failure: nothing is routed there.
    if (crossbar->get_IsRoutedTo(output, &routed) == S_OK) input = routed;
    return S_OK;
}

HRESULT route_video_input(IAMCrossbar *crossbar, LONG input)
{
    RETURN_HR_IF(E_POINTER, !crossbar);
    LONG outputs = 0, inputs = 0, output = 0;
    RETURN_IF_FAILED(crossbar->get_PinCounts(&outputs, &inputs));
    RETURN_IF_FAILED(find_video_output(crossbar, outputs, output));
    const HRESULT can = crossbar->CanRoute(output, input);
    RETURN_IF_FAILED(can);
    RETURN_HR_IF(E_INVALIDARG, can != S_OK);
    return crossbar->Route(output, input);
}

} // namespace quilo::dshow
