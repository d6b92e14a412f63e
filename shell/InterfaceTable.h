// QueryInterface over a constant table of (interface identifier, pointer getter) rows, walked
// in order. IUnknown always answers with the first row: that pointer is the object's identity.
#pragma once

#include <unknwn.h>
#include <cstddef>

namespace quilo::shell {

template <typename Object>
struct InterfaceEntry
{
    const IID *iid;
    IUnknown *(*get)(Object *self);
};

template <typename Object, std::size_t N>
HRESULT query_interface_table(Object *self, const InterfaceEntry<Object> (&table)[N], REFIID riid, void **ppv)
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    IUnknown *found = nullptr;
    if (IsEqualIID(riid, IID_IUnknown)) {
        found = table[0].get(self);
    } else {
        for (const auto &row : table) {
            if (IsEqualIID(riid, *row.iid)) {
                found = row.get(self);
                break;
            }
        }
    }
    if (!found) return E_NOINTERFACE;
    // Through the pointer itself: an aggregated object's interfaces count on the outer object.
    found->AddRef();
    *ppv = found;
    return S_OK;
}

} // namespace quilo::shell
