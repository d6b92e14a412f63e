// The module's COM shell reached the way COM reaches it: the exports of a freshly loaded
// module, its class object and its objects, standalone and aggregated.
#include <gtest/gtest.h>
#include <windows.h>
#include <ocidl.h>

#include "QuiloVideoClass.h"
#include "common/ComPtr.h"
#include "support/ComponentRegistration.h"
#include "support/TestSupport.h"

namespace {

using quilo::ComPtr;

// An IID nothing in the module answers.
constexpr IID kUnknownIid = {0x6c0b4e3a, 0x1d2f, 0x4c55, {0x9a, 0x11, 0x27, 0x3e, 0x51, 0x90, 0xab, 0xcd}};

// The outer object of an aggregate: counts the references the inner interfaces hand to it.
class CountingOuter final : public IUnknown
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override
    {
        ++queries;
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown)) return E_NOINTERFACE;
        *ppv = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }

    LONG refs = 1;
    int queries = 0;
};

// Each test gets its own load of the module, so cached class objects and type information of
// one test never reach the next; the module must be unloadable again at the end.
class ModuleTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(nullptr, GetModuleHandleA(QUILO_MODULE_PATH)) << "an earlier test left the module loaded";
        module_ = LoadLibraryA(QUILO_MODULE_PATH);
        ASSERT_NE(nullptr, module_) << GetLastError();
        getClassObject_ = reinterpret_cast<GetClassObjectFn>(
            reinterpret_cast<void *>(GetProcAddress(module_, "DllGetClassObject")));
        canUnloadNow_ = reinterpret_cast<CanUnloadNowFn>(
            reinterpret_cast<void *>(GetProcAddress(module_, "DllCanUnloadNow")));
        ASSERT_NE(nullptr, getClassObject_);
        ASSERT_NE(nullptr, canUnloadNow_);
    }

    void TearDown() override
    {
        if (!module_) return;
        // Unloading a module that still counts references would crash later tests: keep it.
        ASSERT_EQ(S_OK, canUnloadNow_()) << "the test left a reference on the module";
        FreeLibrary(module_);
        EXPECT_EQ(nullptr, GetModuleHandleA(QUILO_MODULE_PATH)) << "something keeps the module loaded";
    }

    HRESULT can_unload() { return canUnloadNow_(); }

    ComPtr<IClassFactory> factory()
    {
        ComPtr<IClassFactory> f;
        EXPECT_EQ(S_OK, getClassObject_(CLSID_CCQuiloVideoProc, IID_IClassFactory, f.put_void()));
        return f;
    }

    ComPtr<ICQuiloVideoProc> create()
    {
        ComPtr<ICQuiloVideoProc> object;
        EXPECT_EQ(S_OK, factory()->CreateInstance(nullptr, IID_ICQuiloVideoProc, object.put_void()));
        return object;
    }

    using GetClassObjectFn = HRESULT(WINAPI *)(REFCLSID, REFIID, void **);
    using CanUnloadNowFn = HRESULT(WINAPI *)();

    HMODULE module_ = nullptr;
    GetClassObjectFn getClassObject_ = nullptr;
    CanUnloadNowFn canUnloadNow_ = nullptr;
};

void *const kGarbage = reinterpret_cast<void *>(0x1234);

// --- DllCanUnloadNow follows the module lock count --------------------------------------

TEST_F(ModuleTest, ClassObjectHeldByHostKeepsModuleButCachedOneDoesNot)
{
    EXPECT_EQ(S_OK, can_unload());
    ComPtr<IClassFactory> first = factory();
    EXPECT_EQ(S_FALSE, can_unload());
    IClassFactory *cached = first.get();
    first.reset();
    EXPECT_EQ(S_OK, can_unload());

    // Still cached: the same object comes back, and a second host reference counts once.
    ComPtr<IClassFactory> again = factory();
    ComPtr<IClassFactory> twice = factory();
    EXPECT_EQ(cached, again.get());
    EXPECT_EQ(cached, twice.get());
    again.reset();
    EXPECT_EQ(S_FALSE, can_unload());
    twice.reset();
    EXPECT_EQ(S_OK, can_unload());
}

