// QueryInterface answered from a table walked in order, shared by every COM object of the
// module, the test camera and the tests' own filters.
#pragma once

#include <windows.h>
#include <unknwn.h>
#include <initializer_list>

namespace quilo {

struct InterfaceEntry
{
    const IID *iid;   // null: the entry is switched off (an interface this object lacks)
    IUnknown *object; // the object's pointer for that interface
};

// The out-pointer is nulled first; a hit is AddRef'd through the pointer found (so an
// aggregated object's interfaces count on its outer object); the end of the table is
// E_NOINTERFACE. IUnknown must be one of the rows, normally the first: that pointer is the
// object's identity.
inline HRESULT answer_query(REFIID iid, void **out, std::initializer_list<InterfaceEntry> table) noexcept
{
    if (!out) return E_POINTER;
    *out = nullptr;
    for (const InterfaceEntry &entry : table) {
        if (entry.iid && IsEqualIID(iid, *entry.iid)) {
            entry.object->AddRef();
            *out = entry.object;
            return S_OK;
        }
    }
    return E_NOINTERFACE;
}

} // namespace quilo
