// QuiloVideo.Camera under a careless or hostile host: sizes that would overflow, apartments torn
// down around the object, time-outs shorter than a camera's start, a device left busy, names
// and arguments a script host can produce. Each case gets a clear error or the right result,
// never a crash or a hang. Expected texts and limits are README's.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>
#include <vfwmsgs.h>

#include <string>

#include "QuiloCamera.h"
#include "common/ComPtr.h"
#include "common/Handle.h"
#include "common/Variant.h"
#include "support/CameraClassTest.h"

namespace qt = quilo::test;
using quilo::ComPtr;
using quilo::UniqueBstr;
using quilo::UniqueVariant;

namespace {

using CameraMisuseTest = qt::CameraClassTest;

VARIANT number(LONG value)
{
    VARIANT v;
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

// The host thread of the apartment test: creates and opens the object in an apartment of its
// own, grabs, lends it to another apartment, then lets go of it and leaves COM.
struct LendingHost
{
    IStream *marshaled = nullptr;
    HRESULT opened = E_FAIL;
    HRESULT marshal = E_FAIL;
    quilo::UniqueHandle lent{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    quilo::UniqueHandle taken{CreateEventA(nullptr, TRUE, FALSE, nullptr)};

    static DWORD WINAPI run(void *context)
    {
        auto &self = *static_cast<LendingHost *>(context);
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        IQuiloCamera *camera = nullptr;
        if (SUCCEEDED(CoCreateInstance(CLSID_Camera, nullptr, CLSCTX_INPROC_SERVER, IID_IQuiloCamera,
                                       reinterpret_cast<void **>(&camera)))) {
            VARIANT name = qt::CameraClassTest::text(L"Apartment Cam");
            VARIANT rate = qt::CameraClassTest::missing();
            self.opened = camera->Open(name, 0, 0, rate);
            VariantClear(&name);
            if (SUCCEEDED(self.opened)) self.opened = camera->Grab(4000);
            self.marshal = CoMarshalInterThreadInterfaceInStream(IID_IDispatch, camera, &self.marshaled);
        }
        SetEvent(self.lent.get());
        WaitForSingleObject(self.taken.get(), 10000);
        if (camera) camera->Release();
        CoUninitialize();
        return 0;
    }
};

TEST_F(CameraMisuseTest, PixelArrayRefusesAFrameBeyondWhatAVariantArrayHolds)
{
    // 8192x7282 RGB24 is 178,962,432 values: 24-byte VARIANTs would need more than 4 GB, which
    // the platform's 32-bit count would wrap to a small block.
    ASSERT_TRUE(qt::add_device("Huge Cam", "--any-size --fps 0 --tag 8"));
    ASSERT_TRUE(create());
    UniqueVariant device;
    *device.get() = text(L"Huge Cam");
    ASSERT_EQ(S_OK, camera_->Open(*device.get(), 8192, 7282, missing())) << error_text();
    ASSERT_EQ(S_OK, camera_->Grab(60000)) << error_text();
    UniqueVariant values;
    EXPECT_EQ(E_OUTOFMEMORY, camera_->get_PixelArray(values.put()));
    EXPECT_EQ(VT_EMPTY, V_VT(values.get()));
    EXPECT_TRUE(qt::contains(error_text(), "178962432 values, more than an array of variants can hold")) << error_text();
    // The frame itself is intact and readable pixel by pixel: (x, y) = (0, 5) carries 5 in green.
    LONG rgb = 0;
    ASSERT_EQ(S_OK, camera_->Pixel(0, 5, &rgb));
    EXPECT_EQ(0x0805, rgb >> 8) << "red is the tag, green the row";
    ASSERT_EQ(S_OK, camera_->Close());
}

// A host thread that creates and opens the object, lends it to another apartment and then
// leaves COM: its own last CoUninitialize must end the apartment, and with it the object.
TEST_F(CameraMisuseTest, TheHostsLastUninitializeEndsTheApartmentAndFreesTheDevice)
{
    ASSERT_TRUE(qt::add_device("Apartment Cam", "--fps 30 --size 64x48"));
    LendingHost shared;
    quilo::UniqueHandle thread(CreateThread(nullptr, 0, LendingHost::run, &shared, 0, nullptr));
    ASSERT_TRUE(thread);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(shared.lent.get(), 20000));
    ASSERT_EQ(S_OK, shared.opened);
    ASSERT_EQ(S_OK, shared.marshal);
    ComPtr<IDispatch> proxy;
    EXPECT_EQ(S_OK, CoGetInterfaceAndReleaseStream(shared.marshaled, IID_IDispatch, proxy.put_void()));
    SetEvent(shared.taken.get());

    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.get(), 10000)) << "the host's thread never ended";
    EXPECT_EQ(0, qt::live_testcam_objects()) << "the device outlived its apartment";
    // The proxy of an ended apartment answers with an error, never a crash.
    UINT count = 0;
    if (proxy) {
        EXPECT_TRUE(FAILED(proxy->GetTypeInfoCount(&count)));
    }
}

