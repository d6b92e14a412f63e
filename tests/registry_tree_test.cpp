// The registration routines below the exports: variable expansion, the tree walk on a test
// key of its own, and where the type library is loaded from.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <string>

#include "QuiloVideo.h"
#include "common/Handle.h"
#include "shell/RegistryTree.h"
#include "shell/ReplacementVariables.h"
#include "shell/TypeLibRegistration.h"
#include "support/TestSupport.h"

namespace {

using quilo::UniqueHkey;
using namespace quilo::shell;

// --- Replacement variables -----------------------------------------------------------------

std::string expanded(const ReplacementVariables &vars, const char *text, HRESULT expected = S_OK)
{
    std::string out;
    EXPECT_EQ(expected, vars.expand(text, out)) << text;
    return out;
}

TEST(ReplacementVariables, ExpandNamesWithoutRegardToCaseAndDoubledPercent)
{
    ReplacementVariables vars;
    ASSERT_EQ(S_OK, vars.add("Module", "C:\\m.ocx"));
    ASSERT_EQ(S_OK, vars.add("APPID", ""));
    EXPECT_EQ("C:\\m.ocx", expanded(vars, "%MODULE%"));
    EXPECT_EQ("[C:\\m.ocx][]", expanded(vars, "[%module%][%AppId%]"));
    EXPECT_EQ("100%", expanded(vars, "100%%"));
    EXPECT_EQ("%Module%", expanded(vars, "%%Module%%"));
    EXPECT_EQ("no variables", expanded(vars, "no variables"));
}

TEST(ReplacementVariables, UnknownOverlongOrUnterminatedNamesFail)
{
    ReplacementVariables vars;
    const std::string name31(31, 'n'), name32(32, 'n');
    ASSERT_EQ(S_OK, vars.add(name31.c_str(), "31"));
    ASSERT_EQ(S_OK, vars.add(name32.c_str(), "32"));
    EXPECT_EQ("31", expanded(vars, ("%" + name31 + "%").c_str()));
    expanded(vars, ("%" + name32 + "%").c_str(), E_FAIL);
    expanded(vars, "%Unknown%", E_FAIL);
    expanded(vars, "50%", E_FAIL);
    expanded(vars, "%", E_FAIL);
}

TEST(ReplacementVariables, ModuleVariablesOfALibraryAndOfAnExecutable)
{
    HMODULE library = LoadLibraryA(QUILO_MODULE_PATH);
    ASSERT_NE(nullptr, library);
    ReplacementVariables vars;
    ASSERT_EQ(S_OK, make_module_variables(library, LIBID_QuiloVideo, "Friendly", vars));
    FreeLibrary(library);
    EXPECT_EQ(QUILO_MODULE_PATH, expanded(vars, "%Module%"));
    EXPECT_EQ(QUILO_MODULE_PATH, expanded(vars, "%Module_Raw%"));
    EXPECT_EQ("InprocServer32", expanded(vars, "%MODULETYPE%"));
    EXPECT_EQ("{9DDB99BC-C6B4-4741-AF3D-4EA83F2AF613}", expanded(vars, "%MODULEGUID%"));
    EXPECT_EQ("", expanded(vars, "%APPID%"));
    EXPECT_EQ("Friendly", expanded(vars, "%FriendlyName%"));

    // An executable's path is a command line: quoted, and served as a local server.
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    ReplacementVariables exe;
    ASSERT_EQ(S_OK, make_module_variables(GetModuleHandleA(nullptr), LIBID_QuiloVideo, "Friendly", exe));
    EXPECT_EQ("\"" + std::string(self) + "\"", expanded(exe, "%Module%"));
    EXPECT_EQ(self, expanded(exe, "%Module_Raw%"));
    EXPECT_EQ("LocalServer32", expanded(exe, "%MODULETYPE%"));
}

// --- The tree walk, on a key of the test's own --------------------------------------------

constexpr char kRoot[] = "Software\\QuiloTreeTest";

class TreeWalkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, kRoot);
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kRoot, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                                 root_.put(), nullptr));
        ASSERT_EQ(S_OK, vars_.add("Name", "Named"));
        ASSERT_EQ(S_OK, vars_.add("Text", "expanded"));
    }
    void TearDown() override
    {
        root_.reset();
        RegDeleteTreeA(HKEY_CURRENT_USER, kRoot);
    }

    template <size_t N>
    HRESULT walk(const RegistryNode (&tree)[N], bool doRegister)
    {
        return walk_registry_tree(root_.get(), tree, N, vars_, doRegister);
    }

    bool exists(const std::string &path)
    {
        UniqueHkey key;
        return RegOpenKeyExA(root_.get(), path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
    }
    void create(const std::string &path)
    {
        UniqueHkey key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root_.get(), path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                                 key.put(), nullptr));
    }
    std::string text(const std::string &path, const char *name)
    {
        char data[256] = {};
        DWORD size = sizeof(data), type = 0;
        UniqueHkey key;
        if (RegOpenKeyExA(root_.get(), path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return "<no key>";
        if (RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE *>(data), &size) != ERROR_SUCCESS)
            return "<no value>";
        return type == REG_SZ ? std::string(data) : "<not REG_SZ>";
    }

    UniqueHkey root_;
    ReplacementVariables vars_;
};

