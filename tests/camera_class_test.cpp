// QuiloVideo.Camera as compiled and late-bound hosts reach it: through the dual interface's
// vtable and through IDispatch by name, against test camera devices. Expected values come from
// README (the test picture, the default controls) and the devices' own records.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>
#include <dshow.h>
#include <vfwmsgs.h>

#include "QuiloCamera.h"
#include "WicDecode.h"
#include "common/ComPtr.h"
#include "common/Variant.h"
#include "support/CameraClassTest.h"

namespace qt = quilo::test;
using quilo::ComPtr;
using quilo::UniqueBstr;
using quilo::UniqueVariant;

namespace {

using CameraClassTest = qt::CameraClassTest;

TEST_F(CameraClassTest, VtableOpensByNameAndGrabsTheDocumentedPicture)
{
    ASSERT_TRUE(qt::add_device("Vtable Cam", "--tag 3"));
    IQuiloCamera *camera = create();
    ASSERT_TRUE(camera);
    LONG count = 0;
    ASSERT_EQ(S_OK, camera->get_DeviceCount(&count));
    ASSERT_EQ(1, count);
    UniqueBstr name;
    ASSERT_EQ(S_OK, camera->DeviceName(0, name.put()));
    EXPECT_EQ("Vtable Cam", qt::narrow(name.get()));

    ASSERT_EQ(S_OK, open(L"Vtable Cam"));
    ASSERT_EQ(S_OK, camera->Grab(4000));
    LONG width = 0, height = 0, number = 0;
    ASSERT_EQ(S_OK, camera->get_Width(&width));
    ASSERT_EQ(S_OK, camera->get_Height(&height));
    ASSERT_EQ(S_OK, camera->get_FrameNumber(&number));
    EXPECT_EQ(640, width);
    EXPECT_EQ(480, height);
    EXPECT_GE(number, 1);

    UniqueVariant pixels;
    ASSERT_EQ(S_OK, camera->get_Pixels(pixels.put()));
    ASSERT_EQ(VT_ARRAY | VT_UI1, V_VT(pixels.get()));
    SAFEARRAY *array = V_ARRAY(pixels.get());
    LONG upper = -1;
    ASSERT_EQ(S_OK, SafeArrayGetUBound(array, 1, &upper));
    ASSERT_EQ(640 * 480 * 3, upper + 1);
    void *data = nullptr;
    ASSERT_EQ(S_OK, SafeArrayAccessData(array, &data));
    std::string why;
    EXPECT_GT(qt::frame_number(static_cast<const unsigned char *>(data), 640, 480, 640 * 3, true, 3, &why), 0) << why;
    SafeArrayUnaccessData(array);

    // The platform's encoders by extension; another extension is refused before any file is made.
    for (const char *name : {"frame.jpg", "frame.bmp"}) {
        UniqueBstr target(qt::widen(file(name)).c_str());
        ASSERT_EQ(S_OK, camera->SaveFrame(target.get())) << name;
        qt::DecodedImage image;
        ASSERT_EQ(S_OK, qt::decode_image(file(name), image)) << name;
        EXPECT_EQ(640u, image.width) << name;
    }
    UniqueBstr gif(qt::widen(file("frame.gif")).c_str());
    EXPECT_EQ(E_INVALIDARG, camera->SaveFrame(gif.get()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(file("frame.gif").c_str()));

    // Closing keeps the host's copy of the frame.
    ASSERT_EQ(S_OK, camera->Close());
    LONG rgb = 0;
    EXPECT_EQ(S_OK, camera->Pixel(0, 1, &rgb));
    EXPECT_EQ(3, rgb >> 16);
    EXPECT_EQ(1, (rgb >> 8) & 0xFF);
}

// 321 pixels: the device's rows are padded to 964 bytes, the class's are packed at 963, in both
// of the device's row orders.
TEST_F(CameraClassTest, AnOddWidthIsPackedRowByRowTopRowFirst)
{
    ASSERT_TRUE(create());
    // A negative height is the test camera's top-down format (docs/TestCamera.md).
    for (const char *size : {"321x243", "321x-243"}) {
        SCOPED_TRACE(size);
        ASSERT_TRUE(qt::clear_devices());
        ASSERT_TRUE(qt::add_device("Odd Cam", std::string("--tag 7 --size ") + size));
        UniqueVariant device;
        *device.get() = text(L"Odd Cam");
        ASSERT_EQ(S_OK, camera_->Open(*device.get(), 321, 243, missing())) << error_text();
        ASSERT_EQ(S_OK, camera_->Grab(4000)) << error_text();
        UniqueVariant pixels;
        ASSERT_EQ(S_OK, camera_->get_Pixels(pixels.put()));
        SAFEARRAY *array = V_ARRAY(pixels.get());
        LONG upper = -1;
        ASSERT_EQ(S_OK, SafeArrayGetUBound(array, 1, &upper));
        ASSERT_EQ(321 * 243 * 3, upper + 1);
        void *data = nullptr;
        ASSERT_EQ(S_OK, SafeArrayAccessData(array, &data));
        std::string why;
        EXPECT_GT(qt::frame_number(static_cast<const unsigned char *>(data), 321, 243, 321 * 3, true, 7, &why), 0) << why;
        SafeArrayUnaccessData(array);
        ASSERT_EQ(S_OK, camera_->Close());
    }
}

TEST_F(CameraClassTest, DispatchByNameWithOptionalArgumentsLeftOut)
{
    ASSERT_TRUE(qt::add_device("Dispatch Cam", "--tag 5"));
    ASSERT_TRUE(create());
    UniqueVariant name;
    *name.get() = text(L"Dispatch Cam");
    ASSERT_EQ(S_OK, invoke(L"Open", DISPATCH_METHOD, {*name.get()}));
    ASSERT_EQ(S_OK, invoke(L"Grab", DISPATCH_METHOD, {}));
    UniqueVariant width, pixel;
    ASSERT_EQ(S_OK, invoke(L"Width", DISPATCH_PROPERTYGET, {}, width.put()));
    EXPECT_EQ(VT_I4, V_VT(width.get()));
    EXPECT_EQ(640, V_I4(width.get()));
    VARIANT x, y;
    V_VT(&x) = VT_I4, V_I4(&x) = 0;
    V_VT(&y) = VT_I4, V_I4(&y) = 2;
    ASSERT_EQ(S_OK, invoke(L"Pixel", DISPATCH_METHOD, {x, y}, pixel.put()));
    EXPECT_EQ(5, V_I4(pixel.get()) >> 16);
    EXPECT_EQ(2, (V_I4(pixel.get()) >> 8) & 0xFF);
    EXPECT_EQ(DISP_E_UNKNOWNNAME, invoke(L"NoSuchMember", DISPATCH_METHOD, {}));
}

TEST_F(CameraClassTest, FailuresCarryASentenceThroughBothBindings)
{
    ASSERT_TRUE(qt::add_device("Error Cam"));
    IQuiloCamera *camera = create();
    ASSERT_TRUE(camera);
    ComPtr<ISupportErrorInfo> support;
    ASSERT_EQ(S_OK, camera_.query(IID_ISupportErrorInfo, support));
    EXPECT_EQ(S_OK, support->InterfaceSupportsErrorInfo(IID_IQuiloCamera));

    EXPECT_EQ(VFW_E_WRONG_STATE, camera->Grab(100));
    EXPECT_EQ("QuiloVideo.Camera: no device is open; call Open first", error_text());
    EXPECT_EQ(E_INVALIDARG, open(L"Front"));
    EXPECT_EQ("QuiloVideo.Camera: no video input device is named 'Front'; devices: 'Error Cam'", error_text());

    UniqueVariant device;
    *device.get() = text(L"Error Cam");
    VARIANT rate;
    V_VT(&rate) = VT_R8;
    V_R8(&rate) = 99;
    EXPECT_EQ(VFW_E_INVALIDMEDIATYPE, camera->Open(*device.get(), 640, 480, rate));
    const std::string refused = error_text();
    EXPECT_TRUE(qt::contains(refused, "'Error Cam' does not offer 640x480 at 99 fps; it offers 640x480 RGB24 at 30 fps"))
        << refused;

    // Late-bound: the same sentence comes back in EXCEPINFO with the HRESULT.
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, camera_.query(IID_IDispatch, dispatch));
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Open")};
    ASSERT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
    UniqueVariant front;
    *front.get() = text(L"Front");
    DISPPARAMS params = {front.get(), nullptr, 1, 0};
    EXCEPINFO exception = {};
    EXPECT_EQ(DISP_E_EXCEPTION,
              dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, &exception, nullptr));
    EXPECT_EQ(E_INVALIDARG, exception.scode);
    EXPECT_EQ("QuiloVideo.Camera: no video input device is named 'Front'; devices: 'Error Cam'",
              exception.bstrDescription ? qt::narrow(exception.bstrDescription) : "");
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
}

