// Every method of the object in every state a host can leave it in, with good arguments, null
// pointers, booleans whose low 16 bits are or are not zero, and extreme integers. Each cell must
// answer the result README.md's result table gives, never crash and never hang, and the object
// must stay usable afterwards.
#include <gtest/gtest.h>
#include <vfwmsgs.h>
#include <strmif.h>
#include <uuids.h>

#include <climits>
#include <cstring>
#include <string>

#include "support/Component.h"
#include "support/ComponentTest.h"
#include "support/DialogWatcher.h"
#include "support/TestCamera.h"
#include "support/TestSupport.h"
#include "dshow/DeviceList.h"

using quilo::ComPtr;
using namespace quilo::test;

namespace {

// One device with every control, an analog decoder and no property pages (so a false
// bSetCameraParam goes straight on instead of waiting for a user).
constexpr char kDeviceOptions[] =
    "--fps 0 --size 64x48 --no-pages --tag 77 --crossbar composite/decoder --standard PAL_B";
constexpr int kTag = 77;
constexpr LONG kWidth = 64;
constexpr LONG kHeight = 48;

enum class State { Fresh, AfterFailedCreate, SetUp, Started, AfterDestroy, Recreated };
constexpr State kStates[] = {State::Fresh,   State::AfterFailedCreate, State::SetUp,
                             State::Started, State::AfterDestroy,      State::Recreated};

const char *state_name(State s)
{
    switch (s) {
    case State::Fresh: return "new object";
    case State::AfterFailedCreate: return "after a failed createCapture";
    case State::SetUp: return "set up";
    case State::Started: return "started";
    case State::AfterDestroy: return "after destroyCapture";
    case State::Recreated: return "created again after destroyCapture, started";
    }
    return "?";
}

// A device is open: createCapture succeeded and no destroyCapture followed.
bool device_open(State s) { return s == State::SetUp || s == State::Started || s == State::Recreated; }
// The controls and the decoder of the last open device are still held.
bool controls_held(State s) { return device_open(s) || s == State::AfterDestroy; }
bool delivering(State s) { return s == State::Started || s == State::Recreated; }

constexpr LONG kExtremes[] = {INT_MIN, INT_MAX, 0};
constexpr LONG kSentinel = 0x5EED5EED;

using Object = ICQuiloVideoProcClass;

struct Control
{
    const char *name;
    long property; // VideoProcAmpProperty
    HRESULT (*get)(Object *, LONG *);
    HRESULT (*supported)(Object *, VARIANT_BOOL *);
    HRESULT (*set)(Object *, LONG);
};

const Control kControls[] = {
    {"brightness", VideoProcAmp_Brightness, [](Object *o, LONG *v) { return o->GetCameraBrightnessParam(v); },
     [](Object *o, VARIANT_BOOL *b) { return o->IsCameraSupportBrightness(b); },
     [](Object *o, LONG v) { return o->SetCameraBrightnessParam(v); }},
    {"contrast", VideoProcAmp_Contrast, [](Object *o, LONG *v) { return o->GetCameraContrastParam(v); },
     [](Object *o, VARIANT_BOOL *b) { return o->IsCameraSupportContrast(b); },
     [](Object *o, LONG v) { return o->SetCameraContrastParam(v); }},
    {"hue", VideoProcAmp_Hue, [](Object *o, LONG *v) { return o->GetCameraHueParam(v); },
     [](Object *o, VARIANT_BOOL *b) { return o->IsCaneraSupportHue(b); },
     [](Object *o, LONG v) { return o->SetCameraHueParam(v); }},
    {"saturation", VideoProcAmp_Saturation, [](Object *o, LONG *v) { return o->GetCameraSaturationParam(v); },
     [](Object *o, VARIANT_BOOL *b) { return o->IsCameraSupportSaturation(b); },
     [](Object *o, LONG v) { return o->SetCameraSaturationParam(v); }},
    {"sharpness", VideoProcAmp_Sharpness, [](Object *o, LONG *v) { return o->GetCameraSharpnessParam(v); },
     [](Object *o, VARIANT_BOOL *b) { return o->IsCameraSupportSharpness(b); },
     [](Object *o, LONG v) { return o->SetCameraSharpnessParam(v); }},
    {"gamma", VideoProcAmp_Gamma, [](Object *o, LONG *v) { return o->GetCameraGammaParam(v); },
     [](Object *o, VARIANT_BOOL *b) { return o->IsCameraSupportGamma(b); },
     [](Object *o, LONG v) { return o->SetCameraGammaParam(v); }},
    {"white balance", VideoProcAmp_WhiteBalance, [](Object *o, LONG *v) { return o->GetCameraWhiteBlanceParam(v); },
     [](Object *o, VARIANT_BOOL *b) { return o->IsCameraSupportWhiteBalance(b); },
     [](Object *o, LONG v) { return o->SetCameraWhiteBalance(v); }},
    {"backlight compensation", VideoProcAmp_BacklightCompensation,
     [](Object *o, LONG *v) { return o->GetCameraBacklightCompensationParam(v); },
     [](Object *o, VARIANT_BOOL *b) { return o->IsCameraSupportBacklightCompensation(b); },
     [](Object *o, LONG v) { return o->SetCameraBlacklightCompansationParam(v); }},
};

// The same device opened by the test itself through the platform: what the device answers is
// what the component must pass on unchanged.
ComPtr<IAMVideoProcAmp> open_device_directly()
{
    ComPtr<IBaseFilter> filter;
    EXPECT_EQ(S_OK, quilo::dshow::bind_video_device(0, filter));
    ComPtr<IAMVideoProcAmp> procAmp;
    if (filter) {
        EXPECT_EQ(S_OK, filter.query(procAmp));
    }
    return procAmp;
}

class StateMatrixTest : public ComponentTest
{
protected:
    void SetUp() override
    {
        ComponentTest::SetUp();
        ASSERT_TRUE(add_device("cam", kDeviceOptions));
    }