constexpr auto K = NodeType::Key;
constexpr auto V = NodeType::Value;
constexpr auto Plain = KeyKind::Plain;
constexpr auto Force = KeyKind::ForceReplaced;
constexpr auto Keep = KeyKind::NeverRemoved;

const RegistryNode kTree[] = {
    {0, K, Keep, "Shared", nullptr, false},
    {1, K, Force, "Replaced", "%Text%", true},
    {2, K, Plain, "%Name%", "100%% literal", true},
    {3, V, Plain, "Inner", "inner value", false},
    {2, V, Plain, "%Name%Value", "%Text%", true},
    {2, K, Plain, "Leaf", "%Text%", false},
    {0, K, Plain, "Updated", "plain", false},
    {1, K, Plain, "Child", nullptr, false},
    {0, K, Keep, "Kept", nullptr, false},
    {1, K, Plain, "LoneLeaf", "leaf", false},
};

TEST_F(TreeWalkTest, RegistrationWritesKeysValuesAndReplacesOnlyForceReplacedKeys)
{
    create("Shared\\Replaced\\Stray");
    create("Updated\\Stray");
    ASSERT_EQ(S_OK, walk(kTree, true));

    EXPECT_EQ("expanded", text("Shared\\Replaced", nullptr));
    EXPECT_EQ("100% literal", text("Shared\\Replaced\\Named", nullptr));
    // A named value belongs to the key whose entries are walked, not to the key before it.
    EXPECT_EQ("inner value", text("Shared\\Replaced\\Named", "Inner"));
    EXPECT_EQ("expanded", text("Shared\\Replaced", "NamedValue"));
    EXPECT_EQ("<no value>", text("Shared\\Replaced\\Named", "NamedValue"));
    // Texts not marked as holding variables are written as they are.
    EXPECT_EQ("%Text%", text("Shared\\Replaced\\Leaf", nullptr));
    EXPECT_FALSE(exists("Shared\\Replaced\\Stray"));
    EXPECT_TRUE(exists("Updated\\Stray"));
    EXPECT_TRUE(exists("Updated\\Child"));
}

