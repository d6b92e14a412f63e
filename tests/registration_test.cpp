// Registration of the module, checked key by key in the real registry: through Wine's own
// regsvr32 and through the exports, and the type library that goes with it.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <map>
#include <string>
#include <vector>

#include "QuiloVideo.h"
#include "common/ComPtr.h"
#include "common/Handle.h"
#include "support/ComponentRegistration.h"
#include "support/TestSupport.h"

namespace {

using quilo::ComPtr;
using quilo::UniqueHkey;

constexpr char kProgId[] = "QuiloVideo.CQuiloVideoProc.1";
constexpr char kIndependentProgId[] = "QuiloVideo.CQuiloVideoProc";
constexpr char kFriendlyName[] = "CCQuiloVideoProc Object";
constexpr HRESULT kPathTooLong = static_cast<HRESULT>(0x8007007A);

std::string guid_text(REFGUID guid)
{
    LPOLESTR wide = nullptr;
    if (FAILED(StringFromCLSID(guid, &wide))) return {};
    std::string text = quilo::test::narrow(wide);
    CoTaskMemFree(wide);
    return text;
}

const std::string &clsid() { static const std::string s = guid_text(CLSID_CCQuiloVideoProc); return s; }
const std::string &libid() { static const std::string s = guid_text(LIBID_QuiloVideo); return s; }
std::string class_key() { return "CLSID\\" + clsid(); }
std::string typelib_key() { return "TypeLib\\" + libid(); }

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
    }
    static void TearDownTestSuite() { EXPECT_EQ(S_OK, quilo::test::register_component()); }
};

TEST_F(RegistrationTest, Regsvr32WritesTheTreeAndTheTypeLibrary)
{
    ASSERT_FALSE(SUCCEEDED(load_registered_library(0x409)));
    const std::string command = std::string("C:\\windows\\system32\\regsvr32.exe /s ") + QUILO_MODULE_PATH;
    ASSERT_EQ(0u, quilo::test::run_program(command));
    expect_registered_tree(QUILO_MODULE_PATH);
    EXPECT_EQ(S_OK, load_registered_library(0x409));

    ASSERT_EQ(0u, quilo::test::run_program(std::string("C:\\windows\\system32\\regsvr32.exe /s /u ") + QUILO_MODULE_PATH));
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
    const HRESULT hr = quilo::test::unregister_component();
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    expect_tree_absent();
    EXPECT_TRUE(key_exists("CLSID"));
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
    BSTR path = nullptr;
    ASSERT_EQ(S_OK, QueryPathOfRegTypeLib(LIBID_QuiloVideo, 1, 0, 0x409, &path));
    EXPECT_EQ(QUILO_MODULE_PATH, quilo::test::narrow(path));
    SysFreeString(path);
}

// --- Module paths at the 260-character limit -------------------------------------------------

// A copy of the module at a path of exactly `length` characters, loaded for the test.
class ModuleCopy
{
public:
    explicit ModuleCopy(size_t length)
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        dir_ = std::wstring(temp) + L"quilo-path";
        CreateDirectoryW(dir_.c_str(), nullptr);
        const std::wstring file = L"\\QuiloVideo.ocx";
        const size_t fill = length - dir_.size() - 1 - file.size();
        sub_ = dir_ + L"\\" + std::wstring(fill, L'd');
        path_ = sub_ + file;
        CreateDirectoryW(sub_.c_str(), nullptr);
        CopyFileW(quilo::test::widen(QUILO_MODULE_PATH).c_str(), path_.c_str(), FALSE);
        module_ = LoadLibraryW(path_.c_str());
    }
    ~ModuleCopy()
    {
        if (module_) FreeLibrary(module_);
        DeleteFileW(path_.c_str());
        RemoveDirectoryW(sub_.c_str());
        RemoveDirectoryW(dir_.c_str());
    }

    HMODULE module() const { return module_; }
    std::string path() const { return quilo::test::narrow(path_.c_str(), CP_ACP); }
    HRESULT call(const char *name) const
    {
        auto entry = reinterpret_cast<HRESULT(WINAPI *)()>(reinterpret_cast<void *>(GetProcAddress(module_, name)));
        return entry ? entry() : E_FAIL;
    }

private:
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

} // namespace