    // A new object brought into the state; every step on the way must answer as documented.
    static ComPtr<Object> in_state(State s)
    {
        ComPtr<Object> o = create_component();
        if (!o) return o;
        if (s == State::AfterFailedCreate) {
            EXPECT_EQ(VFW_E_NO_CAPTURE_HARDWARE, o->createCapture(1, 1, 1, kWidth, kHeight));
        }
        if (s == State::Fresh || s == State::AfterFailedCreate) return o;
        EXPECT_EQ(S_OK, o->createCapture(0, 1, 1, kWidth, kHeight));
        if (s == State::SetUp) return o;
        EXPECT_EQ(S_OK, o->startCapture());
        EXPECT_GT(grab_frame(o.get(), true), 0);
        if (s == State::Started) return o;
        EXPECT_EQ(S_FALSE, o->destroyCapture());
        if (s == State::AfterDestroy) return o;
        EXPECT_EQ(S_OK, o->createCapture(0, 1, 1, kWidth, kHeight));
        EXPECT_EQ(S_OK, o->startCapture());
        return o;
    }

    // Grabs one frame and checks it against the camera's picture: its sequence number, or -1.
    static long grab_frame(Object *o, bool topRowFirst)
    {
        QuiloImageStruct rec = {};
        EXPECT_EQ(S_OK, o->Grab(&rec));
        if (!rec.data) {
            ADD_FAILURE() << "no pixels handed out";
            return -1;
        }
        EXPECT_EQ(kWidth, rec.width);
        EXPECT_EQ(kHeight, rec.height);
        return good_number(rec, topRowFirst, kTag);
    }