// README's default device has eight procamp controls and no camera control; a Set reaches the
// device's own record, and a value off the range is refused with the range in the text.
TEST_F(CameraClassTest, ControlsByNameReachTheDevice)
{
    ASSERT_TRUE(qt::add_device("Control Cam"));
    ASSERT_TRUE(qt::add_device("Bare Cam", "--procamp none"));
    IQuiloCamera *camera = create();
    ASSERT_TRUE(camera);
    ASSERT_EQ(S_OK, open(L"Control Cam"));
    LONG count = 0;
    ASSERT_EQ(S_OK, camera->get_ControlCount(&count));
    EXPECT_EQ(8, count);
    UniqueBstr brightness(L"brightness");
    LONG low = 0, high = 0;
    ASSERT_EQ(S_OK, camera->ControlMin(brightness.get(), &low));
    ASSERT_EQ(S_OK, camera->ControlMax(brightness.get(), &high));
    ASSERT_LT(low, high);
    ASSERT_EQ(S_OK, camera->SetControl(brightness.get(), high));
    const qt::DeviceRecord record = qt::read_device_record("Control Cam");
    ASSERT_FALSE(record.procAmpSets.empty());
    EXPECT_EQ(VideoProcAmp_Brightness, record.procAmpSets.back().property);
    EXPECT_EQ(high, record.procAmpSets.back().value);
    EXPECT_EQ(VideoProcAmp_Flags_Manual, record.procAmpSets.back().flags);

    EXPECT_EQ(E_INVALIDARG, camera->SetControl(brightness.get(), high + 1));
    EXPECT_EQ("QuiloVideo.Camera: Brightness takes values from " + std::to_string(low) + " to " +
                  std::to_string(high) + " in steps of 1; " + std::to_string(high + 1) + " is not one of them",
              error_text());
    UniqueBstr focus(L"Focus");
    LONG value = 0;
    EXPECT_TRUE(FAILED(camera->ControlValue(focus.get(), &value)));
    EXPECT_TRUE(qt::contains(error_text(), "'Control Cam' has no Focus control")) << error_text();

    // A device without controls still opens and lists none.
    ASSERT_EQ(S_OK, open(L"Bare Cam"));
    ASSERT_EQ(S_OK, camera->get_ControlCount(&count));
    EXPECT_EQ(0, count);
}

