// DllRegisterServer and DllUnregisterServer: the class's keys under HKEY_CLASSES_ROOT, then the
// type library the module carries. Both stop at the first failure and undo nothing, so a later
// run with the rights to write completes the work.
#include <windows.h>
#include <oleauto.h>
#include <shlwapi.h>
#include <new>
#include <string>

#include "QuiloVideo.h"
#include "common/ComPtr.h"
#include "common/Handle.h"
#include "common/HResult.h"
#include "common/ScopeGuard.h"
#include "shell/Module.h"

namespace quilo::shell {
namespace {

constexpr char kProgId[] = "QuiloVideo.CQuiloVideoProc.1";
constexpr char kIndependentProgId[] = "QuiloVideo.CQuiloVideoProc";
constexpr char kFriendlyName[] = "CCQuiloVideoProc Object";
constexpr REGSAM kAccess = KEY_READ | KEY_WRITE;

HRESULT last_error() noexcept
{
    const DWORD error = GetLastError();
    return error ? hresult_from_win32(error) : E_FAIL;
}

HRESULT registry_result(LONG error) noexcept { return hresult_from_win32(static_cast<unsigned long>(error)); }

// A key that is not there is nothing to delete.
bool absent(LONG error) noexcept { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// The module's path. One of 260 characters or more is refused rather than cut short.
HRESULT read_module_path(std::string &path)
{
    char buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameA(module_instance(), buffer, MAX_PATH);
    if (length == 0) return last_error();
    if (length >= MAX_PATH) return hresult_from_win32(ERROR_INSUFFICIENT_BUFFER);
    path.assign(buffer, length);
    return S_OK;
}

// Braces and upper-case hexadecimal digits, all ASCII.
std::string registry_text(REFGUID guid)
{
    wchar_t wide[39];
    const int length = StringFromGUID2(guid, wide, 39);
    std::string text;
    for (int i = 0; i + 1 < length; ++i) text += static_cast<char>(wide[i]);
    return text;
}

// One step of registration: the key opened for reading and writing (created when missing),
// then one string value set in it, stored with its terminating zero.
struct Write
{
    std::string key;       // below HKEY_CLASSES_ROOT
    bool replace;          // deleted with its whole subtree first; its absence is no error
    const char *valueName; // null: the default value
    const char *text;      // null: the key alone
};

HRESULT apply(const Write &write)
{
    if (write.replace) {
        const LONG error = RegDeleteTreeA(HKEY_CLASSES_ROOT, write.key.c_str());
        if (!absent(error)) RETURN_IF_FAILED(registry_result(error));
    }
    UniqueHkey key;
    RETURN_IF_FAILED(registry_result(RegCreateKeyExA(HKEY_CLASSES_ROOT, write.key.c_str(), 0, nullptr,
                                                     REG_OPTION_NON_VOLATILE, kAccess, nullptr, key.put(), nullptr)));
    if (!write.text) return S_OK;
    const auto *bytes = reinterpret_cast<const BYTE *>(write.text);
    return registry_result(RegSetValueExA(key.get(), write.valueName, 0, REG_SZ, bytes, lstrlenA(write.text) + 1u));
}

// Unregistration of one key: opened for reading and writing (a missing key is skipped), then
// deleted with everything under it, whoever put it there, unless it is shared.
HRESULT remove(const std::string &path, bool shared)
{
    UniqueHkey key;
    const LONG error = RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, kAccess, key.put());
    if (error == ERROR_FILE_NOT_FOUND) return S_OK;
    RETURN_IF_FAILED(registry_result(error));
    key.reset();
    if (shared) return S_OK;
    const LONG deleted = RegDeleteTreeA(HKEY_CLASSES_ROOT, path.c_str());
    return absent(deleted) ? S_OK : registry_result(deleted);
}

// In the thread's ANSI code page, the one the module path was read in.
HRESULT widen(const std::string &text, std::wstring &wide)
{
    const int length = static_cast<int>(text.size());
    const int count = MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), length, nullptr, 0);
    wide.assign(static_cast<size_t>(count), L'\0');
    if (count == 0 || MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), length, &wide[0], count) != count)
        return last_error();
    return S_OK;
}

