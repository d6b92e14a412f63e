// QueryInterface over a constant table of (interface identifier, pointer getter) rows, walked
// in order. IUnknown always answers with the first row: that pointer is the object's identity.
#pragma once

#include <unknwn.h>
#include <cstddef>
#include <new>

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

// Instance creation: a new object (count 0) hands out `riid`; when it cannot, nothing holds the
// object and it is destroyed through its own Release.
template <typename Object, typename Arg>
HRESULT create_and_query(Arg arg, REFIID riid, void **ppv) noexcept
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    auto *object = new (std::nothrow) Object(arg);
    if (!object) return E_OUTOFMEMORY;
    const HRESULT hr = object->QueryInterface(riid, ppv);
    if (hr != S_OK) {
        object->AddRef();
        object->Release();
    }
    return hr;
}

} // namespace quilo::shell
