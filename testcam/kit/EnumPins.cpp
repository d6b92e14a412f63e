#include "testcam/kit/EnumPins.h"

#include <new>

#include "common/HResult.h"
#include "testcam/kit/BaseFilter.h"

namespace quilo::kit {

PinEnumerator::PinEnumerator(BaseFilter &filter, ULONG position) : filter_(filter), position_(static_cast<LONG>(position))
{
    filter_.AddRef();
}

PinEnumerator::~PinEnumerator() { filter_.Release(); }

HRESULT STDMETHODCALLTYPE PinEnumerator::QueryInterface(REFIID iid, void **out)
{
    return answer_query(iid, out, {{&IID_IUnknown, this}, {&IID_IEnumPins, this}});
}

ULONG STDMETHODCALLTYPE PinEnumerator::AddRef() { return InterlockedIncrement(&refs_); }

ULONG STDMETHODCALLTYPE PinEnumerator::Release()
{
    const ULONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) delete this;
    return refs;
}

HRESULT STDMETHODCALLTYPE PinEnumerator::Next(ULONG count, IPin **pins, ULONG *fetched)
{
    if (fetched) *fetched = 0;
    RETURN_HR_IF_NULL(E_POINTER, pins);
    RETURN_HR_IF(E_INVALIDARG, count > 1 && !fetched);
    Lock lock(filter_.lock());
    ULONG got = 0;
    while (got < count && static_cast<ULONG>(position_) < filter_.pinCount()) {
        pins[got] = filter_.pin(static_cast<ULONG>(position_));
        pins[got]->AddRef();
        ++got;
        ++position_;
    }
    if (fetched) *fetched = got;
    return got == count ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE PinEnumerator::Skip(ULONG count)
{
    Lock lock(filter_.lock());
    const ULONG total = filter_.pinCount();
    const ULONG position = static_cast<ULONG>(position_);
    if (count > total - position) {
        position_ = static_cast<LONG>(total);
        return S_FALSE;
    }
    position_ = static_cast<LONG>(position + count);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PinEnumerator::Reset()
{
    position_ = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PinEnumerator::Clone(IEnumPins **clone)
{
    RETURN_HR_IF_NULL(E_POINTER, clone);
    *clone = new (std::nothrow) PinEnumerator(filter_, static_cast<ULONG>(position_));
    return *clone ? S_OK : E_OUTOFMEMORY;
}

} // namespace quilo::kit