// The type library of the module file, else of the file with ".tlb" in place of the module's
// extension; `loadedFrom` receives the path that was loaded.
HRESULT load_type_library(const std::string &modulePath, ComPtr<ITypeLib> &library, std::wstring &loadedFrom)
{
    RETURN_IF_FAILED(widen(modulePath, loadedFrom));
    if (SUCCEEDED(LoadTypeLib(loadedFrom.c_str(), library.put()))) return S_OK;
    const size_t extension = static_cast<size_t>(PathFindExtensionA(modulePath.c_str()) - modulePath.c_str());
    const std::string tlbPath = modulePath.substr(0, extension) + ".tlb";
    if (tlbPath.size() + 1 > MAX_PATH) return E_FAIL;
    RETURN_IF_FAILED(widen(tlbPath, loadedFrom));
    return LoadTypeLib(loadedFrom.c_str(), library.put());
}

HRESULT register_server()
{
    std::string path;
    RETURN_IF_FAILED(read_module_path(path));
    const std::string clsid = registry_text(CLSID_CCQuiloVideoProc);
    const std::string libid = registry_text(LIBID_QuiloVideo);
    const std::string classKey = "CLSID\\" + clsid;
    // The ProgID keys are updated in place; the class key is replaced as a whole.
    const Write writes[] = {
        {kProgId, false, nullptr, kFriendlyName},
        {std::string(kProgId) + "\\CLSID", false, nullptr, clsid.c_str()},
        {kIndependentProgId, false, nullptr, kFriendlyName},
        {std::string(kIndependentProgId) + "\\CLSID", false, nullptr, clsid.c_str()},
        {std::string(kIndependentProgId) + "\\CurVer", false, nullptr, kProgId},
        // Opened for writing on its own: a new subkey could be created under it without that.
        {"CLSID", false, nullptr, nullptr},
        {classKey, true, nullptr, kFriendlyName},
        {classKey + "\\ProgID", false, nullptr, kProgId},
        {classKey + "\\VersionIndependentProgID", false, nullptr, kIndependentProgId},
        {classKey + "\\Programmable", true, nullptr, nullptr},
        {classKey + "\\InprocServer32", false, nullptr, path.c_str()},
        {classKey + "\\InprocServer32", false, "ThreadingModel", "apartment"},
        {classKey, false, "AppID", ""},
        {classKey + "\\TypeLib", false, nullptr, libid.c_str()},
    };
    for (const Write &write : writes) RETURN_IF_FAILED(apply(write));

    ComPtr<ITypeLib> library;
    std::wstring tlbPath;
    RETURN_IF_FAILED(load_type_library(path, library, tlbPath));
    // The help directory is the library's folder, its last separator kept.
    std::wstring helpDirectory = tlbPath.substr(0, tlbPath.find_last_of(L"\\/:") + 1);
    return RegisterTypeLib(library.get(), &tlbPath[0], &helpDirectory[0]);
}

HRESULT unregister_server()
{
    std::string path;
    RETURN_IF_FAILED(read_module_path(path));
    RETURN_IF_FAILED(remove(kProgId, false));
    RETURN_IF_FAILED(remove(kIndependentProgId, false));
    RETURN_IF_FAILED(remove("CLSID", true));
    RETURN_IF_FAILED(remove("CLSID\\" + registry_text(CLSID_CCQuiloVideoProc), false));

    ComPtr<ITypeLib> library;
    std::wstring tlbPath;
    RETURN_IF_FAILED(load_type_library(path, library, tlbPath));
    TLIBATTR *attributes = nullptr;
    RETURN_IF_FAILED(library->GetLibAttr(&attributes));
    auto release = scope_exit([&] { library->ReleaseTLibAttr(attributes); });
    RETURN_IF_FAILED(UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                                       attributes->lcid, attributes->syskind));
    return S_OK;
}

} // namespace
} // namespace quilo::shell

extern "C" HRESULT WINAPI DllRegisterServer()
{
    try {
        return quilo::shell::register_server();
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
}

extern "C" HRESULT WINAPI DllUnregisterServer()
{
    try {
        return quilo::shell::unregister_server();
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
}
