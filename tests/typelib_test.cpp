// The embedded type library as a host reads it through OLE Automation.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "QuiloCamera.h"
#include "interface/QuiloCameraDefaults.h"
#include "QuiloVideo.h"
#include "common/ComPtr.h"
#include "support/TestSupport.h"

using quilo::ComPtr;

namespace {

const wchar_t kMethodPrefix[] = L"\u65b9\u6cd5"; // "方法"
// The help strings read back as Chinese text only in a host whose ANSI code page is 936.
const char kCodePageNote[] = "help string read with ANSI code page ";

struct Param
{
    const wchar_t *name;
    USHORT flags;   // PARAMFLAG_FIN or PARAMFLAG_FOUT
    VARTYPE vt;     // VT_PTR for pointers
    VARTYPE pointee;
};

struct Method
{
    const wchar_t *name;
    std::vector<Param> params;
};

constexpr USHORT kIn = PARAMFLAG_FIN;
constexpr USHORT kOut = PARAMFLAG_FOUT;

const std::vector<Method> &method_table()
{
    static const std::vector<Method> table = {
        {L"createCapture", {{L"deviceID", kIn, VT_I4, 0}, {L"bFlipImageHorizontally", kIn, VT_BOOL, 0},
                            {L"bSetCameraParam", kIn, VT_BOOL, 0}, {L"width", kIn, VT_I4, 0},
                            {L"height", kIn, VT_I4, 0}}},
        {L"Grab", {{L"imageStruct", kOut, VT_PTR, VT_USERDEFINED}}},
        {L"destroyCapture", {}},
        {L"startCapture", {}},
        {L"GetCameraBrightnessParam", {{L"iBrightnessParam", kOut, VT_PTR, VT_I4}}},
        {L"GetCameraContrastParam", {{L"iContrastParam", kOut, VT_PTR, VT_I4}}},
        {L"GetCameraHueParam", {{L"iHueParam", kOut, VT_PTR, VT_I4}}},
        {L"GetCameraSaturationParam", {{L"iSaturationParam", kOut, VT_PTR, VT_I4}}},
        {L"GetCameraSharpnessParam", {{L"iSharpnessParam", kOut, VT_PTR, VT_I4}}},
        {L"GetCameraWhiteBlanceParam", {{L"iWhiteBlanceParam", kOut, VT_PTR, VT_I4}}},
        {L"GetCameraBacklightCompensationParam", {{L"iBacklightCompensationParam", kOut, VT_PTR, VT_I4}}},
        {L"GetVideoStandParam", {{L"VideoStandParam", kOut, VT_PTR, VT_UI1}}},
        {L"IsCameraSupportBrightness", {{L"bSupportBrightness", kOut, VT_PTR, VT_BOOL}}},
        {L"IsCameraSupportContrast", {{L"bSupportContrast", kOut, VT_PTR, VT_BOOL}}},
        {L"IsCaneraSupportHue", {{L"bSupportHue", kOut, VT_PTR, VT_BOOL}}},
        {L"IsCameraSupportSaturation", {{L"bSupportSaturation", kOut, VT_PTR, VT_BOOL}}},
        {L"IsCameraSupportSharpness", {{L"bSupportSharpness", kOut, VT_PTR, VT_BOOL}}},
        {L"IsCameraSupportGamma", {{L"bSupportGamma", kOut, VT_PTR, VT_BOOL}}},
        {L"IsCameraSupportWhiteBalance", {{L"bSupportWhiteBalance", kOut, VT_PTR, VT_BOOL}}},
        {L"IsCameraSupportBacklightCompensation", {{L"bSupportBacklightCompensation", kOut, VT_PTR, VT_BOOL}}},
        {L"SetCameraBrightnessParam", {{L"iBrightnessParam", kIn, VT_I4, 0}}},
        {L"SetCameraContrastParam", {{L"iContrastParam", kIn, VT_I4, 0}}},
        {L"SetCameraHueParam", {{L"iHueParam", kIn, VT_I4, 0}}},
        {L"SetCameraSaturationParam", {{L"iSaturationParam", kIn, VT_I4, 0}}},
        {L"SetCameraSharpnessParam", {{L"iSharpnessParam", kIn, VT_I4, 0}}},
        {L"SetCameraGammaParam", {{L"iGammaParam", kIn, VT_I4, 0}}},
        {L"SetCameraWhiteBalance", {{L"iCameraWhiteBalanceParam", kIn, VT_I4, 0}}},
        {L"SetCameraBlacklightCompansationParam", {{L"iBlacklightCompansationParam", kIn, VT_I4, 0}}},
        {L"SetVideoStandParam", {{L"VideoStandParam", kIn, VT_PTR, VT_UI1}}},
    };
    return table;
}

// Name and help string of a type description, or of the library itself (index -1).
struct Doc
{
    std::wstring name, help;
};

Doc library_doc(ITypeLib *lib, INT index)
{
    BSTR name = nullptr, help = nullptr;
    EXPECT_EQ(S_OK, lib->GetDocumentation(index, &name, &help, nullptr, nullptr));
    Doc d{name ? name : L"", help ? help : L""};
    SysFreeString(name);
    SysFreeString(help);
    return d;
}

Doc member_doc(ITypeInfo *info, MEMBERID id)
{
    BSTR name = nullptr, help = nullptr;
    EXPECT_EQ(S_OK, info->GetDocumentation(id, &name, &help, nullptr, nullptr));
    Doc d{name ? name : L"", help ? help : L""};
    SysFreeString(name);
    SysFreeString(help);
    return d;
}

// What a library must say about its target, as the README documents it: a 32-bit library has
// 4-byte slots and a 20-byte record, a 64-bit one 8-byte slots and a 24-byte record (the pointer
// at offset 16, aligned to 8).
struct Target
{
    const char *name;
    const char *module;
    SYSKIND sysKind;
    int slotBytes;
    ULONG recordBytes;
    WORD recordAlignment;
    friend void PrintTo(const Target &t, std::ostream *os) { *os << t.name << " " << t.module; }
};

const Target kWin32{"win32", QUILO_WIN32_BIN_DIR "\\QuiloVideo.ocx", SYS_WIN32, 4, 20, 4};
#ifdef _WIN64
const Target kWin64{"win64", QUILO_MODULE_PATH, SYS_WIN64, 8, 24, 8};
#endif

class TypeLibTest : public ::testing::TestWithParam<Target>
{
protected:
    void SetUp() override
    {
        const Target &t = GetParam();
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(t.module)) << t.module << " is missing: scripts/build builds both trees";
        ASSERT_EQ(S_OK, LoadTypeLibEx(quilo::test::widen(t.module).c_str(), REGKIND_NONE, lib.put()));
        ASSERT_EQ(3u, lib->GetTypeInfoCount());
    }

