// The component object CCQuiloVideoProc.
#pragma once

#include <unknwn.h>

namespace quilo::shell {

// A new object handing out `iid`: standalone when `outer` is null, otherwise the inner object
// of an aggregate (the class object lets only IID_IUnknown through with an outer object).
HRESULT create_video_proc(IUnknown *outer, REFIID iid, void **out) noexcept;

} // namespace quilo::shell
