// Registration of the module, checked key by key in the real registry: through Wine's own
// regsvr32 and through the exports, and the type library that goes with it; and what both
// report when the registry refuses the writes.
#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>
#include <oleauto.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "QuiloVideo.h"
#include "common/ComPtr.h"
#include "common/Handle.h"
#include "common/ScopeGuard.h"
#include "support/ComponentRegistration.h"
#include "support/TestSupport.h"

namespace {

using quilo::ComPtr;
using quilo::UniqueHandle;
using quilo::UniqueHkey;

constexpr char kProgId[] = "QuiloVideo.CQuiloVideoProc.1";
constexpr char kIndependentProgId[] = "QuiloVideo.CQuiloVideoProc";
constexpr char kFriendlyName[] = "CCQuiloVideoProc Object";
#ifdef _WIN64
constexpr char kSysKind[] = "win64";
#else
constexpr char kSysKind[] = "win32";
#endif
constexpr HRESULT kPathTooLong = static_cast<HRESULT>(0x8007007A);
constexpr HRESULT kAccessDenied = static_cast<HRESULT>(0x80070005);

// The identifiers as README documents them.
std::string clsid() { return "{2E5A45BA-F0CD-473F-8FAA-0EA05B62A973}"; }
std::string libid() { return "{9DDB99BC-C6B4-4741-AF3D-4EA83F2AF613}"; }
std::string class_key() { return "CLSID\\" + clsid(); }
std::string typelib_key() { return "TypeLib\\" + libid(); }
// The automation class beside it, as README documents it.
std::string camera_clsid() { return "{3F843D60-B401-4093-B046-74C3B2C1FC7E}"; }
std::string camera_libid() { return "{3A93AAA5-F9FC-4DCE-9293-5C09EFBAA31D}"; }
std::string camera_iid() { return "{72335B22-F701-4E59-80BF-2E89D441EEE9}"; }

bool key_exists(const std::string &path)
{
    UniqueHkey key;
    return RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

void create_key(const std::string &path)
{
    UniqueHkey key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             key.put(), nullptr));
}

void delete_tree(const std::string &path) { RegDeleteTreeA(HKEY_CLASSES_ROOT, path.c_str()); }

std::vector<std::string> subkeys(const std::string &path)
{
    std::vector<std::string> names;
    UniqueHkey key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return names;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof(name);
        if (RegEnumKeyExA(key.get(), i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, size);
    }
    return names;
}

// Every value of a key as "type:text"; the stored size must include exactly one terminator.
std::map<std::string, std::string> values(const std::string &path)
{
    std::map<std::string, std::string> result;
    UniqueHkey key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return result;
    char name[256];
    BYTE data[1024];
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = sizeof(name), dataSize = sizeof(data), type = 0;
        if (RegEnumValueA(key.get(), i, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS) break;
        std::string text(reinterpret_cast<char *>(data), dataSize);
        const bool terminated = !text.empty() && text.back() == '\0';
        if (terminated) text.pop_back();
        result[std::string(name, nameSize)] =
            (type == REG_SZ ? "REG_SZ:" : "type" + std::to_string(type) + ":") + text + (terminated ? "" : "<unterminated>");
    }
    return result;
}

// A readable picture of a whole subtree, for comparing registrations.
std::string dump(const std::string &path, int depth = 0)
{
    std::string out(static_cast<size_t>(depth) * 2, ' ');
    out += path.substr(path.find_last_of('\\') + 1) + "\n";
    for (const auto &v : values(path)) out += std::string(static_cast<size_t>(depth) * 2 + 2, ' ') + "[" + v.first + "]=" + v.second + "\n";
    for (const auto &k : subkeys(path)) out += dump(path + "\\" + k, depth + 1);
    return out;
}

std::string tree_dump() { return dump(kProgId) + dump(kIndependentProgId) + dump(class_key()); }

HRESULT load_registered_library(LCID lcid)
{
    ComPtr<ITypeLib> library;
    return LoadRegTypeLib(LIBID_QuiloVideo, 1, 0, lcid, library.put());
}

using Values = std::map<std::string, std::string>;
using Names = std::vector<std::string>;

// The folder of a file's path, its last backslash kept.
std::string folder_of(const std::string &path) { return path.substr(0, path.find_last_of('\\') + 1); }

// The type library's registration as the platform reports it: its file and its help directory.
void expect_registered_library(const std::string &file)
{
    BSTR path = nullptr;
    ASSERT_EQ(S_OK, QueryPathOfRegTypeLib(LIBID_QuiloVideo, 1, 0, 0x409, &path));
    EXPECT_EQ(file, quilo::test::narrow(path));
    SysFreeString(path);
    EXPECT_EQ((Values{{"", "REG_SZ:" + folder_of(file)}}), values(typelib_key() + "\\1.0\\HELPDIR"));
}

