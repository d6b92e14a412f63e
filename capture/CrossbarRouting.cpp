#include "capture/CrossbarRouting.h"

#include "common/HResult.h"

namespace quilo::capture {
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

} // namespace quilo::capture
