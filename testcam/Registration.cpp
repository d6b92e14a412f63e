#include <windows.h>
#include <string>

#include "common/Handle.h"
#include "common/HResult.h"
#include "testcam/CameraIds.h"
#include "testcam/DeviceRegistry.h"
#include "testcam/Module.h"

namespace quilo::testcam {
namespace {

struct ClassKey
{
    const char *clsid;
    const char *description;
};

const ClassKey kClassKeys[] = {
    {kClsidTestCameraText, "Quilo Test Camera"},
    {kClsidTestCameraPageText, "Quilo Test Camera Property Page"},
};

HRESULT set_text(HKEY key, const char *name, const std::string &text)
{
    return hresult_from_win32(static_cast<unsigned long>(RegSetValueExA(
        key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()), static_cast<DWORD>(text.size() + 1))));
}

HRESULT create_key(HKEY parent, const std::string &path, UniqueHkey &key)
{
    return hresult_from_win32(static_cast<unsigned long>(
        RegCreateKeyExA(parent, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr)));
}

} // namespace

HRESULT register_server()
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(module_instance(), path, MAX_PATH);
    RETURN_HR_IF(HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE), length == 0 || length >= MAX_PATH);
    for (const ClassKey &entry : kClassKeys) {
        UniqueHkey classKey, serverKey;
        RETURN_IF_FAILED(create_key(HKEY_CLASSES_ROOT, std::string("CLSID\\") + entry.clsid, classKey));
        RETURN_IF_FAILED(set_text(classKey.get(), nullptr, entry.description));
        RETURN_IF_FAILED(create_key(classKey.get(), "InprocServer32", serverKey));
        RETURN_IF_FAILED(set_text(serverKey.get(), nullptr, path));
        RETURN_IF_FAILED(set_text(serverKey.get(), "ThreadingModel", "Both"));
    }
    return S_OK;
}

HRESULT unregister_server()
{
    HRESULT result = clear_devices(nullptr);
    for (const ClassKey &entry : kClassKeys) {
        const LSTATUS status = RegDeleteTreeA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + entry.clsid).c_str());
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND && SUCCEEDED(result))
            result = hresult_from_win32(static_cast<unsigned long>(status));
    }
    return result;
}

} // namespace quilo::testcam