void expect_registered_tree(const std::string &modulePath)
{
    const std::string sz = "REG_SZ:";
    EXPECT_EQ((Values{{"", sz + kFriendlyName}}), values(kProgId));
    EXPECT_EQ((Names{"CLSID"}), subkeys(kProgId));
    EXPECT_EQ((Values{{"", sz + clsid()}}), values(std::string(kProgId) + "\\CLSID"));

    EXPECT_EQ((Values{{"", sz + kFriendlyName}}), values(kIndependentProgId));
    EXPECT_EQ((Names{"CLSID", "CurVer"}), subkeys(kIndependentProgId));
    EXPECT_EQ((Values{{"", sz + clsid()}}), values(std::string(kIndependentProgId) + "\\CLSID"));
    EXPECT_EQ((Values{{"", sz + kProgId}}), values(std::string(kIndependentProgId) + "\\CurVer"));

    // No category keys, an empty AppID value and no AppID key of its own.
    EXPECT_EQ((Values{{"", sz + kFriendlyName}, {"AppID", sz}}), values(class_key()));
    EXPECT_EQ((Names{"InprocServer32", "ProgID", "Programmable", "TypeLib", "VersionIndependentProgID"}),
              subkeys(class_key()));
    EXPECT_EQ((Values{{"", sz + modulePath}, {"ThreadingModel", sz + "apartment"}}),
              values(class_key() + "\\InprocServer32"));
    EXPECT_EQ((Values{{"", sz + kProgId}}), values(class_key() + "\\ProgID"));
    EXPECT_EQ((Values{{"", sz + kIndependentProgId}}), values(class_key() + "\\VersionIndependentProgID"));
    EXPECT_EQ(Values{}, values(class_key() + "\\Programmable"));
    EXPECT_EQ(Names{}, subkeys(class_key() + "\\Programmable"));
    EXPECT_EQ((Values{{"", sz + libid()}}), values(class_key() + "\\TypeLib"));
    EXPECT_FALSE(key_exists("AppID\\QuiloVideo.DLL"));
    EXPECT_FALSE(key_exists("AppID\\" + clsid()));
}

void expect_tree_absent()
{
    EXPECT_FALSE(key_exists(kProgId));
    EXPECT_FALSE(key_exists(kIndependentProgId));
    EXPECT_FALSE(key_exists(class_key()));
}

// The class created as a host does, by ProgID.
void expect_activation()
{
    quilo::test::ComScope com;
    CLSID clsid = {};
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"QuiloVideo.CQuiloVideoProc", &clsid));
    ComPtr<ICQuiloVideoProc> object;
    EXPECT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ICQuiloVideoProc, object.put_void()));
}

// Every test starts with nothing of the component in the registry, and the executable leaves
// it registered for whoever runs next.
class RegistrationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        quilo::test::unregister_component();
        delete_tree(kProgId);
        delete_tree(kIndependentProgId);
        delete_tree(class_key());
        delete_tree(typelib_key());
        ASSERT_TRUE(key_exists("CLSID"));
        UniqueHkey shared;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ | KEY_WRITE, shared.put()))
            << "HKCR\\CLSID refuses writes: security left behind by an aborted run";
    }
    static void TearDownTestSuite() { EXPECT_EQ(S_OK, quilo::test::register_component()); }
};

// regsvr32's exit code when the module's own DllRegisterServer or DllUnregisterServer failed.
constexpr DWORD kRegsvr32ServerFailed = 5;

// Wine's regsvr32 on the built module, expected to end with `code`; a mismatch shows the run.
::testing::AssertionResult regsvr32(const char *options, DWORD code)
{
    const quilo::test::ProgramRun run = quilo::test::run_program(
        std::string("C:\\windows\\system32\\regsvr32.exe ") + options + " " + QUILO_MODULE_PATH);
    return (run.exitCode == code ? ::testing::AssertionSuccess() : ::testing::AssertionFailure())
           << "expected exit code " << code << run;
}

TEST_F(RegistrationTest, Regsvr32WritesTheTreeAndTheTypeLibrary)
{
    ASSERT_FALSE(SUCCEEDED(load_registered_library(0x409)));
    ASSERT_TRUE(regsvr32("/s", 0));
    expect_registered_tree(QUILO_MODULE_PATH);
    EXPECT_EQ(S_OK, load_registered_library(0x409));

    ASSERT_TRUE(regsvr32("/s /u", 0));
    expect_tree_absent();
    EXPECT_TRUE(key_exists("CLSID"));
    EXPECT_FALSE(SUCCEEDED(load_registered_library(0x409)));
}

TEST_F(RegistrationTest, RegisteringTwiceGivesTheSameTree)
{
    ASSERT_EQ(S_OK, quilo::test::register_component());
    expect_registered_tree(QUILO_MODULE_PATH);
    const std::string first = tree_dump();
    ASSERT_EQ(S_OK, quilo::test::register_component());
    EXPECT_EQ(first, tree_dump());
}

