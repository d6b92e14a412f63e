// The module's count of live kit objects, and the interface table every kit object answers
// QueryInterface from.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include "common/InterfaceTable.h"

namespace quilo::kit {

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