    ComPtr<ITypeInfo> info(UINT index)
    {
        ComPtr<ITypeInfo> ti;
        EXPECT_EQ(S_OK, lib->GetTypeInfo(index, ti.put()));
        return ti;
    }

    ComPtr<ITypeLib> lib;
};

std::string target_name(const ::testing::TestParamInfo<Target> &info) { return info.param.name; }

#ifdef _WIN64
// The 64-bit suite reads the 32-bit build's library as data too: LoadTypeLibEx only reads the
// module's resources, so no 32-bit code runs.
INSTANTIATE_TEST_SUITE_P(Build, TypeLibTest, ::testing::Values(kWin64, kWin32), target_name);
#else
INSTANTIATE_TEST_SUITE_P(Build, TypeLibTest, ::testing::Values(kWin32), target_name);
#endif

TEST_P(TypeLibTest, LibraryAttributes)
{
    TLIBATTR *attr = nullptr;
    ASSERT_EQ(S_OK, lib->GetLibAttr(&attr));
    EXPECT_TRUE(IsEqualGUID(attr->guid, LIBID_QuiloVideo));
    EXPECT_EQ(1, attr->wMajorVerNum);
    EXPECT_EQ(0, attr->wMinorVerNum);
    EXPECT_EQ(0x409u, attr->lcid);
    EXPECT_EQ(GetParam().sysKind, attr->syskind);
    lib->ReleaseTLibAttr(attr);

    Doc d = library_doc(lib.get(), -1);
    EXPECT_EQ(L"QuiloVideo", d.name);
    EXPECT_EQ(L"QuiloVideo 1.0 \u7c7b\u578b\u5e93", d.help) << kCodePageNote << GetACP(); // "类型库"
}