TEST_F(RegistrationTest, ClassKeyIsReplacedButProgIdKeysAreUpdatedInPlace)
{
    ASSERT_EQ(S_OK, quilo::test::register_component());
    create_key(class_key() + "\\Stray\\Deeper");
    create_key(class_key() + "\\Programmable\\Stray");
    create_key(std::string(kIndependentProgId) + "\\Stray");
    create_key(std::string(kProgId) + "\\CLSID\\Stray");

    ASSERT_EQ(S_OK, quilo::test::register_component());
    EXPECT_FALSE(key_exists(class_key() + "\\Stray"));
    EXPECT_FALSE(key_exists(class_key() + "\\Programmable\\Stray"));
    EXPECT_TRUE(key_exists(std::string(kIndependentProgId) + "\\Stray"));
    EXPECT_TRUE(key_exists(std::string(kProgId) + "\\CLSID\\Stray"));

    // Unregistration takes everything under the component's keys, whoever put it there.
    ASSERT_EQ(S_OK, quilo::test::unregister_component());
    expect_tree_absent();
    EXPECT_TRUE(key_exists("CLSID"));
}

TEST_F(RegistrationTest, UnregistrationSkipsMissingPartsAndStillRemovesTheRest)
{
    ASSERT_EQ(S_OK, quilo::test::register_component());
    delete_tree(kIndependentProgId);
    delete_tree(class_key() + "\\InprocServer32");
    ASSERT_EQ(S_OK, quilo::test::unregister_component());
    expect_tree_absent();
    EXPECT_FALSE(SUCCEEDED(load_registered_library(0x409)));

    // No tree at all: the tree part succeeds and the type library still goes.
    ASSERT_EQ(S_OK, quilo::test::register_component());
    delete_tree(kProgId);
    delete_tree(kIndependentProgId);
    delete_tree(class_key());
    EXPECT_EQ(S_OK, quilo::test::unregister_component());
    EXPECT_FALSE(SUCCEEDED(load_registered_library(0x409)));
    expect_tree_absent();
}

TEST_F(RegistrationTest, UnregisteringWhatIsNotRegisteredReportsTheTypeLibraryFailure)
{
    // What the platform answers for the library, read from the module file by the test itself,
    // while it is not registered.
    ComPtr<ITypeLib> library;
    ASSERT_EQ(S_OK, LoadTypeLibEx(quilo::test::widen(QUILO_MODULE_PATH).c_str(), REGKIND_NONE, library.put()));
    TLIBATTR *attr = nullptr;
    ASSERT_EQ(S_OK, library->GetLibAttr(&attr));
    const HRESULT notRegistered =
        UnRegisterTypeLib(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid, attr->syskind);
    library->ReleaseTLibAttr(attr);
    ASSERT_TRUE(FAILED(notRegistered)) << std::hex << notRegistered;

    EXPECT_EQ(notRegistered, quilo::test::unregister_component());
    expect_tree_absent();
    EXPECT_TRUE(key_exists("CLSID"));
}

// HKEY_CLASSES_ROOT of this process replaced by an empty key of the test's own for the object's
// life, so that everything a registration in this process writes can be listed.
class PrivateClassesRoot
{
public:
    PrivateClassesRoot()
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, kPath);
        ready_ = RegCreateKeyExA(HKEY_CURRENT_USER, kPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, root_.put(),
                                 nullptr) == ERROR_SUCCESS &&
                 RegOverridePredefKey(HKEY_CLASSES_ROOT, root_.get()) == ERROR_SUCCESS;
    }
    ~PrivateClassesRoot()
    {
        RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        root_.reset();
        RegDeleteTreeA(HKEY_CURRENT_USER, kPath);
    }
    PrivateClassesRoot(const PrivateClassesRoot &) = delete;
    PrivateClassesRoot &operator=(const PrivateClassesRoot &) = delete;

    bool ready() const { return ready_; }
    // The keys at the top, in upper case and sorted.
    Names top_keys() const
    {
        Names names = subkeys("");
        for (std::string &name : names) CharUpperA(&name[0]);
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    static constexpr char kPath[] = "Software\\QuiloPrivateClasses";
    UniqueHkey root_;
    bool ready_ = false;
};

