// The calling thread's COM apartment for the scope: single-threaded, as a window's thread and
// a console host need.
#pragma once

#include <objbase.h>

namespace quilo::host {

class ComApartment
{
public:
    ComApartment() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment()
    {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    ComApartment(const ComApartment &) = delete;
    ComApartment &operator=(const ComApartment &) = delete;
    HRESULT result() const { return hr_; }

private:
    HRESULT hr_;
};

} // namespace quilo::host