// Camera control (docs/TestCamera.md's ranges): automatic modes toggle on the device, and a
// device that refuses every Set says so with the value it refused.
TEST_F(CameraClassTest, CameraControlsAndTheirAutomaticModes)
{
    ASSERT_TRUE(qt::add_device("Head Cam", "--camctl exposure,focus"));
    ASSERT_TRUE(qt::add_device("Locked Cam", "--camctl focus --refuse-set"));
    IQuiloCamera *camera = create();
    ASSERT_TRUE(camera);
    ASSERT_EQ(S_OK, open(L"Head Cam"));
    LONG count = 0;
    ASSERT_EQ(S_OK, camera->get_ControlCount(&count));
    EXPECT_EQ(10, count) << "eight procamp controls, exposure and focus";
    UniqueBstr exposure(L"Exposure"), focus(L"focus");
    LONG low = 0, high = 0;
    VARIANT_BOOL automatic = VARIANT_FALSE;
    ASSERT_EQ(S_OK, camera->ControlMin(exposure.get(), &low));
    ASSERT_EQ(S_OK, camera->ControlMax(exposure.get(), &high));
    EXPECT_EQ(-13, low);
    EXPECT_EQ(-1, high);
    ASSERT_EQ(S_OK, camera->ControlIsAuto(exposure.get(), &automatic));
    EXPECT_EQ(VARIANT_TRUE, automatic);

    ASSERT_EQ(S_OK, camera->SetControl(exposure.get(), -9));
    ASSERT_EQ(S_OK, camera->ControlIsAuto(exposure.get(), &automatic));
    EXPECT_EQ(VARIANT_FALSE, automatic) << "a value makes it manual";
    ASSERT_EQ(S_OK, camera->SetControlAuto(exposure.get()));
    ASSERT_EQ(S_OK, camera->ControlIsAuto(exposure.get(), &automatic));
    EXPECT_EQ(VARIANT_TRUE, automatic);
    EXPECT_EQ(E_INVALIDARG, camera->SetControl(focus.get(), 3));
    EXPECT_EQ("QuiloVideo.Camera: Focus takes values from 0 to 250 in steps of 5; 3 is not one of them", error_text());
    const qt::DeviceRecord record = qt::read_device_record("Head Cam");
    ASSERT_EQ(2u, record.cameraControlSets.size()) << "a value off the step never reaches the device";
    EXPECT_EQ(CameraControl_Exposure, record.cameraControlSets[0].property);
    EXPECT_EQ(-9, record.cameraControlSets[0].value);
    EXPECT_EQ(CameraControl_Flags_Manual, record.cameraControlSets[0].flags);
    EXPECT_EQ(CameraControl_Flags_Auto, record.cameraControlSets[1].flags);

    ASSERT_EQ(S_OK, open(L"Locked Cam"));
    EXPECT_EQ(static_cast<HRESULT>(0x80070001L), camera->SetControl(focus.get(), 50));
    EXPECT_TRUE(qt::contains(error_text(), "'Locked Cam' refused Focus = 50 (0x80070001")) << error_text();
}