// Only the class's own keys and the type library's: no AppID entry (the module's registry
// script is never applied) and no component categories.
TEST_F(RegistrationTest, RegistrationWritesItsOwnKeysAndNothingElse)
{
    PrivateClassesRoot root;
    ASSERT_TRUE(root.ready());
    ASSERT_EQ(Names{}, root.top_keys());

    ASSERT_EQ(S_OK, quilo::test::register_component());
    // The automation class adds its own ProgIDs, class key, library and dual interface (the
    // interface key is the platform's, written by RegisterTypeLib for marshaling).
    EXPECT_EQ((Names{"CLSID", "INTERFACE", "QUILOVIDEO.CAMERA", "QUILOVIDEO.CAMERA.1", "QUILOVIDEO.CQUILOVIDEOPROC",
                     "QUILOVIDEO.CQUILOVIDEOPROC.1", "TYPELIB"}),
              root.top_keys());
    EXPECT_EQ((Names{clsid(), camera_clsid()}), subkeys("CLSID"));
    EXPECT_EQ((Names{camera_libid(), libid()}), subkeys("TypeLib"));
    EXPECT_EQ(Names{camera_iid()}, subkeys("Interface"));
    expect_registered_tree(QUILO_MODULE_PATH);
    const std::string sz = "REG_SZ:";
    EXPECT_EQ((Values{{"", sz + QUILO_MODULE_PATH}, {"ThreadingModel", sz + "apartment"}}),
              values("CLSID\\" + camera_clsid() + "\\InprocServer32"));
    EXPECT_EQ((Values{{"", sz + camera_clsid()}}), values("QuiloVideo.Camera\\CLSID"));
    EXPECT_EQ((Values{{"", sz + "QuiloVideo.Camera.1"}}), values("QuiloVideo.Camera\\CurVer"));
    EXPECT_EQ((Values{{"", sz + std::string(QUILO_MODULE_PATH) + "\\2"}}),
              values("TypeLib\\" + camera_libid() + "\\1.0\\409\\" + kSysKind));

    ASSERT_EQ(S_OK, quilo::test::unregister_component());
    expect_tree_absent();
    EXPECT_EQ(Names{}, subkeys("CLSID"));
    EXPECT_EQ(Names{}, subkeys("TypeLib"));
    EXPECT_EQ(Names{}, subkeys("Interface"));
    EXPECT_EQ((Names{"CLSID", "INTERFACE", "TYPELIB"}), root.top_keys());
}

TEST_F(RegistrationTest, TypeLibraryIsRegisteredFromTheModule)
{
    ASSERT_EQ(S_OK, quilo::test::register_component());
    // Registered under the library's own locale, with the module as its file.
    ComPtr<ITypeLib> library;
    ASSERT_EQ(S_OK, LoadRegTypeLib(LIBID_QuiloVideo, 1, 0, 0x409, library.put()));
    TLIBATTR *attr = nullptr;
    ASSERT_EQ(S_OK, library->GetLibAttr(&attr));
    EXPECT_EQ(0x409u, attr->lcid);
    library->ReleaseTLibAttr(attr);
    expect_registered_library(QUILO_MODULE_PATH);

    // The file is recorded under the platform of the module's own library: win32 for the
    // 32-bit module, win64 for the 64-bit one, so both can be registered side by side.
    const char *platform = kSysKind;
    EXPECT_EQ((Values{{"", std::string("REG_SZ:") + QUILO_MODULE_PATH}}),
              values(typelib_key() + "\\1.0\\409\\" + platform));
}

// --- Module paths at the 260-character limit -------------------------------------------------

// A copy of the module at a path of exactly `length` characters, named `name`, loaded for the
// test; without `typeLibrary` the copy carries no usable type library of its own.
class ModuleCopy
{
public:
    explicit ModuleCopy(size_t length, const std::wstring &name = L"QuiloVideo.ocx", bool typeLibrary = true)
    {
        const size_t fill = length - parent().size() - 2 - name.size();
        place(std::wstring(fill, L'd'), name, typeLibrary);
    }
    // A copy named QuiloVideo.ocx in a folder of the given name.
    explicit ModuleCopy(const std::wstring &folder) { place(folder, L"QuiloVideo.ocx", true); }
    ~ModuleCopy()
    {
        if (module_) FreeLibrary(module_);
        DeleteFileW(path_.c_str());
        RemoveDirectoryW(sub_.c_str());
        RemoveDirectoryW(dir_.c_str());
    }

    HMODULE module() const { return module_; }
    std::string path() const { return quilo::test::narrow(path_.c_str(), CP_ACP); }
    const std::wstring &wide_path() const { return path_; }
    HRESULT call(const char *name) const
    {
        auto entry = reinterpret_cast<HRESULT(WINAPI *)()>(reinterpret_cast<void *>(GetProcAddress(module_, name)));
        return entry ? entry() : E_FAIL;
    }

private:
    static std::wstring parent()
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        return std::wstring(temp) + L"quilo-path";
    }

    void place(const std::wstring &folder, const std::wstring &name, bool typeLibrary)
    {
        dir_ = parent();
        CreateDirectoryW(dir_.c_str(), nullptr);
        sub_ = dir_ + L"\\" + folder;
        path_ = sub_ + L"\\" + name;
        CreateDirectoryW(sub_.c_str(), nullptr);
        if (!CopyFileW(quilo::test::widen(QUILO_MODULE_PATH).c_str(), path_.c_str(), FALSE)) return;
        if (!typeLibrary && !spoil_type_library()) return;
        // A trailing dot keeps the loader from adding ".dll" to a name without an extension.
        module_ = LoadLibraryW((name.find(L'.') == std::wstring::npos ? path_ + L"." : path_).c_str());
    }

    // Wine's UpdateResource does not delete a resource, so the library's bytes are overwritten
    // with some that are no type library.
    bool spoil_type_library()
    {
        HANDLE update = BeginUpdateResourceW(path_.c_str(), FALSE);
        if (!update) return false;
        char noLibrary[] = "no type library";
        const WORD english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
        const bool replaced =
            UpdateResourceW(update, L"TYPELIB", MAKEINTRESOURCEW(1), english, noLibrary, sizeof(noLibrary));
        return EndUpdateResourceW(update, !replaced) && replaced;
    }

    std::wstring dir_, sub_, path_;
    HMODULE module_ = nullptr;
};