TEST_F(ModuleTest, LockServerCountsLocksAndIgnoresStrayUnlocks)
{
    ComPtr<IClassFactory> f = factory();
    ComPtr<IUnknown> object;
    ASSERT_EQ(S_OK, f->CreateInstance(nullptr, IID_IUnknown, object.put_void()));
    f.reset();
    EXPECT_EQ(S_FALSE, can_unload());
    // An unlock without a lock must not let the module go while the object lives.
    IClassFactory *raw = nullptr;
    ASSERT_EQ(S_OK, getClassObject_(CLSID_CCQuiloVideoProc, IID_IClassFactory, reinterpret_cast<void **>(&raw)));
    EXPECT_EQ(S_OK, raw->LockServer(FALSE));
    raw->Release();
    EXPECT_EQ(S_FALSE, can_unload());
    object.reset();
    EXPECT_EQ(S_OK, can_unload());

    f = factory();
    EXPECT_EQ(S_OK, f->LockServer(TRUE));
    EXPECT_EQ(S_OK, f->LockServer(TRUE));
    EXPECT_EQ(S_OK, f->LockServer(FALSE));
    f.reset();
    EXPECT_EQ(S_FALSE, can_unload());
    f = factory();
    EXPECT_EQ(S_OK, f->LockServer(FALSE));
    f.reset();
    EXPECT_EQ(S_OK, can_unload());
}

TEST_F(ModuleTest, EveryLiveObjectHoldsTheModule)
{
    ComPtr<IClassFactory> f = factory();
    ComPtr<ICQuiloVideoProc> standalone;
    ASSERT_EQ(S_OK, f->CreateInstance(nullptr, IID_ICQuiloVideoProc, standalone.put_void()));
    CountingOuter outer;
    ComPtr<IUnknown> aggregated;
    ASSERT_EQ(S_OK, f->CreateInstance(&outer, IID_IUnknown, aggregated.put_void()));
    f.reset();

    EXPECT_EQ(S_FALSE, can_unload());
    standalone.reset();
    EXPECT_EQ(S_FALSE, can_unload());
    aggregated.reset();
    EXPECT_EQ(S_OK, can_unload());
    EXPECT_EQ(1, outer.refs);
}

// --- DllGetClassObject ---------------------------------------------------------------------

TEST_F(ModuleTest, GetClassObjectRejectsBadRequests)
{
    EXPECT_EQ(E_POINTER, getClassObject_(CLSID_CCQuiloVideoProc, IID_IClassFactory, nullptr));

    void *out = kGarbage;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClassObject_(kUnknownIid, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);
    // The interface identifier is not a class identifier.
    out = kGarbage;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClassObject_(IID_ICQuiloVideoProc, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);

    for (const IID *iid : {&IID_IDispatch, &IID_ICQuiloVideoProc, &IID_IClassFactory2}) {
        out = kGarbage;
        EXPECT_EQ(E_NOINTERFACE, getClassObject_(CLSID_CCQuiloVideoProc, *iid, &out));
        EXPECT_EQ(nullptr, out);
    }
    EXPECT_EQ(S_OK, can_unload());
}

