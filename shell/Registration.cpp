// DllRegisterServer and DllUnregisterServer: for each class, its keys under HKEY_CLASSES_ROOT, then
// the type library the module carries for it. Both stop at the first failure and undo nothing, so a later
// run with the rights to write completes the work. Paths and texts go through the wide API: a
// module in a folder outside the ANSI code page must not be registered under a mangled path.
#include <windows.h>
#include <oleauto.h>
#include <shlwapi.h>
#include <new>
#include <string>

#include "QuiloCamera.h"
#include "QuiloVideo.h"
#include "common/ComPtr.h"
#include "common/Handle.h"
#include "common/HResult.h"
#include "common/ScopeGuard.h"
#include "shell/Module.h"

namespace quilo::shell {
namespace {

// One creatable class of the module: its keys and the type library that describes it.
struct ServerClass
{
    const CLSID *clsid;
    const wchar_t *progId;
    const wchar_t *independentProgId;
    const wchar_t *friendlyName;
    const GUID *libid;
    // The library's resource number in the module: 1 is the module's first, found by the
    // module's own path (else a .tlb beside it); others are "<module>\\<n>".
    int typeLibrary;
};

const ServerClass kClasses[] = {
    {&CLSID_CCQuiloVideoProc, L"QuiloVideo.CQuiloVideoProc.1", L"QuiloVideo.CQuiloVideoProc",
     L"CCQuiloVideoProc Object", &LIBID_QuiloVideo, 1},
    {&CLSID_Camera, L"QuiloVideo.Camera.1", L"QuiloVideo.Camera", L"QuiloVideo Camera", &LIBID_QuiloCamera, 2},
};

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
HRESULT read_module_path(std::wstring &path)
{
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameW(module_instance(), buffer, MAX_PATH);
    if (length == 0) return last_error();
    if (length >= MAX_PATH) return hresult_from_win32(ERROR_INSUFFICIENT_BUFFER);
    path.assign(buffer, length);
    return S_OK;
}

// Braces and upper-case hexadecimal digits.
std::wstring registry_text(REFGUID guid)
{
    wchar_t text[39];
    const int length = StringFromGUID2(guid, text, 39);
    return std::wstring(text, length > 0 ? static_cast<size_t>(length - 1) : 0);
}

std::wstring class_key(const ServerClass &server) { return L"CLSID\\" + registry_text(*server.clsid); }

// One step of registration: the key opened for reading and writing (created when missing),
// then one string value set in it, stored with its terminating zero.
struct Write
{
    std::wstring key;         // below HKEY_CLASSES_ROOT
    bool replace;             // deleted with its whole subtree first; its absence is no error
    const wchar_t *valueName; // null: the default value
    const wchar_t *text;      // null: the key alone
};

HRESULT apply(const Write &write)
{
    if (write.replace) {
        const LONG error = RegDeleteTreeW(HKEY_CLASSES_ROOT, write.key.c_str());
        if (!absent(error)) RETURN_IF_FAILED(registry_result(error));
    }
    UniqueHkey key;
    RETURN_IF_FAILED(registry_result(RegCreateKeyExW(HKEY_CLASSES_ROOT, write.key.c_str(), 0, nullptr,
                                                     REG_OPTION_NON_VOLATILE, kAccess, nullptr, key.put(), nullptr)));
    if (!write.text) return S_OK;
    const auto *bytes = reinterpret_cast<const BYTE *>(write.text);
    const DWORD size = static_cast<DWORD>((lstrlenW(write.text) + 1) * sizeof(wchar_t));
    return registry_result(RegSetValueExW(key.get(), write.valueName, 0, REG_SZ, bytes, size));
}

// Unregistration of one key: opened for reading and writing (a missing key is skipped), then
// deleted with everything under it, whoever put it there, unless it is shared.
HRESULT remove(const std::wstring &path, bool shared)
{
    UniqueHkey key;
    const LONG error = RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, kAccess, key.put());
    if (error == ERROR_FILE_NOT_FOUND) return S_OK;
    RETURN_IF_FAILED(registry_result(error));
    key.reset();
    if (shared) return S_OK;
    const LONG deleted = RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str());
    return absent(deleted) ? S_OK : registry_result(deleted);
}

// The server path the class is registered with in one registry view (0: this process's own),
// without the quotes a hand-written entry may have; false where the class has none there.
bool registered_server(const ServerClass &serverClass, REGSAM view, std::wstring &server)
{
    const std::wstring path = class_key(serverClass) + L"\\InprocServer32";
    UniqueHkey key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE | view, key.put()) != ERROR_SUCCESS)
        return false;
    wchar_t text[MAX_PATH + 2] = {};
    DWORD size = sizeof(text) - sizeof(wchar_t), type = 0;
    if (RegQueryValueExW(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE *>(text), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        server.clear();
        return true;
    }
    server = text;
    if (server.size() >= 2 && server.front() == L'"' && server.back() == L'"') server = server.substr(1, server.size() - 2);
    return true;
}

// The other registry view, where one exists: the 32-bit one for this 64-bit module, the 64-bit
// one for this 32-bit module on 64-bit Windows; 0 on 32-bit Windows.
REGSAM other_view() noexcept
{
#ifdef _WIN64
    return KEY_WOW64_32KEY;
#else
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64 ? KEY_WOW64_64KEY : 0;
#endif
}