TEST_F(RegistrationTest, PathOf259CharactersIsRegistered)
{
    ModuleCopy copy(259);
    ASSERT_NE(nullptr, copy.module());
    ASSERT_EQ(259u, copy.path().size());
    ASSERT_EQ(S_OK, copy.call("DllRegisterServer"));
    expect_registered_tree(copy.path());
    EXPECT_EQ(S_OK, copy.call("DllUnregisterServer"));
    expect_tree_absent();
}

TEST_F(RegistrationTest, PathOf260CharactersOrMoreWritesAndRemovesNothing)
{
    for (size_t length : {260u, 300u}) {
        SCOPED_TRACE(length);
        ModuleCopy copy(length);
        ASSERT_NE(nullptr, copy.module()) << "Wine could not load the module from a long path";
        EXPECT_EQ(kPathTooLong, copy.call("DllRegisterServer"));
        expect_tree_absent();
        EXPECT_FALSE(SUCCEEDED(load_registered_library(0x409)));

        ASSERT_EQ(S_OK, quilo::test::register_component());
        const std::string registered = tree_dump();
        EXPECT_EQ(kPathTooLong, copy.call("DllUnregisterServer"));
        EXPECT_EQ(registered, tree_dump());
        EXPECT_EQ(S_OK, load_registered_library(0x409));
        ASSERT_EQ(S_OK, quilo::test::unregister_component());
    }
}

// --- Whose registration unregistration removes -----------------------------------------------

// The class's server path in a registry view (0: this process's own), read as wide text.
std::wstring registered_server_path(REGSAM view = 0)
{
    UniqueHkey key;
    const std::wstring path = quilo::test::widen(class_key() + "\\InprocServer32");
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | view, key.put()) != ERROR_SUCCESS) return L"<no key>";
    wchar_t text[MAX_PATH + 1] = {};
    DWORD size = sizeof(text) - sizeof(wchar_t);
    if (RegQueryValueExW(key.get(), nullptr, nullptr, nullptr, reinterpret_cast<BYTE *>(text), &size) != ERROR_SUCCESS)
        return L"<no value>";
    return text;
}

TEST_F(RegistrationTest, ModuleInAFolderOutsideTheAnsiCodePageRegistersAndUnregisters)
{
    // Chinese, Greek and Korean: none of them in code page 1252, the last two not in 936 either.
    ModuleCopy copy(L"\u76f8\u673a \u03ba\u03ac\u03bc\u03b5\u03c1\u03b1 \uce74\uba54\ub77c");
    ASSERT_NE(nullptr, copy.module());
    ASSERT_EQ(S_OK, copy.call("DllRegisterServer"));
    EXPECT_TRUE(registered_server_path() == copy.wide_path()) << quilo::test::narrow(registered_server_path().c_str());
    BSTR library = nullptr;
    ASSERT_EQ(S_OK, QueryPathOfRegTypeLib(LIBID_QuiloVideo, 1, 0, 0x409, &library));
    EXPECT_TRUE(copy.wide_path() == library) << quilo::test::narrow(library);
    SysFreeString(library);
    expect_activation();

    EXPECT_EQ(S_OK, copy.call("DllUnregisterServer"));
    expect_tree_absent();
    EXPECT_FALSE(SUCCEEDED(load_registered_library(0x409)));
}

// Two copies of the module: unregistering the one registered first leaves the other's
// registration, which names the other copy, working.
TEST_F(RegistrationTest, UnregisteringACopyLeavesTheCopyRegisteredSince)
{
    ModuleCopy first(L"first"), second(L"second");
    ASSERT_NE(nullptr, first.module());
    ASSERT_NE(nullptr, second.module());
    ASSERT_EQ(S_OK, first.call("DllRegisterServer"));
    ASSERT_EQ(S_OK, second.call("DllRegisterServer"));

    EXPECT_EQ(S_OK, first.call("DllUnregisterServer"));
    expect_registered_tree(second.path());
    expect_registered_library(second.path());
    expect_activation();

    EXPECT_EQ(S_OK, second.call("DllUnregisterServer"));
    expect_tree_absent();
    EXPECT_FALSE(SUCCEEDED(load_registered_library(0x409)));
}

