#include "capture/Platform.h"

#include <olectl.h>

namespace quilo::capture {
namespace {

class SystemPlatform final : public Platform
{
public:
    HRESULT initializeCom() override { return CoInitialize(nullptr); }
    void uninitializeCom() override { CoUninitialize(); }

    HRESULT createInstance(REFCLSID clsid, DWORD context, REFIID iid, void **out) override
    {
        return CoCreateInstance(clsid, nullptr, context, iid, out);
    }

    void showMessage(const char *text) override
    {
        // Its one button says nothing: the caller goes on the same way however it is closed.
        static_cast<void>(MessageBoxA(nullptr, text, nullptr, MB_OK));
    }

    HRESULT showPropertyFrame(IUnknown *object, const CAUUID &pages) override
    {
        IUnknown *objects[] = {object};
        return OleCreatePropertyFrame(nullptr, 30, 30, nullptr, 1, objects, pages.cElems, pages.pElems, 0, 0, nullptr);
    }
};

} // namespace

Platform &system_platform()
{
    static SystemPlatform platform;
    return platform;
}

} // namespace quilo::capture
