#include "shell/Dispatch.h"

#include <oleauto.h>

#include "common/HResult.h"
#include "shell/AutomationError.h"

namespace quilo::shell {
namespace {

HRESULT check_argument_count(ITypeInfo *info, DISPID id, WORD flags, const DISPPARAMS *params)
{
    if (!params) return S_OK;
    TYPEATTR *attributes = nullptr;
    RETURN_IF_FAILED(info->GetTypeAttr(&attributes));
    const WORD functions = attributes->cFuncs;
    info->ReleaseTypeAttr(attributes);
    for (WORD i = 0; i < functions; ++i) {
        FUNCDESC *function = nullptr;
        if (FAILED(info->GetFuncDesc(i, &function))) continue;
        UINT takes = 0;
        const bool member = function->memid == id && (function->invkind & flags) != 0;
        for (SHORT p = 0; member && p < function->cParams; ++p)
            if (!(function->lprgelemdescParam[p].paramdesc.wParamFlags & PARAMFLAG_FRETVAL)) ++takes;
        info->ReleaseFuncDesc(function);
        if (member) return params->cArgs > takes ? DISP_E_BADPARAMCOUNT : S_OK;
    }
    return S_OK; // an unknown member is the platform's to refuse
}

} // namespace

HRESULT dispatch_ids(ITypeInfo *info, REFIID iid, LPOLESTR *names, UINT count, DISPID *ids)
{
    RETURN_HR_IF(DISP_E_UNKNOWNINTERFACE, !IsEqualIID(iid, IID_NULL));
    return DispGetIDsOfNames(info, names, count, ids);
}

HRESULT dispatch_invoke(IDispatch *self, ITypeInfo *info, DISPID id, REFIID iid, WORD flags, DISPPARAMS *params,
                        VARIANT *result, EXCEPINFO *exception, UINT *badArgument)
{
    RETURN_HR_IF(DISP_E_UNKNOWNINTERFACE, !IsEqualIID(iid, IID_NULL));
    clear_error();
    RETURN_IF_FAILED(check_argument_count(info, id, flags, params));
    return DispInvoke(self, info, id, flags, params, result, exception, badArgument);
}

} // namespace quilo::shell