TEST_P(TypeLibTest, CoclassInterfaceRecordInThatOrder)
{
    TYPEKIND kinds[3];
    for (UINT i = 0; i < 3; ++i) ASSERT_EQ(S_OK, lib->GetTypeInfoType(i, &kinds[i]));
    EXPECT_EQ(TKIND_COCLASS, kinds[0]);
    EXPECT_EQ(TKIND_INTERFACE, kinds[1]);
    EXPECT_EQ(TKIND_RECORD, kinds[2]);
    EXPECT_EQ(L"CCQuiloVideoProc", library_doc(lib.get(), 0).name);
    EXPECT_EQ(L"ICQuiloVideoProc", library_doc(lib.get(), 1).name);
    EXPECT_EQ(L"QuiloImageStruct", library_doc(lib.get(), 2).name);
}

TEST_P(TypeLibTest, CoclassIsCreatableWithDefaultInterface)
{
    ComPtr<ITypeInfo> cls = info(0);
    TYPEATTR *attr = nullptr;
    ASSERT_EQ(S_OK, cls->GetTypeAttr(&attr));
    EXPECT_TRUE(IsEqualGUID(attr->guid, CLSID_CCQuiloVideoProc));
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FCANCREATE);
    EXPECT_EQ(1, attr->cImplTypes);
    cls->ReleaseTypeAttr(attr);
    EXPECT_EQ(L"CQuiloVideoProc Class", member_doc(cls.get(), MEMBERID_NIL).help);

    INT implFlags = 0;
    ASSERT_EQ(S_OK, cls->GetImplTypeFlags(0, &implFlags));
    EXPECT_TRUE(implFlags & IMPLTYPEFLAG_FDEFAULT);
    HREFTYPE ref = 0;
    ASSERT_EQ(S_OK, cls->GetRefTypeOfImplType(0, &ref));
    ComPtr<ITypeInfo> iface;
    ASSERT_EQ(S_OK, cls->GetRefTypeInfo(ref, iface.put()));
    ASSERT_EQ(S_OK, iface->GetTypeAttr(&attr));
    EXPECT_TRUE(IsEqualGUID(attr->guid, IID_ICQuiloVideoProc));
    iface->ReleaseTypeAttr(attr);
}

TEST_P(TypeLibTest, InterfaceDerivesFromIUnknownOnly)
{
    ComPtr<ITypeInfo> iface = info(1);
    TYPEATTR *attr = nullptr;
    ASSERT_EQ(S_OK, iface->GetTypeAttr(&attr));
    EXPECT_TRUE(IsEqualGUID(attr->guid, IID_ICQuiloVideoProc));
    EXPECT_EQ(TKIND_INTERFACE, attr->typekind);
    EXPECT_FALSE(attr->wTypeFlags & TYPEFLAG_FDUAL);
    EXPECT_FALSE(attr->wTypeFlags & TYPEFLAG_FDISPATCHABLE);
    EXPECT_FALSE(attr->wTypeFlags & TYPEFLAG_FOLEAUTOMATION);
    EXPECT_EQ(29, attr->cFuncs);
    EXPECT_EQ(32 * GetParam().slotBytes, attr->cbSizeVft);
    EXPECT_EQ(1, attr->cImplTypes);
    iface->ReleaseTypeAttr(attr);
    EXPECT_EQ(L"ICQuiloVideoProc \u63a5\u53e3", member_doc(iface.get(), MEMBERID_NIL).help) // "接口"
        << kCodePageNote << GetACP();

    HREFTYPE ref = 0;
    ASSERT_EQ(S_OK, iface->GetRefTypeOfImplType(0, &ref));
    ComPtr<ITypeInfo> base;
    ASSERT_EQ(S_OK, iface->GetRefTypeInfo(ref, base.put()));
    ASSERT_EQ(S_OK, base->GetTypeAttr(&attr));
    EXPECT_TRUE(IsEqualGUID(attr->guid, IID_IUnknown));
    base->ReleaseTypeAttr(attr);
}