TEST_F(ModuleTest, ClassObjectAnswersIUnknownAndIClassFactoryOnly)
{
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(S_OK, getClassObject_(CLSID_CCQuiloVideoProc, IID_IUnknown, unknown.put_void()));
    ComPtr<IClassFactory> f;
    ASSERT_EQ(S_OK, unknown.query(f));
    EXPECT_EQ(static_cast<IUnknown *>(f.get()), unknown.get());

    ComPtr<IUnknown> back;
    ASSERT_EQ(S_OK, f->QueryInterface(IID_IUnknown, back.put_void()));
    EXPECT_EQ(unknown.get(), back.get());
    void *out = kGarbage;
    EXPECT_EQ(E_NOINTERFACE, f->QueryInterface(IID_IDispatch, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_POINTER, f->QueryInterface(IID_IUnknown, nullptr));
}

// --- CreateInstance ------------------------------------------------------------------------

TEST_F(ModuleTest, CreateInstanceRejectsBadRequestsWithoutLeavingObjects)
{
    ComPtr<IClassFactory> f = factory();
    EXPECT_EQ(E_POINTER, f->CreateInstance(nullptr, IID_ICQuiloVideoProc, nullptr));

    CountingOuter outer;
    void *out = kGarbage;
    EXPECT_EQ(CLASS_E_NOAGGREGATION, f->CreateInstance(&outer, IID_ICQuiloVideoProc, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(1, outer.refs);
    EXPECT_EQ(0, outer.queries);

    for (const IID *iid : {&IID_IDispatch, &IID_IProvideClassInfo2, &kUnknownIid}) {
        out = kGarbage;
        EXPECT_EQ(E_NOINTERFACE, f->CreateInstance(nullptr, *iid, &out));
        EXPECT_EQ(nullptr, out);
    }
    f.reset();
    // The objects made for the refused interfaces are gone again.
    EXPECT_EQ(S_OK, can_unload());
}

// --- The component object ----------------------------------------------------------------

TEST_F(ModuleTest, ObjectAnswersItsTableAndKeepsOneIdentity)
{
    ComPtr<ICQuiloVideoProc> object = create();
    ASSERT_TRUE(object);

    ComPtr<IUnknown> identity;
    ASSERT_EQ(S_OK, object->QueryInterface(IID_IUnknown, identity.put_void()));
    EXPECT_EQ(static_cast<IUnknown *>(object.get()), identity.get());

    ComPtr<IProvideClassInfo> classInfo;
    ASSERT_EQ(S_OK, object.query(classInfo));
    EXPECT_NE(static_cast<void *>(classInfo.get()), static_cast<void *>(object.get()));
    ComPtr<IUnknown> fromClassInfo;
    ASSERT_EQ(S_OK, classInfo->QueryInterface(IID_IUnknown, fromClassInfo.put_void()));
    EXPECT_EQ(identity.get(), fromClassInfo.get());
    ComPtr<ICQuiloVideoProc> back;
    ASSERT_EQ(S_OK, classInfo.query(back));
    EXPECT_EQ(object.get(), back.get());

    for (const IID *iid : {&IID_IDispatch, &IID_IProvideClassInfo2, &IID_IClassFactory, &IID_IPersist, &kUnknownIid}) {
        for (IUnknown *from : {static_cast<IUnknown *>(object.get()), static_cast<IUnknown *>(classInfo.get())}) {
            void *out = kGarbage;
            EXPECT_EQ(E_NOINTERFACE, from->QueryInterface(*iid, &out));
            EXPECT_EQ(nullptr, out);
        }
    }
    EXPECT_EQ(E_POINTER, object->QueryInterface(IID_ICQuiloVideoProc, nullptr));
    EXPECT_EQ(E_POINTER, classInfo->GetClassInfo(nullptr));
}

TEST_F(ModuleTest, ReferenceCountIsSharedByAllInterfaces)
{
    ICQuiloVideoProc *object = nullptr;
    ASSERT_EQ(S_OK, factory()->CreateInstance(nullptr, IID_ICQuiloVideoProc, reinterpret_cast<void **>(&object)));
    EXPECT_EQ(2u, object->AddRef());
    IProvideClassInfo *classInfo = nullptr;
    ASSERT_EQ(S_OK, object->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void **>(&classInfo)));
    EXPECT_EQ(4u, classInfo->AddRef());
    EXPECT_EQ(3u, classInfo->Release());
    EXPECT_EQ(2u, classInfo->Release());
    EXPECT_EQ(1u, object->Release());
    EXPECT_EQ(S_FALSE, can_unload());
    EXPECT_EQ(0u, object->Release());
    EXPECT_EQ(S_OK, can_unload());
}

TEST_F(ModuleTest, AggregatedObjectCountsOnItsOuterObject)
{
    CountingOuter outer;
    IUnknown *inner = nullptr;
    ASSERT_EQ(S_OK, factory()->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void **>(&inner)));
    ASSERT_NE(nullptr, inner);
    EXPECT_EQ(1, outer.refs);

    // The non-delegating IUnknown keeps its own count and is its own identity.
    EXPECT_EQ(2u, inner->AddRef());
    EXPECT_EQ(1u, inner->Release());
    IUnknown *self = nullptr;
    ASSERT_EQ(S_OK, inner->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(&self)));
    EXPECT_EQ(inner, self);
    EXPECT_EQ(1u, self->Release());

    ICQuiloVideoProc *proc = nullptr;
    ASSERT_EQ(S_OK, inner->QueryInterface(IID_ICQuiloVideoProc, reinterpret_cast<void **>(&proc)));
    EXPECT_EQ(2, outer.refs) << "the reference handed out belongs to the outer object";
    proc->AddRef();
    EXPECT_EQ(3, outer.refs);
    proc->Release();
    EXPECT_EQ(2, outer.refs);

    // The inner interfaces' QueryInterface is the outer object's.
    const int queries = outer.queries;
    IUnknown *identity = nullptr;
    ASSERT_EQ(S_OK, proc->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(&identity)));
    EXPECT_EQ(static_cast<IUnknown *>(&outer), identity);
    EXPECT_EQ(queries + 1, outer.queries);
    identity->Release();

    IProvideClassInfo *classInfo = nullptr;
    ASSERT_EQ(S_OK, inner->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void **>(&classInfo)));
    EXPECT_EQ(3, outer.refs);
    classInfo->Release();
    proc->Release();
    EXPECT_EQ(1, outer.refs);

    void *out = kGarbage;
    EXPECT_EQ(E_NOINTERFACE, inner->QueryInterface(IID_IDispatch, &out));
    EXPECT_EQ(nullptr, out);

    EXPECT_EQ(S_FALSE, can_unload());
    EXPECT_EQ(0u, inner->Release());
    EXPECT_EQ(S_OK, can_unload());
    EXPECT_EQ(1, outer.refs);
}