TEST_F(CameraClassTest, CrossbarInputsAndStandardsOfACaptureCard)
{
    ASSERT_TRUE(qt::add_device("Card", "--crossbar composite,svideo,tuner/decoder --marks --size 64x48"));
    ASSERT_TRUE(qt::add_device("Encoder Card", "--crossbar composite,svideo/audio,encoder --size 64x48"));
    ASSERT_TRUE(qt::add_device("Webcam"));
    IQuiloCamera *camera = create();
    ASSERT_TRUE(camera);
    ASSERT_EQ(S_OK, open(L"Card"));
    LONG inputs = 0;
    ASSERT_EQ(S_OK, camera->get_InputCount(&inputs));
    ASSERT_EQ(3, inputs);
    UniqueBstr routed, second;
    ASSERT_EQ(S_OK, camera->get_Input(routed.put()));
    EXPECT_EQ("Composite", qt::narrow(routed.get()));
    ASSERT_EQ(S_OK, camera->InputName(1, second.put()));
    EXPECT_EQ("S-Video", qt::narrow(second.get()));
    UniqueVariant svideo;
    *svideo.get() = text(L"s-video");
    ASSERT_EQ(S_OK, camera->SelectInput(*svideo.get()));
    ASSERT_EQ(S_OK, camera->get_Input(routed.put()));
    EXPECT_EQ("S-Video", qt::narrow(routed.get()));
    // The picture's input mark (docs/TestCamera.md) follows; the frame after the next, as one
    // painted before the routing may still be on its way.
    LONG mark = 0;
    ASSERT_EQ(S_OK, camera->Grab(8000));
    ASSERT_EQ(S_OK, camera->Grab(8000));
    ASSERT_EQ(S_OK, camera->Pixel(3, 3, &mark));
    EXPECT_EQ(0x00FF00, mark) << "S-Video: green";
    const qt::DeviceRecord record = qt::read_device_record("Card");
    ASSERT_FALSE(record.routes.empty());
    EXPECT_EQ(1, record.routes.back().second);

    UniqueBstr pal(L"PAL_B"), standard;
    ASSERT_EQ(S_OK, camera->SetStandard(pal.get()));
    ASSERT_EQ(S_OK, camera->get_Standard(standard.put()));
    EXPECT_EQ("PAL_B", qt::narrow(standard.get()));

    // Without a decoder pin the picture follows the first video output, not the audio one before it.
    ASSERT_EQ(S_OK, open(L"Encoder Card"));
    ASSERT_EQ(S_OK, camera->SelectInput(*svideo.get()));
    ASSERT_EQ(S_OK, camera->get_Input(routed.put()));
    EXPECT_EQ("S-Video", qt::narrow(routed.get()));
    const qt::DeviceRecord encoder = qt::read_device_record("Encoder Card");
    ASSERT_FALSE(encoder.routes.empty());
    EXPECT_EQ((std::pair<long, long>{1, 1}), encoder.routes.back());

    ASSERT_EQ(S_OK, open(L"Webcam"));
    ASSERT_EQ(S_OK, camera->get_InputCount(&inputs));
    EXPECT_EQ(0, inputs);
    EXPECT_EQ(E_NOINTERFACE, camera->SelectInput(*svideo.get()));
    EXPECT_EQ("QuiloVideo.Camera: 'Webcam' has no crossbar: it has no inputs to choose", error_text());
}

} // namespace

