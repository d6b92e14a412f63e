#include "testcam/ClassFactory.h"

#include "common/ClassFactory.h"
#include "common/HResult.h"
#include "testcam/CameraFilter.h"
#include "testcam/CameraIds.h"
#include "testcam/CameraPage.h"
#include "testcam/Module.h"

namespace quilo::testcam {
namespace {

// Neither class can be aggregated.
HRESULT create_filter(IUnknown *outer, REFIID iid, void **out)
{
    return outer ? CLASS_E_NOAGGREGATION : CameraFilter::create(iid, out);
}

HRESULT create_page(IUnknown *outer, REFIID iid, void **out)
{
    return outer ? CLASS_E_NOAGGREGATION : CameraPage::create(iid, out);
}

ClassFactory g_filterFactory(create_filter, lock_module, unlock_module);
ClassFactory g_pageFactory(create_page, lock_module, unlock_module);

struct ClassEntry
{
    const CLSID *clsid;
    ClassFactory *factory;
};

const ClassEntry kClasses[] = {
    {&kClsidTestCamera, &g_filterFactory},
    {&kClsidTestCameraPage, &g_pageFactory},
};

} // namespace

HRESULT get_class_object(REFCLSID clsid, REFIID iid, void **out)
{
    RETURN_HR_IF_NULL(E_POINTER, out);
    *out = nullptr;
    for (const ClassEntry &entry : kClasses)
        if (IsEqualCLSID(clsid, *entry.clsid)) return entry.factory->QueryInterface(iid, out);
    return CLASS_E_CLASSNOTAVAILABLE;
}

} // namespace quilo::testcam