TEST_F(CameraMisuseTest, ATimeOutLeavesTheStreamToTheNextGrab)
{
    // A camera that needs 1.5 s to start: the first Grab 1000 times out, the second gets the
    // frame of the same stream.
    ASSERT_TRUE(qt::add_device("Slow Cam", "--start-ms 1500 --fps 30 --size 64x48"));
    ASSERT_TRUE(create());
    ASSERT_EQ(S_OK, open(L"Slow Cam"));
    EXPECT_EQ(VFW_E_TIMEOUT, camera_->Grab(1000));
    EXPECT_EQ("QuiloVideo.Camera: no frame arrived from 'Slow Cam' within 1000 ms", error_text());
    ASSERT_EQ(S_OK, camera_->Grab(1000)) << error_text();
    LONG first = 0, next = 0;
    ASSERT_EQ(S_OK, camera_->get_FrameNumber(&first));

    // 0 could never see a frame arrive, a year is no time-out: both refused, the stream untouched.
    for (const LONG bad : {0L, -1L, 24L * 60 * 60 * 1000 + 1}) {
        EXPECT_EQ(E_INVALIDARG, camera_->Grab(bad)) << bad;
        EXPECT_TRUE(qt::contains(error_text(), "the time-out must be 1 to 86400000 milliseconds (24 hours), not " +
                                                   std::to_string(bad)))
            << error_text();
    }
    ASSERT_EQ(S_OK, camera_->Grab(1000)) << error_text();
    ASSERT_EQ(S_OK, camera_->get_FrameNumber(&next));
    EXPECT_GT(next, first);
    EXPECT_EQ(1, qt::read_device_record("Slow Cam").streamStarts) << "one stream served every Grab";
}

TEST_F(CameraMisuseTest, CloseLetsGoOfTheDeviceAndKeepsTheFrame)
{
    ASSERT_TRUE(qt::add_device("Busy Cam", "--crossbar composite,svideo/decoder --camctl all --tag 2"));
    ASSERT_TRUE(create());
    ASSERT_EQ(S_OK, open(L"Busy Cam"));
    ASSERT_EQ(S_OK, camera_->Grab(4000));
    ASSERT_GT(qt::live_testcam_objects(), 0);
    ASSERT_EQ(S_OK, camera_->Close());
    EXPECT_EQ(0, qt::live_testcam_objects()) << "a closed object holds nothing of the device";
    LONG rgb = 0;
    EXPECT_EQ(S_OK, camera_->Pixel(0, 1, &rgb));
    EXPECT_EQ(0x0201, rgb >> 8);
    LONG count = -1;
    EXPECT_EQ(VFW_E_WRONG_STATE, camera_->get_ControlCount(&count));
}

