// Interface lookup by a constant table, and the module's count of live kit objects.
#pragma once

#include <windows.h>
#include <unknwn.h>
#include <initializer_list>

namespace quilo::kit {

struct InterfaceEntry
{
    const IID *iid;   // null: the entry is switched off (an interface this object lacks)
    IUnknown *object; // the object's pointer for that interface
};

// Answers QueryInterface from a table walked in order: the out-pointer is nulled first, a hit
// is AddRef'd, the end of the table is E_NOINTERFACE.
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

// Every filter, pin, enumerator and page object of the module counts itself here, so that a
// host (or a test) can prove that it released everything, and DllCanUnloadNow can tell.
LONG live_objects() noexcept;
void object_created() noexcept;
void object_destroyed() noexcept;

// Member that counts its owner as a live object for exactly the owner's lifetime.
class LiveObject
{
public:
    LiveObject() noexcept { object_created(); }
    LiveObject(const LiveObject &) noexcept { object_created(); }
    LiveObject &operator=(const LiveObject &) noexcept { return *this; }
    ~LiveObject() { object_destroyed(); }
};

// Copies a wide string into CoTaskMemAlloc'd memory (QueryId, page titles).
HRESULT duplicate_string(const wchar_t *text, wchar_t **out) noexcept;

} // namespace quilo::kit