    // After any cell the object still opens the device and delivers the right picture.
    static void expect_usable(Object *o)
    {
        SCOPED_TRACE("usable afterwards");
        EXPECT_EQ(S_OK, o->createCapture(0, 0, 1, kWidth, kHeight));
        EXPECT_EQ(S_OK, o->startCapture());
        EXPECT_GT(grab_frame(o, false), 0);
        EXPECT_EQ(S_FALSE, o->destroyCapture());
    }
};

TEST_F(StateMatrixTest, GrabInEveryState)
{
    for (State s : kStates) {
        SCOPED_TRACE(state_name(s));
        ComPtr<Object> o = in_state(s);
        ASSERT_TRUE(o);
        EXPECT_EQ(S_OK, o->Grab(nullptr));

        QuiloImageStruct rec, untouched;
        std::memset(&rec, 0xCD, sizeof rec);
        untouched = rec;
        const HRESULT hr = o->Grab(&rec);
        if (!device_open(s)) {
            EXPECT_EQ(VFW_E_WRONG_STATE, hr);
            EXPECT_EQ(0, std::memcmp(&rec, &untouched, sizeof rec)) << "nothing written";
        } else {
            ASSERT_EQ(S_OK, hr);
            EXPECT_EQ(kWidth, rec.width);
            EXPECT_EQ(kHeight, rec.height);
            EXPECT_EQ(8, rec.depth);
            EXPECT_EQ(3, rec.channels);
            if (delivering(s)) {
                EXPECT_GT(frame_number(rec.data, kWidth, kHeight, rgb24_stride(kWidth), true, kTag), 0);
            } else {
                EXPECT_EQ(untouched.data, rec.data) << "no pixels before startCapture";
            }
        }
        expect_usable(o.get());
    }
}

TEST_F(StateMatrixTest, StartAndDestroyInEveryState)
{
    for (State s : kStates) {
        SCOPED_TRACE(state_name(s));
        ComPtr<Object> o = in_state(s);
        ASSERT_TRUE(o);
        EXPECT_EQ(S_OK, o->startCapture());
        EXPECT_EQ(S_OK, o->startCapture());
        EXPECT_EQ(device_open(s) ? S_FALSE : S_OK, o->destroyCapture());
        EXPECT_EQ(S_OK, o->destroyCapture());
        QuiloImageStruct rec = {};
        EXPECT_EQ(VFW_E_WRONG_STATE, o->Grab(&rec));

        // Only tearing an open device down clears the started flag; otherwise it carries over
        // to the next createCapture.
        EXPECT_EQ(S_OK, o->createCapture(0, 1, 1, kWidth, kHeight));
        EXPECT_EQ(S_OK, o->Grab(&rec));
        EXPECT_EQ(device_open(s), rec.data == nullptr);
        EXPECT_EQ(S_FALSE, o->destroyCapture());
        expect_usable(o.get());
    }
}

TEST_F(StateMatrixTest, CreateCaptureInEveryStateAndArgument)
{
    enum Outcome { Opens, Refused, DeviceRefusesSize };
    struct Case
    {
        LONG deviceID, flip, setCameraParam, width, height;
        Outcome outcome;
        HRESULT result; // for Refused
    };
    // The booleans are passed as 32-bit values: only their low 16 bits count.
    const Case cases[] = {
        {0, 1, 1, kWidth, kHeight, Opens, S_OK},
        {0, -1, -1, kWidth, kHeight, Opens, S_OK},
        // 0x10000 is false: the size is not used, the device keeps its own.
        {0, 0x10000, 0x10000, INT_MIN, INT_MIN, Opens, S_OK},
        {0, 0, 0x10000, INT_MAX, 0, Opens, S_OK},
        {INT_MIN, 1, 1, kWidth, kHeight, Refused, E_INVALIDARG},
        {-1, 1, 1, kWidth, kHeight, Refused, E_INVALIDARG},
        {INT_MAX, 1, 1, kWidth, kHeight, Refused, VFW_E_NO_CAPTURE_HARDWARE},
        {1, 1, 1, kWidth, kHeight, Refused, VFW_E_NO_CAPTURE_HARDWARE},
        {0, 1, 1, INT_MAX, INT_MAX, DeviceRefusesSize, S_OK},
        {0, 1, 1, INT_MIN, 0, DeviceRefusesSize, S_OK},
        {0, 1, 1, 0, 0, DeviceRefusesSize, S_OK},
    };
    for (State s : kStates) {
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(state_name(s)) + ": createCapture(" + std::to_string(c.deviceID) + ", " +
                         std::to_string(c.flip) + ", " + std::to_string(c.setCameraParam) + ", " +
                         std::to_string(c.width) + ", " + std::to_string(c.height) + ")");
            ComPtr<Object> o = in_state(s);
            ASSERT_TRUE(o);
            const size_t formatsBefore = read_device_record("cam").formatSets.size();
            DialogWatcher watcher;
            const HRESULT hr = create_capture_raw(o.get(), c.deviceID, c.flip, c.setCameraParam, c.width, c.height);
            const auto seen = watcher.seen();
            const DeviceRecord record = read_device_record("cam");
            QuiloImageStruct rec = {};
            switch (c.outcome) {
            case Opens:
                EXPECT_EQ(S_OK, hr);
                EXPECT_TRUE(seen.empty());
                EXPECT_EQ(S_OK, o->startCapture());
                EXPECT_GT(grab_frame(o.get(), (c.flip & 0xFFFF) != 0), 0);
                EXPECT_EQ(S_FALSE, o->destroyCapture());
                break;
            case Refused:
            case DeviceRefusesSize:
                if (c.outcome == Refused) {
                    EXPECT_EQ(c.result, hr);
                    EXPECT_TRUE(seen.empty());
                } else {
                    // The device's own refusal, after the one message the frame-size step shows.
                    ASSERT_EQ(formatsBefore + 1, record.formatSets.size());
                    EXPECT_EQ(c.width, record.formatSets.back().width);
                    EXPECT_EQ(c.height, record.formatSets.back().height);
                    EXPECT_TRUE(FAILED(record.formatSets.back().result));
                    EXPECT_EQ(record.formatSets.back().result, hr);
                    ASSERT_EQ(1u, seen.size());
                    EXPECT_EQ("SetFormat Failed\n", seen[0].text);
                }
                // Nothing is left open or held: no frames, no controls, no decoder.
                EXPECT_EQ(VFW_E_WRONG_STATE, o->Grab(&rec));
                EXPECT_EQ(S_OK, o->destroyCapture());
                {
                    LONG value = kSentinel;
                    EXPECT_EQ(VFW_E_WRONG_STATE, o->GetCameraBrightnessParam(&value));
                    EXPECT_EQ(kSentinel, value);
                }
                EXPECT_EQ(S_FALSE, o->SetVideoStandParam(reinterpret_cast<unsigned char *>(const_cast<char *>("PAL_B"))));
                break;
            }
            expect_usable(o.get());
        }
    }
}

