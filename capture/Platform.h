// The engine's one door to the platform: every platform object it creates and every piece of
// UI it shows goes through here, so tests can put a double in its place.
#pragma once

#include <windows.h>
#include <ocidl.h>

namespace quilo::capture {

class Platform
{
public:
    virtual ~Platform() = default;

    // CoInitialize(nullptr) on the calling thread; CoUninitialize balances a successful one.
    virtual HRESULT initializeCom() = 0;
    virtual void uninitializeCom() = 0;
    // CoCreateInstance without an outer object.
    virtual HRESULT createInstance(REFCLSID clsid, DWORD context, REFIID iid, void **out) = 0;
    // Modal message box without owner or caption and with one button; returns when the user
    // closes it.
    virtual void showMessage(const char *text) = 0;
    // Modal property frame for one object; returns when the user closes it.
    virtual HRESULT showPropertyFrame(IUnknown *object, const CAUUID &pages) = 0;
};

// The real platform: COM, DirectShow and user32/oleaut32 of the running system.
Platform &system_platform();

} // namespace quilo::capture