TEST_F(CameraMisuseTest, SaveFrameTakesLongNamesAndRefusesAnEmbeddedNul)
{
    ASSERT_TRUE(qt::add_device("Save Cam", "--size 64x48"));
    ASSERT_TRUE(create());
    ASSERT_EQ(S_OK, open(L"Save Cam"));
    ASSERT_EQ(S_OK, camera_->Grab(4000));

    // A legal name of 250 characters: the temporary name beside it must not pass the limit.
    const std::wstring longName = qt::widen(file("")) + std::wstring(246, L'n') + L".png";
    UniqueBstr target(longName.c_str());
    EXPECT_EQ(S_OK, camera_->SaveFrame(target.get())) << error_text();
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(longName.c_str()));

    // "kept.png", a NUL, then ".bmp": cut at the NUL it would overwrite kept.png.
    const std::wstring kept = qt::widen(file("kept.png"));
    {
        quilo::UniqueHandle earlier(CreateFileW(kept.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(earlier.get(), "earlier", 7, &written, nullptr));
    }
    const std::wstring withNul = kept + std::wstring(1, L'\0') + L".bmp";
    UniqueBstr cut;
    *cut.put() = SysAllocStringLen(withNul.data(), static_cast<UINT>(withNul.size()));
    EXPECT_EQ(E_INVALIDARG, camera_->SaveFrame(cut.get()));
    EXPECT_EQ("QuiloVideo.Camera: a file name cannot hold a NUL character", error_text());
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    ASSERT_TRUE(GetFileAttributesExW(kept.c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(7u, data.nFileSizeLow) << "the earlier file is as it was";
}

TEST_F(CameraMisuseTest, LateBoundCallsAreCheckedAsComAsks)
{
    ASSERT_TRUE(qt::add_device("Dispatch Cam", "--size 64x48"));
    ASSERT_TRUE(create());
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, camera_.query(IID_IDispatch, dispatch));
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Open")};
    EXPECT_EQ(DISP_E_UNKNOWNINTERFACE, dispatch->GetIDsOfNames(IID_IQuiloCamera, names, 1, 0, &id));
    EXPECT_EQ(DISP_E_UNKNOWNINTERFACE, invoke(L"Close", DISPATCH_METHOD, {}, nullptr, IID_IQuiloCamera));

    UniqueVariant name;
    *name.get() = text(L"Dispatch Cam");
    EXPECT_EQ(DISP_E_BADPARAMCOUNT,
              invoke(L"Open", DISPATCH_METHOD, {*name.get(), number(64), number(48), number(30), number(1)}));
    VARIANT_BOOL isOpen = VARIANT_TRUE;
    ASSERT_EQ(S_OK, camera_->get_IsOpen(&isOpen));
    EXPECT_EQ(VARIANT_FALSE, isOpen) << "a refused call opens nothing";

    // "Dispatch Cam", a NUL, then more: not the device named by the part before the NUL.
    const std::wstring withNul = std::wstring(L"Dispatch Cam") + L'\0' + L"2";
    UniqueVariant cut;
    V_VT(cut.get()) = VT_BSTR;
    V_BSTR(cut.get()) = SysAllocStringLen(withNul.data(), static_cast<UINT>(withNul.size()));
    EXPECT_EQ(E_INVALIDARG, camera_->Open(*cut.get(), 0, 0, missing()));
    EXPECT_EQ("QuiloVideo.Camera: a device name or path cannot hold a NUL character", error_text());

    // A call that succeeds leaves no earlier failure's sentence behind, through either binding.
    EXPECT_EQ(S_OK, camera_->get_IsOpen(&isOpen));
    ComPtr<IErrorInfo> stale;
    EXPECT_EQ(S_FALSE, GetErrorInfo(0, stale.put()));
    EXPECT_EQ(VFW_E_WRONG_STATE, camera_->Grab(100));
    LONG count = 0;
    EXPECT_EQ(S_OK, camera_->get_DeviceCount(&count));
    EXPECT_EQ(S_FALSE, GetErrorInfo(0, stale.put()));
}

} // namespace
