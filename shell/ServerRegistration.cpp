#include "shell/ServerRegistration.h"

#include "common/HResult.h"
#include "shell/TypeLibRegistration.h"

namespace quilo::shell {

HRESULT update_categories(const ClassEntry &entry, bool) noexcept
{
    return entry.categoryCount == 0 ? S_OK : E_NOTIMPL;
}

HRESULT register_server(Module &m) noexcept
{
    for (ClassEntry *e = m.classes_begin(); e != m.classes_end(); ++e) {
        RETURN_IF_FAILED(e->updateRegistry(true));
        RETURN_IF_FAILED(update_categories(*e, true));
    }
    return register_type_library(m.instance());
}

HRESULT unregister_server(Module &m) noexcept
{
    for (ClassEntry *e = m.classes_begin(); e != m.classes_end(); ++e) {
        RETURN_IF_FAILED(update_categories(*e, false));
        RETURN_IF_FAILED(e->updateRegistry(false));
    }
    RETURN_IF_FAILED(unregister_type_library(m.instance()));
    return S_OK;
}

} // namespace quilo::shell