// 64-bit Windows shares ProgIDs and type library registrations between its two registry views
// (Wine keeps them apart, so the other architecture's registration is planted by hand): while
// the other module is registered, unregistering this one removes only its own class key.
TEST_F(RegistrationTest, SharedKeysStayWhileTheOtherArchitectureIsRegistered)
{
#ifdef _WIN64
    const REGSAM other = KEY_WOW64_32KEY;
#else
    const REGSAM other = KEY_WOW64_64KEY;
    BOOL wow64 = FALSE;
    if (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64) GTEST_SKIP() << "a 32-bit system has one registry view";
#endif
    const std::wstring otherServer = quilo::test::widen(class_key() + "\\InprocServer32");
    auto removeOther = [&] {
        RegDeleteKeyExW(HKEY_CLASSES_ROOT, otherServer.c_str(), other, 0);
        RegDeleteKeyExW(HKEY_CLASSES_ROOT, quilo::test::widen(class_key()).c_str(), other, 0);
    };
    auto cleanUp = quilo::scope_exit(removeOther);
    {
        UniqueHkey key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, otherServer.c_str(), 0, nullptr, 0,
                                                 KEY_ALL_ACCESS | other, nullptr, key.put(), nullptr));
        const wchar_t path[] = L"C:\\Program Files\\QuiloVideo\\QuiloVideo.ocx";
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>(path), sizeof(path)));
    }
    ASSERT_TRUE(registered_server_path() == L"<no key>") << "the two registry views are not apart";

    ASSERT_EQ(S_OK, quilo::test::register_component());
    EXPECT_EQ(S_OK, quilo::test::unregister_component());
    EXPECT_FALSE(key_exists(class_key()));
    EXPECT_TRUE(key_exists(kProgId));
    EXPECT_TRUE(key_exists(kIndependentProgId));
    EXPECT_EQ(S_OK, load_registered_library(0x409));

    // The last architecture to go takes the shared keys with it.
    removeOther();
    ASSERT_EQ(S_OK, quilo::test::register_component());
    EXPECT_EQ(S_OK, quilo::test::unregister_component());
    expect_tree_absent();
    EXPECT_FALSE(SUCCEEDED(load_registered_library(0x409)));
}

// --- Where the type library comes from ---------------------------------------------------------

// The built module's type library written out as a file.
void write_type_library(const std::string &file)
{
    HMODULE module = LoadLibraryExA(QUILO_MODULE_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module);
    auto unload = quilo::scope_exit([&] { FreeLibrary(module); });
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(1), "TYPELIB");
    ASSERT_NE(nullptr, resource);
    const void *bytes = LockResource(LoadResource(module, resource));
    UniqueHandle out(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(out);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(out.get(), bytes, SizeofResource(module, resource), &written, nullptr));
}

// A module without its own type library registers the ".tlb" file beside it (the module's
// extension replaced, or added when it has none), and reports that file's failure without it.
TEST_F(RegistrationTest, TlbBesideTheModuleIsTheFallback)
{
    for (const wchar_t *name : {L"QuiloVideo.ocx", L"QuiloVideo"}) {
        SCOPED_TRACE(quilo::test::narrow(name));
        ModuleCopy copy(120, name, false);
        ASSERT_NE(nullptr, copy.module());
        ComPtr<ITypeLib> library;
        ASSERT_TRUE(FAILED(LoadTypeLib(quilo::test::widen(copy.path()).c_str(), library.put())))
            << "the copy still carries a type library";
        const std::string tlb = folder_of(copy.path()) + "QuiloVideo.tlb";
        auto removeTlb = quilo::scope_exit([&] { DeleteFileA(tlb.c_str()); });

        const HRESULT noFile = LoadTypeLib(quilo::test::widen(tlb).c_str(), library.put());
        ASSERT_TRUE(FAILED(noFile)) << std::hex << noFile;
        EXPECT_EQ(noFile, copy.call("DllRegisterServer"));
        expect_registered_tree(copy.path());
        EXPECT_FALSE(SUCCEEDED(load_registered_library(0x409)));

        ASSERT_NO_FATAL_FAILURE(write_type_library(tlb));
        ASSERT_EQ(S_OK, copy.call("DllRegisterServer"));
        expect_registered_library(tlb);
        EXPECT_EQ(S_OK, copy.call("DllUnregisterServer"));
        expect_tree_absent();
        EXPECT_FALSE(SUCCEEDED(load_registered_library(0x409)));
    }
}

// --- A registry that refuses the writes ------------------------------------------------------

