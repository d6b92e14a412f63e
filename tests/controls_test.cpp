// Camera image controls and the analog video standard, end to end through the test camera,
// which records every call it receives.
#include <gtest/gtest.h>
#include <vfwmsgs.h>

#include <cstring>
#include <string>

#include "support/ComponentTest.h"
#include "support/TestCamera.h"
#include "support/TestSupport.h"

using quilo::ComPtr;
using namespace quilo::test;

namespace {

using Getter = HRESULT (STDMETHODCALLTYPE ICQuiloVideoProcClass::*)(LONG *);
using Setter = HRESULT (STDMETHODCALLTYPE ICQuiloVideoProcClass::*)(LONG);
using Support = HRESULT (STDMETHODCALLTYPE ICQuiloVideoProcClass::*)(VARIANT_BOOL *);

struct Control
{
    const char *name;     // the platform's name, as the test camera's --procamp takes it
    long property;        // VideoProcAmpProperty the device must see
    long inRange;         // a value the test camera accepts, not its default
    Getter get;
    Setter set;
    Support supported;
};

const Control kControls[] = {
    {"brightness", 0, 10, &ICQuiloVideoProcClass::GetCameraBrightnessParam, &ICQuiloVideoProcClass::SetCameraBrightnessParam,
     &ICQuiloVideoProcClass::IsCameraSupportBrightness},
    {"contrast", 1, 20, &ICQuiloVideoProcClass::GetCameraContrastParam, &ICQuiloVideoProcClass::SetCameraContrastParam,
     &ICQuiloVideoProcClass::IsCameraSupportContrast},
    {"hue", 2, -5, &ICQuiloVideoProcClass::GetCameraHueParam, &ICQuiloVideoProcClass::SetCameraHueParam,
     &ICQuiloVideoProcClass::IsCaneraSupportHue},
    {"saturation", 3, 100, &ICQuiloVideoProcClass::GetCameraSaturationParam, &ICQuiloVideoProcClass::SetCameraSaturationParam,
     &ICQuiloVideoProcClass::IsCameraSupportSaturation},
    {"sharpness", 4, 5, &ICQuiloVideoProcClass::GetCameraSharpnessParam, &ICQuiloVideoProcClass::SetCameraSharpnessParam,
     &ICQuiloVideoProcClass::IsCameraSupportSharpness},
    // Gamma is read through the class's extra slot, after SetVideoStandParam.
    {"gamma", 5, 220, &ICQuiloVideoProcClass::GetCameraGammaParam, &ICQuiloVideoProcClass::SetCameraGammaParam,
     &ICQuiloVideoProcClass::IsCameraSupportGamma},
    {"whitebalance", 7, 5000, &ICQuiloVideoProcClass::GetCameraWhiteBlanceParam, &ICQuiloVideoProcClass::SetCameraWhiteBalance,
     &ICQuiloVideoProcClass::IsCameraSupportWhiteBalance},
    {"backlightcompensation", 8, 2, &ICQuiloVideoProcClass::GetCameraBacklightCompensationParam,
     &ICQuiloVideoProcClass::SetCameraBlacklightCompansationParam,
     &ICQuiloVideoProcClass::IsCameraSupportBacklightCompensation},
};

class ControlsTest : public ComponentTest
{
protected:
    void open(const std::string &options)
    {
        ASSERT_TRUE(add_device("cam", "--fps 0 --size 64x48 " + options));
        ASSERT_EQ(S_OK, object->createCapture(0, 0, 1, 64, 48));
    }
    ICQuiloVideoProcClass *o() { return object.get(); }

};

TEST_F(ControlsTest, EveryControlRoundTripsThroughTheDevice)
{
    open("");
    for (const Control &c : kControls) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(S_OK, (o()->*c.set)(c.inRange));
        LONG read = -12345;
        ASSERT_EQ(S_OK, (o()->*c.get)(&read));
        EXPECT_EQ(c.inRange, read);
    }
    // Each setter passes its own property, the value as given and flags 0; 6 and 9 never.
    const DeviceRecord record = read_device_record("cam");
    ASSERT_EQ(8u, record.procAmpSets.size());
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(kControls[i].property, record.procAmpSets[i].property);
        EXPECT_EQ(kControls[i].inRange, record.procAmpSets[i].value);
        EXPECT_EQ(0, record.procAmpSets[i].flags);
    }
}

TEST_F(ControlsTest, TheDevicesRefusalIsReturnedUnchanged)
{
    open("");
    for (const Control &c : kControls) {
        SCOPED_TRACE(c.name);
        LONG before = 0;
        ASSERT_EQ(S_OK, (o()->*c.get)(&before));
        EXPECT_EQ(E_INVALIDARG, (o()->*c.set)(1000000)) << "no clamping";
        LONG after = 0;
        ASSERT_EQ(S_OK, (o()->*c.get)(&after));
        EXPECT_EQ(before, after);
    }
}

TEST_F(ControlsTest, SupportIsWrittenAsExactlyOneOrZero)
{
    open("--procamp brightness,gamma,backlightcompensation");
    for (const Control &c : kControls) {
        SCOPED_TRACE(c.name);
        const bool has = !std::strcmp(c.name, "brightness") || !std::strcmp(c.name, "gamma") ||
                         !std::strcmp(c.name, "backlightcompensation");
        VARIANT_BOOL supported = 0x5555;
        EXPECT_EQ(S_OK, (o()->*c.supported)(&supported));
        EXPECT_EQ(has ? 1 : 0, supported);
        LONG value = 77;
        const HRESULT hr = (o()->*c.get)(&value);
        EXPECT_EQ(has, SUCCEEDED(hr)) << std::hex << hr;
    }
}

