// An analog crossbar: its video inputs by connector name, which one reaches the video decoder,
// and routing one there (composite when a capture session opens).
#pragma once

#include <windows.h>
#include <strmif.h>
#include <vector>

namespace quilo::dshow {

// S_OK after routing, S_FALSE when the crossbar refuses the pair, or the failure of a
// crossbar query. The first composite input and the first video decoder output win; input 0
// and output 0 stand in when there is none.
HRESULT routeCrossbar(IAMCrossbar *crossbar);

// The crossbar's video inputs (connectors below the audio ones), by index and physical type.
struct CrossbarInput
{
    LONG index;
    LONG physicalType;
};
HRESULT list_video_inputs(IAMCrossbar *crossbar, std::vector<CrossbarInput> &inputs);
// "Composite", "S-Video", "Tuner", …; null for a type that is no video input.
const wchar_t *video_input_name(LONG physicalType);
// The input routed to the video decoder's output (else the first video output): its index, or
// -1 when none is.
HRESULT routed_video_input(IAMCrossbar *crossbar, LONG &input);
// Routes `input` to the video decoder's output (else the first video output); the crossbar's
// refusal as its failure, VFW_E_NOT_FOUND without any video output.
HRESULT route_video_input(IAMCrossbar *crossbar, LONG input);

} // namespace quilo::dshow