// Keys made read-only the way HKEY_LOCAL_MACHINE\Software\Classes is for a user without
// administrator rights: an entry denying `denied` to Everyone ahead of the key's own DACL. Two
// facts of Wine shape it: the owner of a key always gets DELETE (and the other standard rights)
// whatever the DACL says, so the owner becomes SYSTEM for the time being; and Wine checks access
// only when an existing key is opened, never when a new key is created, so only keys that exist
// can refuse. Every key gets its own security back when the object goes, whatever the outcome.
class RefusedKeys
{
public:
    RefusedKeys() = default;
    RefusedKeys(const RefusedKeys &) = delete;
    RefusedKeys &operator=(const RefusedKeys &) = delete;
    ~RefusedKeys() { restore(); }

    // `path` under HKEY_CLASSES_ROOT, with every key below it when `subtree`.
    void refuse(const std::string &path, DWORD denied, bool subtree = true)
    {
        UniqueHkey key;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0,
                                               READ_CONTROL | WRITE_DAC | WRITE_OWNER | KEY_ENUMERATE_SUB_KEYS,
                                               key.put()))
            << path;
        DWORD size = 0;
        ASSERT_EQ(ERROR_INSUFFICIENT_BUFFER, RegGetKeySecurity(key.get(), kParts, nullptr, &size));
        std::vector<BYTE> original(size);
        ASSERT_EQ(ERROR_SUCCESS, RegGetKeySecurity(key.get(), kParts, original.data(), &size));
        saved_.push_back({path, original});

        BOOL present = FALSE, defaulted = FALSE;
        PACL dacl = nullptr;
        ASSERT_TRUE(GetSecurityDescriptorDacl(original.data(), &present, &dacl, &defaulted));
        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY, nt = SECURITY_NT_AUTHORITY;
        BYTE everyone[SECURITY_MAX_SID_SIZE], system[SECURITY_MAX_SID_SIZE];
        ASSERT_TRUE(InitializeSid(everyone, &world, 1) && InitializeSid(system, &nt, 1));
        *GetSidSubAuthority(everyone, 0) = SECURITY_WORLD_RID;
        *GetSidSubAuthority(system, 0) = SECURITY_LOCAL_SYSTEM_RID;

        EXPLICIT_ACCESSA deny = {};
        deny.grfAccessPermissions = denied;
        deny.grfAccessMode = DENY_ACCESS;
        deny.grfInheritance = NO_INHERITANCE;
        deny.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        deny.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
        deny.Trustee.ptstrName = reinterpret_cast<LPSTR>(everyone);
        PACL refusing = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, SetEntriesInAclA(1, &deny, present ? dacl : nullptr, &refusing));
        auto freeAcl = quilo::scope_exit([&] { LocalFree(refusing); });

        SECURITY_DESCRIPTOR security;
        ASSERT_TRUE(InitializeSecurityDescriptor(&security, SECURITY_DESCRIPTOR_REVISION));
        ASSERT_TRUE(SetSecurityDescriptorOwner(&security, system, FALSE));
        ASSERT_TRUE(SetSecurityDescriptorDacl(&security, TRUE, refusing, FALSE));
        ASSERT_EQ(ERROR_SUCCESS,
                  RegSetKeySecurity(key.get(), OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &security))
            << path;

        if (!subtree) return;
        for (const std::string &name : subkeys(path)) {
            refuse(path + "\\" + name, denied, true);
            if (::testing::Test::HasFatalFailure()) return;
        }
    }

    void restore()
    {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            UniqueHkey key;
            LONG error = RegOpenKeyExA(HKEY_CLASSES_ROOT, it->path.c_str(), 0, WRITE_DAC | WRITE_OWNER, key.put());
            if (error == ERROR_SUCCESS) error = RegSetKeySecurity(key.get(), kParts, it->security.data());
            EXPECT_EQ(ERROR_SUCCESS, error) << "security of " << it->path << " not restored";
        }
        saved_.clear();
    }

private:
    static constexpr SECURITY_INFORMATION kParts =
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    struct Saved
    {
        std::string path;
        std::vector<BYTE> security;
    };
    std::vector<Saved> saved_;
};

constexpr DWORD kWrites = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | DELETE;

// Everything registration touches, with the type library's keys.
std::string full_dump() { return tree_dump() + dump(typelib_key()); }

// A user without administrator rights registering over an administrator's registration.
TEST_F(RegistrationTest, RefusedWritesFailTheExportsAndRegsvr32AndChangeNothing)
{
    ASSERT_EQ(S_OK, quilo::test::register_component());
    const std::string registered = full_dump();
    {
        RefusedKeys refused;
        for (const std::string &path : {std::string(kProgId), std::string(kIndependentProgId), class_key(), typelib_key()})
            ASSERT_NO_FATAL_FAILURE(refused.refuse(path, kWrites));
        ASSERT_NO_FATAL_FAILURE(refused.refuse("CLSID", kWrites, false));

        EXPECT_EQ(kAccessDenied, quilo::test::register_component());
        EXPECT_EQ(registered, full_dump());
        EXPECT_EQ(kAccessDenied, quilo::test::unregister_component());
        EXPECT_EQ(registered, full_dump());
        EXPECT_EQ(S_OK, load_registered_library(0x409));

        // The refusal reaches a process of its own: regsvr32 reports the failure in its exit code.
        EXPECT_TRUE(regsvr32("/s", kRegsvr32ServerFailed));
        EXPECT_TRUE(regsvr32("/s /u", kRegsvr32ServerFailed));
        EXPECT_EQ(registered, full_dump());
    }
    ASSERT_EQ(S_OK, quilo::test::register_component());
    EXPECT_EQ(registered, full_dump());
    expect_activation();
}