TEST_F(StateMatrixTest, CameraControlsInEveryStateAndValue)
{
    ComPtr<IAMVideoProcAmp> device = open_device_directly();
    ASSERT_TRUE(device);
    for (State s : kStates) {
        SCOPED_TRACE(state_name(s));
        ComPtr<Object> o = in_state(s);
        ASSERT_TRUE(o);
        for (const Control &control : kControls) {
            SCOPED_TRACE(control.name);
            EXPECT_EQ(E_POINTER, control.get(o.get(), nullptr));
            EXPECT_EQ(E_POINTER, control.supported(o.get(), nullptr));

            VARIANT_BOOL supported = 0x5A5A;
            EXPECT_EQ(S_OK, control.supported(o.get(), &supported));
            EXPECT_EQ(controls_held(s) ? 1 : 0, supported);

            LONG minimum = 0, maximum = 0, step = 0, byDefault = 0, caps = 0;
            ASSERT_EQ(S_OK, device->GetRange(control.property, &minimum, &maximum, &step, &byDefault, &caps));
            const LONG values[] = {INT_MIN, INT_MAX, 0, minimum, maximum, byDefault};
            for (LONG value : values) {
                SCOPED_TRACE("value " + std::to_string(value));
                const HRESULT hr = control.set(o.get(), value);
                if (!controls_held(s)) {
                    EXPECT_EQ(VFW_E_WRONG_STATE, hr);
                    continue;
                }
                // The device's verdict on the same value, unchanged.
                EXPECT_EQ(device->Set(control.property, value, 0), hr);
                LONG read = kSentinel;
                EXPECT_EQ(S_OK, control.get(o.get(), &read));
                LONG expected = 0, flags = 0;
                ASSERT_EQ(S_OK, device->Get(control.property, &expected, &flags));
                EXPECT_EQ(expected, read);
            }
            LONG read = kSentinel;
            EXPECT_EQ(controls_held(s) ? S_OK : VFW_E_WRONG_STATE, control.get(o.get(), &read));
            if (!controls_held(s)) {
                EXPECT_EQ(kSentinel, read) << "nothing written";
            }
        }
        if (delivering(s)) {
            EXPECT_GT(grab_frame(o.get(), true), 0);
        }
        expect_usable(o.get());
    }
}

TEST_F(StateMatrixTest, VideoStandardInEveryStateAndName)
{
    auto text = [](const char *s) { return reinterpret_cast<unsigned char *>(const_cast<char *>(s)); };
    for (State s : kStates) {
        SCOPED_TRACE(state_name(s));
        ComPtr<Object> o = in_state(s);
        ASSERT_TRUE(o);
        EXPECT_EQ(E_POINTER, o->GetVideoStandParam(nullptr));
        EXPECT_EQ(E_POINTER, o->SetVideoStandParam(nullptr));

        unsigned char name[32];
        std::memset(name, 0xCD, sizeof name);
        EXPECT_EQ(S_OK, o->GetVideoStandParam(name));
        EXPECT_STREQ(controls_held(s) ? "PAL_B" : "None Video", reinterpret_cast<char *>(name));

        const HRESULT withoutDecoder = S_FALSE;
        EXPECT_EQ(controls_held(s) ? S_OK : withoutDecoder, o->SetVideoStandParam(text("SECAM_L1")));
        EXPECT_EQ(controls_held(s) ? E_INVALIDARG : withoutDecoder, o->SetVideoStandParam(text("")));
        EXPECT_EQ(controls_held(s) ? E_INVALIDARG : withoutDecoder, o->SetVideoStandParam(text("pal_b")));
        EXPECT_EQ(controls_held(s) ? E_INVALIDARG : withoutDecoder, o->SetVideoStandParam(text("PAL_B ")));
        EXPECT_EQ(S_OK, o->GetVideoStandParam(name));
        EXPECT_STREQ(controls_held(s) ? "SECAM_L1" : "None Video", reinterpret_cast<char *>(name));
        EXPECT_EQ(controls_held(s) ? S_OK : withoutDecoder, o->SetVideoStandParam(text("PAL_B")));
        if (delivering(s)) {
            EXPECT_GT(grab_frame(o.get(), true), 0);
        }
        expect_usable(o.get());
    }
}

} // namespace