TEST_F(ControlsTest, WithoutADeviceNothingIsCalledOrWritten)
{
    for (const Control &c : kControls) {
        SCOPED_TRACE(c.name);
        LONG value = 77;
        EXPECT_EQ(VFW_E_WRONG_STATE, (o()->*c.get)(&value));
        EXPECT_EQ(77, value);
        EXPECT_EQ(VFW_E_WRONG_STATE, (o()->*c.set)(1));
        VARIANT_BOOL supported = 0x5555;
        EXPECT_EQ(S_OK, (o()->*c.supported)(&supported));
        EXPECT_EQ(0, supported);
        EXPECT_EQ(E_POINTER, (o()->*c.get)(nullptr));
        EXPECT_EQ(E_POINTER, (o()->*c.supported)(nullptr));
    }
    // Also after an open that stopped before it reached the controls.
    ASSERT_TRUE(add_device("cam", "--fps 0 --procamp none"));
    EXPECT_EQ(E_NOINTERFACE, object->createCapture(0, 0, 1, 64, 48));
    LONG value = 77;
    EXPECT_EQ(VFW_E_WRONG_STATE, object->GetCameraHueParam(&value));
    EXPECT_EQ(77, value);
}

TEST_F(ControlsTest, NullPointersAreRefusedWithADevice)
{
    open("");
    for (const Control &c : kControls) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(E_POINTER, (o()->*c.get)(nullptr));
        EXPECT_EQ(E_POINTER, (o()->*c.supported)(nullptr));
    }
    EXPECT_EQ(E_POINTER, object->GetVideoStandParam(nullptr));
    EXPECT_EQ(E_POINTER, object->SetVideoStandParam(nullptr));
}

const char *const kStandards[] = {"NTSC_M",  "NTSC_J",  "NTSC_433", "PAL_B",   "PAL_D",    "PAL_G",   "PAL_H",
                                  "PAL_I",   "PAL_M",   "PAL_N",    "PAL_60",  "SECAM_B",  "SECAM_D", "SECAM_G",
                                  "SECAM_H", "SECAM_K", "SECAM_K1", "SECAM_L", "SECAM_L1"};

std::string get_standard(ICQuiloVideoProc *object, HRESULT expected = S_OK)
{
    unsigned char text[16];
    std::memset(text, 'x', sizeof(text));
    EXPECT_EQ(expected, object->GetVideoStandParam(text));
    text[sizeof(text) - 1] = 0;
    return reinterpret_cast<char *>(text);
}

HRESULT set_standard(ICQuiloVideoProc *object, const char *name)
{
    std::string copy(name);
    return object->SetVideoStandParam(reinterpret_cast<unsigned char *>(&copy[0]));
}

TEST_F(ControlsTest, EveryStandardNameIsSetAndReadBack)
{
    open("--crossbar composite/decoder --standard PAL_B");
    EXPECT_EQ("PAL_B", get_standard(o()));
    for (size_t i = 0; i < sizeof(kStandards) / sizeof(kStandards[0]); ++i) {
        SCOPED_TRACE(kStandards[i]);
        ASSERT_EQ(S_OK, set_standard(o(), kStandards[i]));
        EXPECT_EQ(kStandards[i], get_standard(o()));
    }
    const DeviceRecord record = read_device_record("cam");
    ASSERT_EQ(19u, record.videoStandardSets.size());
    EXPECT_EQ(0x1, record.videoStandardSets.front());
    EXPECT_EQ(0x2, record.videoStandardSets[1]) << "NTSC_J is NTSC_M_J";
    EXPECT_EQ(0x80000, record.videoStandardSets.back()) << "SECAM_L1";
}

TEST_F(ControlsTest, NamesMatchExactly)
{
    open("--crossbar composite/decoder");
    for (const char *name : {"pal_b", "PAL_B ", "PAL", "", "None Video"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(E_INVALIDARG, set_standard(o(), name));
    }
    EXPECT_TRUE(read_device_record("cam").videoStandardSets.empty()) << "the decoder is never called";
}

TEST_F(ControlsTest, DecoderAnswersArePassedOn)
{
    open("--crossbar composite/decoder --decoder-sfalse");
    EXPECT_EQ(S_OK, set_standard(o(), "SECAM_L"));
    ASSERT_EQ(S_FALSE, object->destroyCapture());

    for (const char *raw : {"0x100000", "0"}) {
        SCOPED_TRACE(raw);
        open(std::string("--crossbar composite/decoder --standard ") + raw);
        EXPECT_EQ("", get_standard(o())) << "a value the table lacks";
        ASSERT_EQ(S_FALSE, object->destroyCapture());
    }

    open("--crossbar composite/decoder --decoder-fail");
    unsigned char text[16] = "garbage";
    EXPECT_EQ(E_FAIL, object->GetVideoStandParam(text)) << "get_TVFormat's failure, unchanged";
    EXPECT_EQ(0, text[0]);
}

TEST_F(ControlsTest, WithoutADecoderTheStandardIsNoneVideo)
{
    EXPECT_EQ("None Video", get_standard(o())) << "before any device";
    EXPECT_EQ(S_FALSE, set_standard(o(), "PAL_B"));
    open("");
    EXPECT_EQ("None Video", get_standard(o()));
    for (const char *name : {"PAL_B", "nonsense", ""}) EXPECT_EQ(S_FALSE, set_standard(o(), name));
}

} // namespace
