// Activation the way a host does it: COM finds the module through the registry (this process
// never loads it by path), by class identifier and by both ProgIDs.
#include <gtest/gtest.h>
#include <windows.h>
#include <ocidl.h>

#include <string>

#include "QuiloVideo.h"
#include "common/ComPtr.h"
#include "support/ComponentRegistration.h"
#include "support/TestSupport.h"

namespace {

using quilo::ComPtr;

class ActivationTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { ASSERT_EQ(S_OK, quilo::test::register_component()); }
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(com_.result())); }

    // The object answers the component's interface and its class information.
    static void expect_component(const ComPtr<ICQuiloVideoProc> &object)
    {
        ASSERT_TRUE(object);
        ComPtr<IProvideClassInfo> provider;
        ASSERT_EQ(S_OK, object.query(provider));
        ComPtr<ITypeInfo> info;
        ASSERT_EQ(S_OK, provider->GetClassInfo(info.put()));
        TYPEATTR *attr = nullptr;
        ASSERT_EQ(S_OK, info->GetTypeAttr(&attr));
        EXPECT_TRUE(IsEqualGUID(CLSID_CCQuiloVideoProc, attr->guid));
        info->ReleaseTypeAttr(attr);
    }

    quilo::test::ComScope com_;
};

TEST_F(ActivationTest, ByClassIdentifierFromTheRegisteredModule)
{
    ComPtr<ICQuiloVideoProc> object;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_CCQuiloVideoProc, nullptr, CLSCTX_INPROC_SERVER, IID_ICQuiloVideoProc,
                                     object.put_void()));
    expect_component(object);

    // COM loaded the module from the path the registration wrote.
    HMODULE loaded = GetModuleHandleA("QuiloVideo.ocx");
    ASSERT_NE(nullptr, loaded);
    char path[MAX_PATH] = {};
    GetModuleFileNameA(loaded, path, MAX_PATH);
    EXPECT_EQ(0, lstrcmpiA(QUILO_MODULE_PATH, path)) << path;
}

TEST_F(ActivationTest, ByEitherProgId)
{
    for (const wchar_t *progId : {L"QuiloVideo.CQuiloVideoProc", L"QuiloVideo.CQuiloVideoProc.1"}) {
        SCOPED_TRACE(quilo::test::narrow(progId));
        CLSID clsid = {};
        ASSERT_EQ(S_OK, CLSIDFromProgID(progId, &clsid));
        EXPECT_TRUE(IsEqualCLSID(CLSID_CCQuiloVideoProc, clsid));
        ComPtr<ICQuiloVideoProc> object;
        ASSERT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ICQuiloVideoProc, object.put_void()));
        expect_component(object);
    }
}

TEST_F(ActivationTest, UnknownInterfaceIsRefusedThroughCom)
{
    ComPtr<IDispatch> dispatch;
    EXPECT_EQ(E_NOINTERFACE, CoCreateInstance(CLSID_CCQuiloVideoProc, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                              dispatch.put_void()));
    EXPECT_FALSE(dispatch);
}

} // namespace
