// The coclass type information behind IProvideClassInfo: loaded once from the registered type
// library, kept for the life of the module and released at shut-down.
#pragma once

#include <oaidl.h>

namespace quilo::shell {

// A new reference to the coclass's ITypeInfo; fails (out pointer null) while the type library
// is not registered, and tries again on the next call.
HRESULT get_class_type_info(ITypeInfo **ppTI) noexcept;

} // namespace quilo::shell