TEST_P(TypeLibTest, MethodsMatchTheTableSlotBySlot)
{
    ComPtr<ITypeInfo> iface = info(1);
    const auto &table = method_table();
    ASSERT_EQ(29u, table.size());
    for (UINT i = 0; i < table.size(); ++i) {
        const Method &m = table[i];
        SCOPED_TRACE(quilo::test::narrow(m.name));
        FUNCDESC *fd = nullptr;
        ASSERT_EQ(S_OK, iface->GetFuncDesc(i, &fd));
        EXPECT_EQ(static_cast<MEMBERID>(0x60010000 + i), fd->memid);
        EXPECT_EQ(FUNC_PUREVIRTUAL, fd->funckind);
        EXPECT_EQ(CC_STDCALL, fd->callconv);
        // The reader gives slot offsets in its own pointer size (it scales a library's offsets
        // by its pointer size over the library's): back to the library's own slots.
        const int fileOffset = fd->oVft * GetParam().slotBytes / static_cast<int>(sizeof(void *));
        EXPECT_EQ((3 + static_cast<int>(i)) * GetParam().slotBytes, fileOffset);
        EXPECT_EQ(VT_HRESULT, fd->elemdescFunc.tdesc.vt);
        ASSERT_EQ(static_cast<SHORT>(m.params.size()), fd->cParams);

        BSTR names[8] = {};
        UINT count = 0;
        ASSERT_EQ(S_OK, iface->GetNames(fd->memid, names, 8, &count));
        ASSERT_EQ(m.params.size() + 1, count);
        EXPECT_STREQ(m.name, names[0]);
        for (size_t p = 0; p < m.params.size(); ++p) {
            const Param &want = m.params[p];
            const ELEMDESC &got = fd->lprgelemdescParam[p];
            EXPECT_STREQ(want.name, names[p + 1]);
            EXPECT_EQ(want.flags, got.paramdesc.wParamFlags & (PARAMFLAG_FIN | PARAMFLAG_FOUT));
            EXPECT_EQ(want.vt, got.tdesc.vt);
            if (want.vt == VT_PTR) {
                ASSERT_NE(nullptr, got.tdesc.lptdesc);
                EXPECT_EQ(want.pointee, got.tdesc.lptdesc->vt);
                if (want.pointee == VT_USERDEFINED) {
                    ComPtr<ITypeInfo> rec;
                    ASSERT_EQ(S_OK, iface->GetRefTypeInfo(got.tdesc.lptdesc->hreftype, rec.put()));
                    EXPECT_EQ(L"QuiloImageStruct", member_doc(rec.get(), MEMBERID_NIL).name);
                }
            }
        }
        for (UINT n = 0; n < count; ++n) SysFreeString(names[n]);

        std::wstring help = kMethodPrefix;
        help += (i == 1) ? L"grab" : m.name;
        EXPECT_EQ(help, member_doc(iface.get(), fd->memid).help) << kCodePageNote << GetACP();
        iface->ReleaseFuncDesc(fd);
    }
}