TEST_F(TreeWalkTest, UnregistrationDeletesKeysWithEntriesAndKeepsSharedOnes)
{
    ASSERT_EQ(S_OK, walk(kTree, true));
    create("Shared\\Other");
    ASSERT_EQ(S_OK, walk(kTree, false));

    EXPECT_TRUE(exists("Shared"));
    EXPECT_TRUE(exists("Shared\\Other"));
    EXPECT_FALSE(exists("Shared\\Replaced"));
    EXPECT_FALSE(exists("Updated"));
    // A key without entries of its own is left to its parent; under a kept key it stays.
    EXPECT_TRUE(exists("Kept\\LoneLeaf"));

    // Nothing left to remove is not an error.
    EXPECT_EQ(S_OK, walk(kTree, false));
}

TEST_F(TreeWalkTest, FailureStopsTheWalkAndKeepsWhatWasWritten)
{
    const RegistryNode broken[] = {
        {0, K, Plain, "First", "one", false},
        {0, K, Plain, "Second", "%Missing%", true},
        {0, K, Plain, "Third", "three", false},
    };
    EXPECT_EQ(E_FAIL, walk(broken, true));
    EXPECT_EQ("one", text("First", nullptr));
    EXPECT_TRUE(exists("Second"));
    EXPECT_FALSE(exists("Third"));

    const RegistryNode unterminated[] = {{0, K, Plain, "Bad%Name", nullptr, true}};
    EXPECT_EQ(E_FAIL, walk(unterminated, true));
    EXPECT_EQ(E_FAIL, walk(unterminated, false));
}

// --- Where the type library comes from ------------------------------------------------------

TEST(TypeLibraryFile, TlbBesideTheModuleIsTheFallback)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string dir = std::string(temp) + "quilo-tlb-fallback";
    CreateDirectoryA(dir.c_str(), nullptr);
    const std::string tlb = dir + "\\Absent.tlb";
    DeleteFileA(tlb.c_str());

    quilo::ComPtr<ITypeLib> library;
    std::wstring from;
    EXPECT_TRUE(FAILED(load_type_library(dir + "\\Absent.ocx", library, from)));
    EXPECT_FALSE(library);

    // The module's own library, written out as a file.
    HMODULE module = LoadLibraryExA(QUILO_MODULE_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module);
    HRSRC res = FindResourceA(module, MAKEINTRESOURCEA(1), "TYPELIB");
    ASSERT_NE(nullptr, res);
    {
        std::ofstream file(tlb, std::ios::binary);
        file.write(static_cast<const char *>(LockResource(LoadResource(module, res))), SizeofResource(module, res));
    }
    FreeLibrary(module);

    for (const char *name : {"\\Absent.ocx", "\\Absent"}) {
        ASSERT_EQ(S_OK, load_type_library(dir + name, library, from)) << name;
        EXPECT_EQ(quilo::test::widen(tlb), from);
        TLIBATTR *attr = nullptr;
        ASSERT_EQ(S_OK, library->GetLibAttr(&attr));
        EXPECT_TRUE(IsEqualGUID(LIBID_QuiloVideo, attr->guid));
        library->ReleaseTLibAttr(attr);
        library.reset();
    }
    DeleteFileA(tlb.c_str());
    RemoveDirectoryA(dir.c_str());

    ASSERT_EQ(S_OK, load_type_library(QUILO_MODULE_PATH, library, from));
    EXPECT_EQ(quilo::test::widen(QUILO_MODULE_PATH), from);
}

TEST(TypeLibraryFile, HelpDirectoryIsThePathUpToItsLastSeparator)
{
    EXPECT_EQ(L"C:\\dir\\", help_directory(L"C:\\dir\\QuiloVideo.ocx"));
    EXPECT_EQ(L"C:/a/", help_directory(L"C:/a/b.ocx"));
    EXPECT_EQ(L"C:", help_directory(L"C:b.ocx"));
    EXPECT_EQ(L"", help_directory(L"QuiloVideo.ocx"));
    // Only the first 259 characters are looked at.
    const std::wstring head = L"C:\\" + std::wstring(256, L'x');
    EXPECT_EQ(L"C:\\", help_directory(head + L"\\tail.ocx"));
}

} // namespace
