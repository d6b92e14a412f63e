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

namespace {

// A PE file read as bytes, so that the 64-bit suite can check the 32-bit build's files, which
// it cannot load: headers, machine type and export names.
struct PeFile
{
    std::string bytes;
    const IMAGE_FILE_HEADER *header = nullptr;
    WORD magic = 0;
    IMAGE_DATA_DIRECTORY exports{};
    std::vector<IMAGE_SECTION_HEADER> sections;

    // The file's bytes at a relative virtual address, or null outside every section.
    const char *at(DWORD rva) const
    {
        for (const auto &s : sections)
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.SizeOfRawData) {
                size_t offset = rva - s.VirtualAddress + s.PointerToRawData;
                return offset < bytes.size() ? bytes.data() + offset : nullptr;
            }
        return nullptr;
    }
};

::testing::AssertionResult read_pe(const std::string &path, PeFile &pe)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return ::testing::AssertionFailure() << path << " cannot be opened (" << GetLastError() << "): scripts/build builds both trees";
    DWORD size = GetFileSize(file, nullptr), got = 0;
    pe.bytes.resize(size);
    BOOL ok = ReadFile(file, &pe.bytes[0], size, &got, nullptr);
    CloseHandle(file);
    if (!ok || got != size) return ::testing::AssertionFailure() << path << " cannot be read";

    const auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(pe.bytes.data());
    if (size < sizeof(*dos) || dos->e_magic != IMAGE_DOS_SIGNATURE) return ::testing::AssertionFailure() << path << " has no MZ header";
    size_t nt = static_cast<size_t>(dos->e_lfanew);
    if (nt + 4 + sizeof(IMAGE_FILE_HEADER) + sizeof(IMAGE_OPTIONAL_HEADER64) > size ||
        std::memcmp(pe.bytes.data() + nt, "PE\0\0", 4) != 0)
        return ::testing::AssertionFailure() << path << " has no PE signature";
    pe.header = reinterpret_cast<const IMAGE_FILE_HEADER *>(pe.bytes.data() + nt + 4);
    const char *optional = reinterpret_cast<const char *>(pe.header + 1);
    std::memcpy(&pe.magic, optional, sizeof(pe.magic));
    if (pe.magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC)
        pe.exports = reinterpret_cast<const IMAGE_OPTIONAL_HEADER32 *>(optional)->DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    else if (pe.magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC)
        pe.exports = reinterpret_cast<const IMAGE_OPTIONAL_HEADER64 *>(optional)->DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    else
        return ::testing::AssertionFailure() << path << " has optional header magic " << pe.magic;
    const auto *section = reinterpret_cast<const IMAGE_SECTION_HEADER *>(optional + pe.header->SizeOfOptionalHeader);
    if (reinterpret_cast<const char *>(section + pe.header->NumberOfSections) > pe.bytes.data() + size)
        return ::testing::AssertionFailure() << path << " has a cut-off section table";
    pe.sections.assign(section, section + pe.header->NumberOfSections);
    return ::testing::AssertionSuccess();
}

// The export names of a DLL, as the file lists them; its own name in *dllName.
std::vector<std::string> export_names(const PeFile &pe, std::string *dllName)
{
    std::vector<std::string> names;
    const auto *dir = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY *>(pe.at(pe.exports.VirtualAddress));
    if (!dir) return names;
    if (const char *n = pe.at(dir->Name)) *dllName = n;
    const auto *nameRvas = reinterpret_cast<const DWORD *>(pe.at(dir->AddressOfNames));
    for (DWORD i = 0; nameRvas && i < dir->NumberOfNames; ++i)
        if (const char *n = pe.at(nameRvas[i])) names.emplace_back(n);
    return names;
}

struct BuildFiles
{
    const char *name;
    std::string bin;
    WORD machine;
    WORD magic;
    friend void PrintTo(const BuildFiles &b, std::ostream *os) { *os << b.name << " " << b.bin; }
};

std::string build_name(const ::testing::TestParamInfo<BuildFiles> &info) { return info.param.name; }

class BuiltFiles : public ::testing::TestWithParam<BuildFiles>
{
};

TEST_P(BuiltFiles, EveryModuleAndToolIsOfItsBuildsMachineType)
{
    const char *files[] = {"QuiloVideo.ocx", "QuiloTestCamera.ax", "quilo-grab.exe", "quilo-testcam.exe",
                           "quilo-view.exe", "quilo-bench.exe", "quilo-soak.exe", "quilo-testcam-rate.exe"};
    for (const char *f : files) {
        SCOPED_TRACE(f);
        PeFile pe;
        ASSERT_TRUE(read_pe(GetParam().bin + "\\" + f, pe));
        EXPECT_EQ(GetParam().machine, pe.header->Machine);
        EXPECT_EQ(GetParam().magic, pe.magic);
    }
}

TEST_P(BuiltFiles, DllExportsAreUndecorated)
{
    PeFile pe;
    ASSERT_TRUE(read_pe(GetParam().bin + "\\QuiloVideo.ocx", pe));
    EXPECT_TRUE(pe.header->Characteristics & IMAGE_FILE_DLL);
    std::string dllName;
    const std::vector<std::string> expected = {"DllCanUnloadNow", "DllGetClassObject", "DllMain",
                                               "DllRegisterServer", "DllUnregisterServer"};
    EXPECT_EQ(expected, export_names(pe, &dllName));
    EXPECT_EQ("QuiloVideo.ocx", dllName);

    PeFile camera;
    ASSERT_TRUE(read_pe(GetParam().bin + "\\QuiloTestCamera.ax", camera));
    std::vector<std::string> names = export_names(camera, &dllName);
    ASSERT_FALSE(names.empty());
    for (const auto &n : names) EXPECT_EQ(std::string::npos, n.find('@')) << n;
}

const BuildFiles kWin32Files{"win32", QUILO_WIN32_BIN_DIR, IMAGE_FILE_MACHINE_I386, IMAGE_NT_OPTIONAL_HDR32_MAGIC};
#ifdef _WIN64
// The 32-bit build is checked here as data on every machine, including those that cannot run it.
INSTANTIATE_TEST_SUITE_P(Build, BuiltFiles,
                         ::testing::Values(BuildFiles{"win64", QUILO_BIN_DIR, IMAGE_FILE_MACHINE_AMD64, IMAGE_NT_OPTIONAL_HDR64_MAGIC},
                                           kWin32Files),
                         build_name);
#else
INSTANTIATE_TEST_SUITE_P(Build, BuiltFiles, ::testing::Values(kWin32Files), build_name);
#endif

} // namespace
