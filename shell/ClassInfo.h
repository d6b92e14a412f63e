// IProvideClassInfo's answer: the coclass's type information from the registered type library.
#pragma once

#include <oaidl.h>

namespace quilo::shell {

// A new reference to the coclass's ITypeInfo, loaded once and kept for the module's life. Until
// the type library is registered it fails with the platform's result (out-pointer null) and the
// next call tries again.
HRESULT get_class_info(ITypeInfo **out) noexcept;

// The automation class's type information (its interface's or its coclass's, by GUID) from the
// library embedded in the module as TYPELIB 2: it needs no registration, so IDispatch works in
// a host that created the object from the module file directly.
HRESULT get_camera_type_info(REFGUID guid, ITypeInfo **out) noexcept;

} // namespace quilo::shell