// --- IProvideClassInfo -------------------------------------------------------------------

class ClassInfoTest : public ModuleTest
{
protected:
    void SetUp() override
    {
        // Registration state first, on its own load of the module.
        quilo::test::unregister_component();
        ModuleTest::SetUp();
    }
    static void TearDownTestSuite() { EXPECT_EQ(S_OK, quilo::test::register_component()); }

    HRESULT class_info(ComPtr<ITypeInfo> &info)
    {
        ComPtr<IProvideClassInfo> provider;
        EXPECT_EQ(S_OK, create().query(provider));
        return provider->GetClassInfo(info.put());
    }
};

TEST_F(ClassInfoTest, FailsUntilTheTypeLibraryIsRegistered)
{
    ComPtr<ITypeInfo> info;
    ITypeInfo *raw = reinterpret_cast<ITypeInfo *>(kGarbage);
    ComPtr<IProvideClassInfo> provider;
    ASSERT_EQ(S_OK, create().query(provider));
    // The platform's answer for a library that is not registered, passed on unchanged.
    EXPECT_EQ(TYPE_E_LIBNOTREGISTERED, provider->GetClassInfo(&raw));
    EXPECT_EQ(nullptr, raw);

    // The failure is not cached: the next call after registration succeeds.
    ASSERT_EQ(S_OK, quilo::test::register_component());
    ASSERT_EQ(S_OK, provider->GetClassInfo(info.put()));
    TYPEATTR *attr = nullptr;
    ASSERT_EQ(S_OK, info->GetTypeAttr(&attr));
    EXPECT_EQ(TKIND_COCLASS, attr->typekind);
    EXPECT_TRUE(IsEqualGUID(CLSID_CCQuiloVideoProc, attr->guid));
    info->ReleaseTypeAttr(attr);
}

TEST_F(ClassInfoTest, SamePointerEveryTimeFromEveryObject)
{
    ASSERT_EQ(S_OK, quilo::test::register_component());
    ComPtr<ITypeInfo> first, second;
    ASSERT_EQ(S_OK, class_info(first));
    ASSERT_EQ(S_OK, class_info(second));
    EXPECT_EQ(first.get(), second.get());

    // Cached for the life of the module, even when the library is unregistered meanwhile.
    ASSERT_EQ(S_OK, quilo::test::unregister_component());
    ComPtr<ITypeInfo> third;
    ASSERT_EQ(S_OK, class_info(third));
    EXPECT_EQ(first.get(), third.get());
}

} // namespace
