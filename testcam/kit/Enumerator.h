// What the kit's enumerators share: reference count, position, argument checks and the
// Next/Skip/Reset/Clone bookkeeping. `Items` is a small value type that says what is enumerated
// and holds a reference to its owner (a clone gets a copy):
//   Interface, Item      the enumerator interface and what its Next hands out
//   iid()                the interface's IID
//   guarded(walk)        runs `walk` under whatever lock the items need, returning its result
//   has(index)           whether there is an item at `index`
//   get(index, item)     S_OK and a new item, S_FALSE past the end, or a failure
//   drop(item)           frees an item get() handed out
#pragma once

#include <windows.h>
#include <new>
#include <utility>

#include "common/HResult.h"
#include "testcam/kit/ComTable.h"

namespace quilo::kit {

template <class Items>
class Enumerator final : public Items::Interface
{
public:
    using Interface = typename Items::Interface;
    using Item = typename Items::Item;

    Enumerator(Items items, ULONG position) : items_(std::move(items)), position_(static_cast<LONG>(position)) {}
    Enumerator(const Enumerator &) = delete;
    Enumerator &operator=(const Enumerator &) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        return answer_query(iid, out, {{&IID_IUnknown, this}, {&Items::iid(), this}});
    }

    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }

    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG refs = InterlockedDecrement(&refs_);
        if (refs == 0) delete this;
        return refs;
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, Item *items, ULONG *fetched) override
    {
        if (fetched) *fetched = 0;
        RETURN_HR_IF_NULL(E_POINTER, items);
        RETURN_HR_IF(E_INVALIDARG, count > 1 && !fetched);
        return items_.guarded([&]() -> HRESULT {
            ULONG got = 0;
            while (got < count) {
                const HRESULT hr = items_.get(position(), items[got]);
                if (FAILED(hr)) {
                    while (got > 0) Items::drop(items[--got]);
                    return hr;
                }
                if (hr != S_OK) break;
                ++got;
                InterlockedIncrement(&position_);
            }
            if (fetched) *fetched = got;
            return got == count ? S_OK : S_FALSE;
        });
    }

    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override
    {
        return items_.guarded([&]() -> HRESULT {
            for (ULONG i = 0; i < count; ++i) {
                if (!items_.has(position())) return S_FALSE;
                InterlockedIncrement(&position_);
            }
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE Reset() override
    {
        InterlockedExchange(&position_, 0);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Clone(Interface **clone) override
    {
        RETURN_HR_IF_NULL(E_POINTER, clone);
        *clone = new (std::nothrow) Enumerator(items_, position());
        return *clone ? S_OK : E_OUTOFMEMORY;
    }

private:
    ~Enumerator() = default;

    ULONG position() const noexcept { return static_cast<ULONG>(position_); }

    LiveObject live_;
    volatile LONG refs_ = 1;
    const Items items_;
    volatile LONG position_;
};

} // namespace quilo::kit