namespace {

// README's test camera options: a still pin listed first, a range of frame rates that the
// pacing follows, and the documented device path (or none).
TEST_F(CameraClassTest, CapturePinByCategoryRatesAndDevicePaths)
{
    ASSERT_TRUE(qt::add_device("Rate Cam", "--rates 5-60 --tag 4"));
    ASSERT_TRUE(qt::add_device("Still Cam", "--still-pin-first --tag 6 --no-path"));
    IQuiloCamera *camera = create();
    ASSERT_TRUE(camera);

    UniqueBstr path;
    ASSERT_EQ(S_OK, camera->DevicePath(0, path.put()));
    EXPECT_EQ("\\\\?\\root#quilotestcam#Rate_Cam#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global", qt::narrow(path.get()));
    ASSERT_EQ(S_OK, camera->DevicePath(1, path.put()));
    EXPECT_EQ("", qt::narrow(path.get()));

    // Opened by its path, at the top of its range: stream times step by 1/60 s.
    UniqueVariant byPath, top;
    ASSERT_EQ(S_OK, camera->DevicePath(0, path.put()));
    *byPath.get() = text(path.get());
    double low = 0, high = 0;
    ASSERT_EQ(S_OK, camera->FormatMinRate(*byPath.get(), 1, &low));
    ASSERT_EQ(S_OK, camera->FormatMaxRate(*byPath.get(), 1, &high));
    EXPECT_EQ(5.0, low);
    EXPECT_EQ(60.0, high);
    V_VT(top.get()) = VT_R8;
    V_R8(top.get()) = 60;
    ASSERT_EQ(S_OK, camera->Open(*byPath.get(), 320, 240, *top.get()));
    UniqueBstr name;
    ASSERT_EQ(S_OK, camera->get_Name(name.put()));
    EXPECT_EQ("Rate Cam", qt::narrow(name.get()));
    LONG first = 0, last = 0;
    double start = 0, end = 0;
    ASSERT_EQ(S_OK, camera->Grab(4000));
    ASSERT_EQ(S_OK, camera->get_FrameNumber(&first));
    ASSERT_EQ(S_OK, camera->get_StreamTime(&start));
    for (int i = 0; i < 6; ++i) ASSERT_EQ(S_OK, camera->Grab(4000));
    ASSERT_EQ(S_OK, camera->get_FrameNumber(&last));
    ASSERT_EQ(S_OK, camera->get_StreamTime(&end));
    ASSERT_GT(last, first);
    EXPECT_NEAR(1.0 / 60, (end - start) / (last - first), 0.25 / 60);

    // The still pin comes first and never streams; the capture pin is found by its category.
    ASSERT_EQ(S_OK, open(L"Still Cam"));
    ASSERT_EQ(S_OK, camera->Grab(4000));
    LONG rgb = 0;
    ASSERT_EQ(S_OK, camera->Pixel(0, 3, &rgb));
    EXPECT_EQ(6, rgb >> 16);
    EXPECT_EQ(3, (rgb >> 8) & 0xFF);
}

} // namespace
