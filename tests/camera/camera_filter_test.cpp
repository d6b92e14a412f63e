// The camera filter's COM surface as any host may call it, bad calls included: identity,
// enumerators, pin information, wrong call order, and the module's class objects and lifetime.
#include <gtest/gtest.h>

#include "common/ScopeGuard.h"
#include "support/TestPaths.h"
#include "camera/CameraTest.h"

namespace quilo::test {
namespace {

// {14652C5E-6532-4FB1-AF5B-44584BAB0954}
constexpr CLSID kCameraClsid = {0x14652C5E, 0x6532, 0x4FB1, {0xAF, 0x5B, 0x44, 0x58, 0x4B, 0xAB, 0x09, 0x54}};

class FilterTest : public CameraTest
{
protected:
    void SetUp() override
    {
        CameraTest::SetUp();
        ASSERT_TRUE(add_device("Cam", "--size 320x240"));
        ASSERT_EQ(S_OK, bind_device("Cam", camera_));
    }
    void TearDown() override
    {
        camera_ = nullptr;
        CameraTest::TearDown();
    }

    ComPtr<IBaseFilter> camera_;
};

ComPtr<IUnknown> identity(IUnknown *object)
{
    ComPtr<IUnknown> unknown;
    object->QueryInterface(IID_IUnknown, unknown.put_void());
    return unknown;
}

TEST_F(FilterTest, InterfacesShareOneIdentityPerObject)
{
    ComPtr<IAMVideoProcAmp> procAmp;
    ASSERT_EQ(S_OK, camera_.query(procAmp));
    ComPtr<IPersistPropertyBag> persist;
    ASSERT_EQ(S_OK, camera_.query(persist));
    EXPECT_EQ(identity(camera_.get()).get(), identity(procAmp.get()).get());
    EXPECT_EQ(identity(camera_.get()).get(), identity(persist.get()).get());
    ComPtr<IAMFilterMiscFlags> flags;
    ASSERT_EQ(S_OK, camera_.query(flags));
    EXPECT_EQ(static_cast<ULONG>(AM_FILTER_MISC_FLAGS_IS_SOURCE), flags->GetMiscFlags());

    ComPtr<IPin> pin = capture_pin(camera_.get());
    ComPtr<IAMStreamConfig> config;
    ASSERT_EQ(S_OK, pin.query(config));
    EXPECT_EQ(identity(pin.get()).get(), identity(config.get()).get());
    EXPECT_NE(identity(pin.get()).get(), identity(camera_.get()).get());
    ComPtr<IAMCrossbar> crossbar;
    EXPECT_EQ(E_NOINTERFACE, camera_.query(crossbar));
    EXPECT_EQ(E_POINTER, camera_->QueryInterface(IID_IBaseFilter, nullptr));
}

TEST_F(FilterTest, OnePinEnumeratedFoundByIdAndDescribed)
{
    ComPtr<IEnumPins> pins;
    ASSERT_EQ(S_OK, camera_->EnumPins(pins.put()));
    IPin *got[2] = {};
    ULONG fetched = 9;
    EXPECT_EQ(S_FALSE, pins->Next(2, got, &fetched));
    ASSERT_EQ(1u, fetched);
    ComPtr<IPin> pin;
    pin.attach(got[0]);
    EXPECT_EQ(E_INVALIDARG, pins->Next(2, got, nullptr));
    EXPECT_EQ(S_OK, pins->Reset());
    EXPECT_EQ(S_FALSE, pins->Skip(2));
    ComPtr<IEnumPins> clone;
    ASSERT_EQ(S_OK, pins->Clone(clone.put()));
    EXPECT_EQ(S_FALSE, clone->Next(1, got, nullptr));

    ComPtr<IPin> found;
    ASSERT_EQ(S_OK, camera_->FindPin(L"Capture", found.put()));
    EXPECT_EQ(pin.get(), found.get());
    EXPECT_EQ(VFW_E_NOT_FOUND, camera_->FindPin(L"Preview", found.put()));
    EXPECT_EQ(nullptr, found.get());

    PIN_INFO info = {};
    ASSERT_EQ(S_OK, pin->QueryPinInfo(&info));
    EXPECT_EQ(PINDIR_OUTPUT, info.dir);
    EXPECT_STREQ(L"Capture", info.achName);
    EXPECT_EQ(identity(camera_.get()).get(), identity(info.pFilter).get());
    info.pFilter->Release();

    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(S_OK, pin->EnumMediaTypes(types.put()));
    int count = 0;
    MediaTypePtr mt;
    while (types->Next(1, mt.put(), nullptr) == S_OK) {
        ++count;
        EXPECT_EQ(S_OK, pin->QueryAccept(mt.get()));
    }
    EXPECT_EQ(2, count) << "the device size (320x240, listed once) and 160x120";
}

TEST_F(FilterTest, UnconnectedPinAndWrongCallsAnswerWithClearResults)
{
    ComPtr<IPin> pin = capture_pin(camera_.get());
    IPin *peer = reinterpret_cast<IPin *>(1);
    EXPECT_EQ(VFW_E_NOT_CONNECTED, pin->ConnectedTo(&peer));
    EXPECT_EQ(nullptr, peer);
    AM_MEDIA_TYPE mt;
    EXPECT_EQ(VFW_E_NOT_CONNECTED, pin->ConnectionMediaType(&mt));
    EXPECT_EQ(S_FALSE, pin->Disconnect());
    EXPECT_EQ(E_UNEXPECTED, pin->ReceiveConnection(pin.get(), &mt));
    EXPECT_EQ(E_POINTER, pin->Connect(nullptr, nullptr));
    EXPECT_EQ(E_UNEXPECTED, pin->EndOfStream());
    EXPECT_EQ(E_POINTER, camera_->GetState(0, nullptr));

    // An unconnected device may still be run; it simply has nothing to send.
    EXPECT_EQ(S_OK, camera_->Run(0));
    FILTER_STATE state;
    EXPECT_EQ(S_OK, camera_->GetState(0, &state));
    EXPECT_EQ(State_Running, state);
    EXPECT_EQ(S_OK, camera_->Stop());

    FILTER_INFO info = {};
    ASSERT_EQ(S_OK, camera_->QueryFilterInfo(&info));
    EXPECT_EQ(nullptr, info.pGraph);
    ComPtr<IPersistPropertyBag> persist;
    ASSERT_EQ(S_OK, camera_.query(persist));
    EXPECT_EQ(E_POINTER, persist->Load(nullptr, nullptr));
}

TEST_F(FilterTest, APinKeepsItsFilterAlive)
{
    ComPtr<IPin> pin = capture_pin(camera_.get());
    camera_ = nullptr;
    EXPECT_GT(live_testcam_objects(), 0);
    PIN_INFO info = {};
    ASSERT_EQ(S_OK, pin->QueryPinInfo(&info));
    info.pFilter->Release();
    pin = nullptr;
    EXPECT_EQ(0, live_testcam_objects());
}

TEST_F(FilterTest, ClassObjectsAndModuleLifetime)
{
    HMODULE module = LoadLibraryA(QUILO_TESTCAM_PATH);
    ASSERT_NE(nullptr, module);
    auto unload = scope_exit([&] { FreeLibrary(module); });
    using GetClassObject = HRESULT(WINAPI *)(REFCLSID, REFIID, void **);
    using CanUnload = HRESULT(WINAPI *)();
    auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void *>(GetProcAddress(module, "DllGetClassObject")));
    auto canUnload = reinterpret_cast<CanUnload>(reinterpret_cast<void *>(GetProcAddress(module, "DllCanUnloadNow")));
    ASSERT_TRUE(get && canUnload);

    void *out = reinterpret_cast<void *>(1);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, get(CLSID_FilterGraph, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, get(kCameraClsid, IID_IClassFactory, factory.put_void()));
    ComPtr<IUnknown> aggregated;
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(factory.get(), IID_IUnknown, aggregated.put_void()));

    EXPECT_EQ(S_FALSE, canUnload()) << "the fixture's camera is alive";
    camera_ = nullptr;
    EXPECT_EQ(S_FALSE, canUnload()) << "the class object is held";
    ComPtr<IBaseFilter> direct;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IBaseFilter, direct.put_void()));
    ASSERT_EQ(S_OK, factory->LockServer(TRUE));
    factory = nullptr;
    EXPECT_EQ(S_FALSE, canUnload()) << "a filter and a server lock";
    direct = nullptr;
    EXPECT_EQ(S_FALSE, canUnload()) << "a server lock";
    ASSERT_EQ(S_OK, get(kCameraClsid, IID_IClassFactory, factory.put_void()));
    ASSERT_EQ(S_OK, factory->LockServer(FALSE));
    factory = nullptr;
    EXPECT_EQ(S_OK, canUnload());
}

} // namespace
} // namespace quilo::test