// The type library of the module file, else of the file with ".tlb" in place of the module's
// extension; `loadedFrom` receives the path that was loaded.
HRESULT load_type_library(const ServerClass &server, const std::wstring &modulePath, ComPtr<ITypeLib> &library,
                          std::wstring &loadedFrom)
{
    if (server.typeLibrary != 1) {
        loadedFrom = modulePath + L"\\" + std::to_wstring(server.typeLibrary);
        return LoadTypeLibEx(loadedFrom.c_str(), REGKIND_NONE, library.put());
    }
    loadedFrom = modulePath;
    if (SUCCEEDED(LoadTypeLib(loadedFrom.c_str(), library.put()))) return S_OK;
    const size_t extension = static_cast<size_t>(PathFindExtensionW(modulePath.c_str()) - modulePath.c_str());
    loadedFrom = modulePath.substr(0, extension) + L".tlb";
    if (loadedFrom.size() + 1 > MAX_PATH) return E_FAIL;
    return LoadTypeLib(loadedFrom.c_str(), library.put());
}

bool library_path_fits(const ServerClass &server, const std::wstring &modulePath)
{
    return server.typeLibrary == 1 || modulePath.size() + 1 + std::to_wstring(server.typeLibrary).size() < MAX_PATH;
}

HRESULT register_class(const ServerClass &server, const std::wstring &path)
{
    const std::wstring clsid = registry_text(*server.clsid);
    const std::wstring libid = registry_text(*server.libid);
    const std::wstring classKey = class_key(server);
    const wchar_t *const progId = server.progId;
    const wchar_t *const independentProgId = server.independentProgId;
    const wchar_t *const friendlyName = server.friendlyName;
    // The ProgID keys are updated in place; the class key is replaced as a whole.
    const Write writes[] = {
        {progId, false, nullptr, friendlyName},
        {std::wstring(progId) + L"\\CLSID", false, nullptr, clsid.c_str()},
        {independentProgId, false, nullptr, friendlyName},
        {std::wstring(independentProgId) + L"\\CLSID", false, nullptr, clsid.c_str()},
        {std::wstring(independentProgId) + L"\\CurVer", false, nullptr, progId},
        // Opened for writing on its own: a new subkey could be created under it without that.
        {L"CLSID", false, nullptr, nullptr},
        {classKey, true, nullptr, friendlyName},
        {classKey + L"\\ProgID", false, nullptr, progId},
        {classKey + L"\\VersionIndependentProgID", false, nullptr, independentProgId},
        {classKey + L"\\Programmable", true, nullptr, nullptr},
        {classKey + L"\\InprocServer32", false, nullptr, path.c_str()},
        {classKey + L"\\InprocServer32", false, L"ThreadingModel", L"apartment"},
        {classKey, false, L"AppID", L""},
        {classKey + L"\\TypeLib", false, nullptr, libid.c_str()},
    };
    for (const Write &write : writes) RETURN_IF_FAILED(apply(write));

    // A library inside the module is registered as "<module>\\<n>"; the platform reads that
    // path back into MAX_PATH characters, so where it does not fit the library stays
    // unregistered (the class still answers IDispatch from the module's own copy).
    if (!library_path_fits(server, path)) return S_OK;
    ComPtr<ITypeLib> library;
    std::wstring tlbPath;
    RETURN_IF_FAILED(load_type_library(server, path, library, tlbPath));
    // The help directory is the library's folder, its last separator kept.
    std::wstring helpDirectory = path.substr(0, path.find_last_of(L"\\/:") + 1);
    if (server.typeLibrary == 1) helpDirectory = tlbPath.substr(0, tlbPath.find_last_of(L"\\/:") + 1);
    return RegisterTypeLib(library.get(), &tlbPath[0], &helpDirectory[0]);
}

HRESULT register_server()
{
    std::wstring path;
    RETURN_IF_FAILED(read_module_path(path));
    for (const ServerClass &server : kClasses) RETURN_IF_FAILED(register_class(server, path));
    return S_OK;
}

HRESULT unregister_class(const ServerClass &serverClass, const std::wstring &path)
{
    const wchar_t *const progId = serverClass.progId;
    const wchar_t *const independentProgId = serverClass.independentProgId;
    // Another copy of the module registered since owns the class now: unregistering this one
    // must not take that copy's registration away. A class key without a server is ours to remove.
    std::wstring server;
    if (registered_server(serverClass, 0, server) && !server.empty() && lstrcmpiW(server.c_str(), path.c_str()) != 0) return S_OK;
    // 64-bit Windows shares the ProgID and TypeLib keys between its two registry views: while
    // the other architecture's module is registered, they are still in use there.
    const REGSAM other = other_view();
    const bool otherViewUsesShared = other != 0 && registered_server(serverClass, other, server);
    if (!otherViewUsesShared) {
        RETURN_IF_FAILED(remove(progId, false));
        RETURN_IF_FAILED(remove(independentProgId, false));
    }
    RETURN_IF_FAILED(remove(L"CLSID", true));
    RETURN_IF_FAILED(remove(class_key(serverClass), false));
    if (otherViewUsesShared) return S_OK;

    // A library inside the module is registered as "<module>\\<n>"; the platform reads that
    // path back into MAX_PATH characters, so where it does not fit the library stays
    // unregistered (the class still answers IDispatch from the module's own copy).
    if (!library_path_fits(serverClass, path)) return S_OK;
    ComPtr<ITypeLib> library;
    std::wstring tlbPath;
    RETURN_IF_FAILED(load_type_library(serverClass, path, library, tlbPath));
    TLIBATTR *attributes = nullptr;
    RETURN_IF_FAILED(library->GetLibAttr(&attributes));
    auto release = scope_exit([&] { library->ReleaseTLibAttr(attributes); });
    RETURN_IF_FAILED(UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                                       attributes->lcid, attributes->syskind));
    return S_OK;
}

HRESULT unregister_server()
{
    std::wstring path;
    RETURN_IF_FAILED(read_module_path(path));
    for (const ServerClass &server : kClasses) RETURN_IF_FAILED(unregister_class(server, path));
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