TEST_P(TypeLibTest, RecordHasFiveFieldsPointerLast)
{
    ComPtr<ITypeInfo> rec = info(2);
    TYPEATTR *attr = nullptr;
    ASSERT_EQ(S_OK, rec->GetTypeAttr(&attr));
    EXPECT_EQ(TKIND_RECORD, attr->typekind);
    EXPECT_EQ(5, attr->cVars);
    EXPECT_EQ(GetParam().recordBytes, attr->cbSizeInstance);
    EXPECT_EQ(GetParam().recordAlignment, attr->cbAlignment);
    rec->ReleaseTypeAttr(attr);

    const wchar_t *names[] = {L"width", L"height", L"depth", L"channels", L"data"};
    for (UINT i = 0; i < 5; ++i) {
        VARDESC *vd = nullptr;
        ASSERT_EQ(S_OK, rec->GetVarDesc(i, &vd));
        EXPECT_EQ(names[i], member_doc(rec.get(), vd->memid).name);
        // Four 4-byte numbers, then the pointer at 16 on both targets.
        EXPECT_EQ(i * 4, vd->oInst);
        if (i < 4) {
            EXPECT_EQ(VT_I4, vd->elemdescVar.tdesc.vt);
        } else {
            ASSERT_EQ(VT_PTR, vd->elemdescVar.tdesc.vt);
            EXPECT_EQ(VT_UI1, vd->elemdescVar.tdesc.lptdesc->vt);
        }
        rec->ReleaseVarDesc(vd);
    }
}

} // namespace

// The automation class's library is the module's second one: its own LIBID, the target's
// kind, a dual interface whose 43 methods take and give automation types only.
TEST_P(TypeLibTest, AutomationLibraryIsSecondWithADualInterface)
{
    ComPtr<ITypeLib> camera;
    const std::wstring path = quilo::test::widen(GetParam().module) + L"\\2";
    ASSERT_EQ(S_OK, LoadTypeLibEx(path.c_str(), REGKIND_NONE, camera.put()));
    TLIBATTR *attr = nullptr;
    ASSERT_EQ(S_OK, camera->GetLibAttr(&attr));
    EXPECT_TRUE(IsEqualGUID(attr->guid, LIBID_QuiloCamera));
    EXPECT_EQ(GetParam().sysKind, attr->syskind);
    camera->ReleaseTLibAttr(attr);

    ComPtr<ITypeInfo> dispatch, vtable;
    ASSERT_EQ(S_OK, camera->GetTypeInfoOfGuid(IID_IQuiloCamera, dispatch.put()));
    HREFTYPE ref = 0;
    ASSERT_EQ(S_OK, dispatch->GetRefTypeOfImplType(-1, &ref)); // the vtable half of a dual
    ASSERT_EQ(S_OK, dispatch->GetRefTypeInfo(ref, vtable.put()));
    TYPEATTR *type = nullptr;
    ASSERT_EQ(S_OK, vtable->GetTypeAttr(&type));
    EXPECT_EQ(TKIND_INTERFACE, type->typekind);
    EXPECT_EQ(TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION,
              type->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION));
    const WORD functions = type->cFuncs;
    vtable->ReleaseTypeAttr(type);
    ASSERT_EQ(43, functions);

    const auto automation = [](const TYPEDESC &t) {
        const TYPEDESC &v = t.vt == VT_PTR ? *t.lptdesc : t;
        return v.vt == VT_I4 || v.vt == VT_R8 || v.vt == VT_BSTR || v.vt == VT_VARIANT || v.vt == VT_BOOL ||
               v.vt == VT_DATE;
    };
    for (UINT i = 0; i < functions; ++i) {
        FUNCDESC *fd = nullptr;
        ASSERT_EQ(S_OK, vtable->GetFuncDesc(i, &fd));
        EXPECT_EQ(VT_HRESULT, fd->elemdescFunc.tdesc.vt);
        for (SHORT p = 0; p < fd->cParams; ++p) EXPECT_TRUE(automation(fd->lprgelemdescParam[p].tdesc)) << i << "/" << p;
        // Grab's time-out left out is README's 8000 ms, the engine's own default too.
        if (fd->memid == 30) {
            const PARAMDESC &timeout = fd->lprgelemdescParam[0].paramdesc;
            ASSERT_TRUE(timeout.wParamFlags & PARAMFLAG_FHASDEFAULT);
            EXPECT_EQ(8000, V_I4(&timeout.pparamdescex->varDefaultValue));
            EXPECT_EQ(8000u, quilo::kDefaultGrabTimeoutMs);
        }
        vtable->ReleaseFuncDesc(fd);
    }
}
