// IDispatch for the automation class, through its type library's description of the interface,
// with what the platform's DispInvoke leaves unchecked.
#pragma once

#include <oaidl.h>

namespace quilo::shell {

// GetIDsOfNames and Invoke as COM asks: DISP_E_UNKNOWNINTERFACE for an `iid` other than
// IID_NULL, DISP_E_BADPARAMCOUNT for more arguments than the member takes (DispInvoke drops the
// extra ones), the thread's error information cleared before the call.
HRESULT dispatch_ids(ITypeInfo *info, REFIID iid, LPOLESTR *names, UINT count, DISPID *ids);
HRESULT dispatch_invoke(IDispatch *self, ITypeInfo *info, DISPID id, REFIID iid, WORD flags, DISPPARAMS *params,
                        VARIANT *result, EXCEPINFO *exception, UINT *badArgument);

} // namespace quilo::shell
