// The module's identity as the platform's loader and resource functions read it.
#include <gtest/gtest.h>
#include <windows.h>
#include <imagehlp.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace {

constexpr WORD kChineseSimplified = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED); // 2052

class ModuleFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        module = LoadLibraryExA(QUILO_MODULE_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, module) << GetLastError();
    }
    void TearDown() override { FreeLibrary(module); }

    std::string resource_bytes(LPCSTR type, LPCSTR name, WORD lang)
    {
        HRSRC res = FindResourceExA(module, type, name, lang);
        if (!res) return {};
        HGLOBAL mem = LoadResource(module, res);
        auto *p = static_cast<const char *>(LockResource(mem));
        return std::string(p, SizeofResource(module, res));
    }

    HMODULE module = nullptr;
};

TEST_F(ModuleFile, TypeLibraryIsResourceOneInEnglish)
{
    EXPECT_NE(nullptr, FindResourceExA(module, "TYPELIB", MAKEINTRESOURCEA(1), 0x409));
    std::string tlb = resource_bytes("TYPELIB", MAKEINTRESOURCEA(1), 0x409);
    ASSERT_GE(tlb.size(), 4u);
    EXPECT_EQ("MSFT", tlb.substr(0, 4));
}

TEST_F(ModuleFile, StringHundredIsTheModuleName)
{
    // String tables are stored in blocks of 16: string 100 lives in block 7.
    EXPECT_NE(nullptr, FindResourceExA(module, MAKEINTRESOURCEA(6), MAKEINTRESOURCEA(100 / 16 + 1), kChineseSimplified));
    char text[64] = {};
    ASSERT_EQ(10, LoadStringA(module, 100, text, sizeof(text)));
    EXPECT_STREQ("QuiloVideo", text);
}

TEST_F(ModuleFile, VersionResourceInChinese)
{
    EXPECT_NE(nullptr, FindResourceExA(module, MAKEINTRESOURCEA(16), MAKEINTRESOURCEA(1), kChineseSimplified));

    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(QUILO_MODULE_PATH, &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(QUILO_MODULE_PATH, 0, size, info.data()));

    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void **>(&fixed), &len));
    EXPECT_EQ(MAKELONG(0, 1), fixed->dwFileVersionMS);
    EXPECT_EQ(MAKELONG(1, 0), fixed->dwFileVersionLS);
    EXPECT_EQ(MAKELONG(0, 1), fixed->dwProductVersionMS);
    EXPECT_EQ(MAKELONG(1, 0), fixed->dwProductVersionLS);

    WORD *translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void **>(&translation), &len));
    ASSERT_GE(len, 4u);
    EXPECT_EQ(kChineseSimplified, translation[0]);

    auto value = [&](const char *name) -> std::string {
        char path[128];
        wsprintfA(path, "\\StringFileInfo\\%04x%04x\\%s", translation[0], translation[1], name);
        char *text = nullptr;
        UINT n = 0;
        if (!VerQueryValueA(info.data(), path, reinterpret_cast<void **>(&text), &n)) return "<missing>";
        return text;
    };
    EXPECT_EQ("QuiloVideo.dll", value("InternalName"));
    EXPECT_EQ("QuiloVideo.dll", value("OriginalFilename"));
    EXPECT_EQ("1.0.0.1", value("FileVersion"));
    EXPECT_EQ("1.0.0.1", value("ProductVersion"));
}

TEST(ModuleImage, ExportsAreUndecoratedUnderTheOcxName)
{
    HMODULE module = LoadLibraryA(QUILO_MODULE_PATH);
    ASSERT_NE(nullptr, module) << GetLastError();
    ULONG size = 0;
    auto *exports = static_cast<IMAGE_EXPORT_DIRECTORY *>(
        ImageDirectoryEntryToData(module, TRUE, IMAGE_DIRECTORY_ENTRY_EXPORT, &size));
    ASSERT_NE(nullptr, exports);
    const char *base = reinterpret_cast<const char *>(module);
    EXPECT_STREQ("QuiloVideo.ocx", base + exports->Name);

    std::vector<std::string> names;
    auto *nameRvas = reinterpret_cast<const DWORD *>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) names.emplace_back(base + nameRvas[i]);
    const std::vector<std::string> expected = {"DllCanUnloadNow", "DllGetClassObject", "DllMain",
                                               "DllRegisterServer", "DllUnregisterServer"};
    EXPECT_EQ(expected, names);
    for (const auto &n : expected) EXPECT_NE(nullptr, GetProcAddress(module, n.c_str())) << n;

    auto *nt = ImageNtHeader(module);
    ASSERT_NE(nullptr, nt);
#ifdef _WIN64
    EXPECT_EQ(IMAGE_FILE_MACHINE_AMD64, nt->FileHeader.Machine);
    EXPECT_EQ(IMAGE_NT_OPTIONAL_HDR64_MAGIC, nt->OptionalHeader.Magic); // PE32+
#else
    EXPECT_EQ(IMAGE_FILE_MACHINE_I386, nt->FileHeader.Machine);
    EXPECT_EQ(IMAGE_NT_OPTIONAL_HDR32_MAGIC, nt->OptionalHeader.Magic);
#endif
    EXPECT_TRUE(nt->FileHeader.Characteristics & IMAGE_FILE_DLL);
    FreeLibrary(module);
}

} // namespace
