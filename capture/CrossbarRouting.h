// Routing an analog crossbar's composite video input to its video decoder output.
#pragma once

#include <windows.h>
#include <strmif.h>

namespace quilo::capture {

// S_OK after routing, S_FALSE when the crossbar refuses the pair, or the failure of a
// crossbar query. The first composite input and the first video decoder output win; input 0
// and output 0 stand in when there is none.
HRESULT routeCrossbar(IAMCrossbar *crossbar);

} // namespace quilo::capture