// Nothing is rolled back: the ProgID keys written before the refusal stay, and the next
// registration with the rights to write completes the tree.
TEST_F(RegistrationTest, RefusedClassesKeyLeavesAPartialRegistrationThatALaterOneRepairs)
{
    {
        RefusedKeys refused;
        ASSERT_NO_FATAL_FAILURE(refused.refuse("CLSID", kWrites, false));
        EXPECT_EQ(kAccessDenied, quilo::test::register_component());
        EXPECT_TRUE(key_exists(std::string(kProgId) + "\\CLSID"));
        EXPECT_TRUE(key_exists(std::string(kIndependentProgId) + "\\CurVer"));
        EXPECT_FALSE(key_exists(class_key()));
        EXPECT_FALSE(SUCCEEDED(load_registered_library(0x409)));
        EXPECT_TRUE(regsvr32("/s", kRegsvr32ServerFailed));
        EXPECT_FALSE(key_exists(class_key()));
    }
    ASSERT_EQ(S_OK, quilo::test::register_component());
    expect_registered_tree(QUILO_MODULE_PATH);
    EXPECT_EQ(S_OK, load_registered_library(0x409));
    expect_activation();
}

// Keys that may be written but not deleted: unregistration, and registration's replacement of
// the class key, fail on the first refused delete.
TEST_F(RegistrationTest, RefusedDeletesFailBothExports)
{
    ASSERT_EQ(S_OK, quilo::test::register_component());
    const std::string registered = full_dump();
    {
        RefusedKeys refused;
        for (const std::string &path : {std::string(kProgId), std::string(kIndependentProgId), class_key(), typelib_key()})
            ASSERT_NO_FATAL_FAILURE(refused.refuse(path, DELETE));

        EXPECT_EQ(kAccessDenied, quilo::test::unregister_component());
        EXPECT_EQ(registered, full_dump());
        EXPECT_EQ(kAccessDenied, quilo::test::register_component());
        EXPECT_EQ(registered, full_dump());
        EXPECT_TRUE(regsvr32("/s /u", kRegsvr32ServerFailed));
        EXPECT_EQ(registered, full_dump());
    }
    ASSERT_EQ(S_OK, quilo::test::unregister_component());
    expect_tree_absent();
    EXPECT_FALSE(SUCCEEDED(load_registered_library(0x409)));
}

// The type library's keys alone refuse: the exports return exactly what the platform's type
// library functions answer to the same refusal, after the class tree has been handled.
TEST_F(RegistrationTest, RefusedTypeLibraryKeysFailWithThePlatformsOwnResult)
{
    ASSERT_EQ(S_OK, quilo::test::register_component());
    RefusedKeys refused;
    ASSERT_NO_FATAL_FAILURE(refused.refuse(typelib_key(), kWrites));

    // The platform's own answers for the library read from the module file by the test itself,
    // registered from that file with the module's folder as its help directory.
    std::wstring path = quilo::test::widen(QUILO_MODULE_PATH);
    std::wstring helpDir = quilo::test::widen(folder_of(QUILO_MODULE_PATH));
    ComPtr<ITypeLib> library;
    ASSERT_EQ(S_OK, LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put()));
    const HRESULT registerResult = RegisterTypeLib(library.get(), &path[0], &helpDir[0]);
    TLIBATTR *attr = nullptr;
    ASSERT_EQ(S_OK, library->GetLibAttr(&attr));
    const HRESULT unregisterResult =
        UnRegisterTypeLib(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid, attr->syskind);
    library->ReleaseTLibAttr(attr);
    library.reset();
    ASSERT_TRUE(FAILED(registerResult)) << std::hex << registerResult;
    ASSERT_TRUE(FAILED(unregisterResult)) << std::hex << unregisterResult;

    EXPECT_EQ(registerResult, quilo::test::register_component());
    expect_registered_tree(QUILO_MODULE_PATH);
    EXPECT_EQ(unregisterResult, quilo::test::unregister_component());
    expect_tree_absent();
    EXPECT_EQ(S_OK, load_registered_library(0x409));

    refused.restore();
    EXPECT_EQ(S_OK, quilo::test::unregister_component());
    EXPECT_FALSE(SUCCEEDED(load_registered_library(0x409)));
}

} // namespace
