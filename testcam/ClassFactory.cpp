#include "testcam/ClassFactory.h"

#include "common/HResult.h"
#include "testcam/Module.h"
#include "testcam/kit/ComTable.h"

namespace quilo::testcam {

HRESULT STDMETHODCALLTYPE ClassFactory::QueryInterface(REFIID iid, void **out)
{
    return answer_query(iid, out, {{&IID_IUnknown, this}, {&IID_IClassFactory, this}});
}

HRESULT STDMETHODCALLTYPE ClassFactory::CreateInstance(IUnknown *outer, REFIID iid, void **out)
{
    RETURN_HR_IF_NULL(E_POINTER, out);
    *out = nullptr;
    RETURN_HR_IF(CLASS_E_NOAGGREGATION, outer != nullptr);
    return create_(iid, out);
}

HRESULT STDMETHODCALLTYPE ClassFactory::LockServer(BOOL lock)
{
    if (lock)
        lock_module();
    else
        unlock_module();
    return S_OK;
}

} // namespace quilo::testcam
