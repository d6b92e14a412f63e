// The test camera's controls as hosts reach them: the video processing amplifier, the crossbar
// and video decoder (also through the capture graph builder), the capture pin's stream
// configuration and category.
#include <gtest/gtest.h>

#include <vector>

#include "camera/CameraTest.h"
#include "testcam/kit/StreamConfigCaps.h"

namespace quilo::test {
namespace {

using ControlsTest = CameraTest;

constexpr long kEightProperties[] = {
    VideoProcAmp_Brightness, VideoProcAmp_Contrast, VideoProcAmp_Hue, VideoProcAmp_Saturation,
    VideoProcAmp_Sharpness, VideoProcAmp_Gamma, VideoProcAmp_WhiteBalance, VideoProcAmp_BacklightCompensation};

TEST_F(ControlsTest, ProcAmpHasRangesAndRefusesValuesOutsideThem)
{
    ASSERT_TRUE(add_device("Cam"));
    ComPtr<IBaseFilter> camera;
    ASSERT_EQ(S_OK, bind_device("Cam", camera));
    ComPtr<IAMVideoProcAmp> procAmp;
    ASSERT_EQ(S_OK, camera.query(procAmp));

    for (long property : kEightProperties) {
        long min, max, step, def, caps;
        ASSERT_EQ(S_OK, procAmp->GetRange(property, &min, &max, &step, &def, &caps)) << property;
        EXPECT_LE(min, def);
        EXPECT_LE(def, max);
        EXPECT_GT(step, 0);
        EXPECT_TRUE(caps & VideoProcAmp_Flags_Manual);
        long value, flags;
        ASSERT_EQ(S_OK, procAmp->Get(property, &value, &flags));
        EXPECT_EQ(def, value) << property;

        EXPECT_EQ(E_INVALIDARG, procAmp->Set(property, min - 1, VideoProcAmp_Flags_Manual)) << property;
        EXPECT_EQ(E_INVALIDARG, procAmp->Set(property, max + 1, 0)) << property;
        EXPECT_EQ(S_OK, procAmp->Set(property, max, 0)) << "flags 0 are taken as manual";
        ASSERT_EQ(S_OK, procAmp->Get(property, &value, &flags));
        EXPECT_EQ(max, value);
        EXPECT_EQ(VideoProcAmp_Flags_Manual, flags);
    }
    long min, max, step, def, caps;
    EXPECT_EQ(E_PROP_ID_UNSUPPORTED, procAmp->GetRange(VideoProcAmp_ColorEnable, &min, &max, &step, &def, &caps));
    EXPECT_EQ(E_PROP_ID_UNSUPPORTED, procAmp->GetRange(VideoProcAmp_Gain, &min, &max, &step, &def, &caps));
    EXPECT_EQ(E_PROP_ID_UNSUPPORTED, procAmp->GetRange(10, &min, &max, &step, &def, &caps));
    EXPECT_EQ(E_PROP_ID_UNSUPPORTED, procAmp->Set(VideoProcAmp_Gain, 0, 0));
    EXPECT_EQ(E_POINTER, procAmp->GetRange(VideoProcAmp_Hue, nullptr, &max, &step, &def, &caps));
    EXPECT_EQ(E_INVALIDARG, procAmp->Set(VideoProcAmp_Hue, 0, VideoProcAmp_Flags_Auto)) << "hue has no automatic mode";
    EXPECT_EQ(S_OK, procAmp->Set(VideoProcAmp_WhiteBalance, 0, VideoProcAmp_Flags_Auto));
    EXPECT_EQ(E_INVALIDARG, procAmp->Set(VideoProcAmp_Brightness, 0, 4));
}

TEST_F(ControlsTest, ProcAmpPropertiesFollowTheDeviceOptions)
{
    ASSERT_TRUE(add_device("Some", "--procamp brightness,gain"));
    ASSERT_TRUE(add_device("None", "--procamp none"));
    ComPtr<IBaseFilter> some, none;
    ASSERT_EQ(S_OK, bind_device("Some", some));
    ASSERT_EQ(S_OK, bind_device("None", none));
    ComPtr<IAMVideoProcAmp> procAmp;
    ASSERT_EQ(S_OK, some.query(procAmp));
    long min, max, step, def, caps;
    EXPECT_EQ(S_OK, procAmp->GetRange(VideoProcAmp_Brightness, &min, &max, &step, &def, &caps));
    EXPECT_EQ(S_OK, procAmp->GetRange(VideoProcAmp_Gain, &min, &max, &step, &def, &caps));
    EXPECT_EQ(E_PROP_ID_UNSUPPORTED, procAmp->GetRange(VideoProcAmp_Hue, &min, &max, &step, &def, &caps));
    ComPtr<IAMVideoProcAmp> absent;
    EXPECT_EQ(E_NOINTERFACE, none.query(absent));
}

TEST_F(ControlsTest, ProcAmpValuesStayWithTheDeviceAndEveryCallIsRecorded)
{
    ASSERT_TRUE(add_device("Cam"));
    {
        ComPtr<IBaseFilter> camera;
        ASSERT_EQ(S_OK, bind_device("Cam", camera));
        ComPtr<IAMVideoProcAmp> procAmp;
        ASSERT_EQ(S_OK, camera.query(procAmp));
        EXPECT_EQ(S_OK, procAmp->Set(VideoProcAmp_Gamma, 220, 0));
        EXPECT_EQ(E_INVALIDARG, procAmp->Set(VideoProcAmp_Contrast, 999, VideoProcAmp_Flags_Manual));
        EXPECT_EQ(E_PROP_ID_UNSUPPORTED, procAmp->Set(VideoProcAmp_Gain, 1, 0));
    }
    // Opened again, like a camera that stayed plugged in.
    ComPtr<IBaseFilter> camera;
    ASSERT_EQ(S_OK, bind_device("Cam", camera));
    ComPtr<IAMVideoProcAmp> procAmp;
    ASSERT_EQ(S_OK, camera.query(procAmp));
    long value = 0, flags = 0;
    ASSERT_EQ(S_OK, procAmp->Get(VideoProcAmp_Gamma, &value, &flags));
    EXPECT_EQ(220, value);
    ASSERT_EQ(S_OK, procAmp->Get(VideoProcAmp_Contrast, &value, &flags));
    EXPECT_EQ(32, value) << "a refused value changes nothing";

    const DeviceRecord record = read_device_record("Cam");
    ASSERT_EQ(3u, record.procAmpSets.size());
    EXPECT_EQ(VideoProcAmp_Gamma, record.procAmpSets[0].property);
    EXPECT_EQ(220, record.procAmpSets[0].value);
    EXPECT_EQ(0, record.procAmpSets[0].flags);
    EXPECT_EQ(VideoProcAmp_Contrast, record.procAmpSets[1].property);
    EXPECT_EQ(999, record.procAmpSets[1].value);
    EXPECT_EQ(VideoProcAmp_Flags_Manual, record.procAmpSets[1].flags);
    EXPECT_EQ(VideoProcAmp_Gain, record.procAmpSets[2].property);
}

// Ranges as docs/TestCamera.md gives them, and zoom's as configured with --range.
TEST_F(ControlsTest, CameraControlHasConfiguredRangesValuesSharedByTheDeviceAndRefusals)
{
    ASSERT_TRUE(add_device("Head", "--camctl zoom,exposure,focus --range zoom:100:500:20:120"));
    ASSERT_TRUE(add_device("Locked", "--camctl focus --refuse-set"));
    ASSERT_TRUE(add_device("Plain"));
    ComPtr<IBaseFilter> first, second, locked, plain;
    ASSERT_EQ(S_OK, bind_device("Head", first));
    ASSERT_EQ(S_OK, bind_device("Head", second));
    ASSERT_EQ(S_OK, bind_device("Locked", locked));
    ASSERT_EQ(S_OK, bind_device("Plain", plain));
    ComPtr<IAMCameraControl> a, b, refusing, absent;
    ASSERT_EQ(S_OK, query(first.get(), IID_IAMCameraControl, a));
    ASSERT_EQ(S_OK, query(second.get(), IID_IAMCameraControl, b));
    ASSERT_EQ(S_OK, query(locked.get(), IID_IAMCameraControl, refusing));
    EXPECT_EQ(E_NOINTERFACE, query(plain.get(), IID_IAMCameraControl, absent)) << "no camera control without --camctl";
    ComPtr<IUnknown> identity, filterIdentity;
    ASSERT_EQ(S_OK, query(a.get(), IID_IUnknown, identity));
    ASSERT_EQ(S_OK, query(first.get(), IID_IUnknown, filterIdentity));
    EXPECT_EQ(filterIdentity.get(), identity.get()) << "the interface is the filter's";

    struct Expected
    {
        long property, min, max, step, def, caps, flags;
    };
    constexpr long kBoth = CameraControl_Flags_Auto | CameraControl_Flags_Manual;
    for (const Expected &e : {Expected{CameraControl_Zoom, 100, 500, 20, 120, CameraControl_Flags_Manual,
                                       CameraControl_Flags_Manual},
                              Expected{CameraControl_Exposure, -13, -1, 1, -6, kBoth, CameraControl_Flags_Auto},
                              Expected{CameraControl_Focus, 0, 250, 5, 0, kBoth, CameraControl_Flags_Auto}}) {
        long min, max, step, def, caps, value, flags;
        ASSERT_EQ(S_OK, a->GetRange(e.property, &min, &max, &step, &def, &caps)) << e.property;
        EXPECT_EQ((std::vector<long>{e.min, e.max, e.step, e.def, e.caps}), (std::vector<long>{min, max, step, def, caps}));
        ASSERT_EQ(S_OK, a->Get(e.property, &value, &flags));
        EXPECT_EQ(e.def, value);
        EXPECT_EQ(e.flags, flags);
    }
    long min, max, step, def, caps, value, flags;
    EXPECT_EQ(E_PROP_ID_UNSUPPORTED, a->GetRange(CameraControl_Pan, &min, &max, &step, &def, &caps));

    // One device, two filter objects: what one sets, the other reads, as on a real camera.
    EXPECT_EQ(S_OK, a->Set(CameraControl_Zoom, 140, CameraControl_Flags_Manual));
    EXPECT_EQ(S_OK, a->Set(CameraControl_Exposure, -3, CameraControl_Flags_Manual));
    EXPECT_EQ(S_OK, b->Set(CameraControl_Exposure, 0, CameraControl_Flags_Auto));
    ASSERT_EQ(S_OK, b->Get(CameraControl_Zoom, &value, &flags));
    EXPECT_EQ(140, value);
    ASSERT_EQ(S_OK, a->Get(CameraControl_Exposure, &value, &flags));
    EXPECT_EQ(-3, value) << "automatic keeps the last value";
    EXPECT_EQ(CameraControl_Flags_Auto, flags);
    EXPECT_EQ(E_INVALIDARG, a->Set(CameraControl_Zoom, 520, CameraControl_Flags_Manual));
    EXPECT_EQ(E_INVALIDARG, a->Set(CameraControl_Zoom, 0, CameraControl_Flags_Auto)) << "zoom has no automatic mode";

    EXPECT_EQ(static_cast<HRESULT>(0x80070001L), refusing->Set(CameraControl_Focus, 10, CameraControl_Flags_Manual));
    ASSERT_EQ(S_OK, refusing->Get(CameraControl_Focus, &value, &flags));
    EXPECT_EQ(CameraControl_Flags_Auto, flags) << "a refused Set changes nothing";

    const DeviceRecord record = read_device_record("Head");
    ASSERT_EQ(5u, record.cameraControlSets.size());
    EXPECT_EQ(CameraControl_Zoom, record.cameraControlSets[0].property);
    EXPECT_EQ(140, record.cameraControlSets[0].value);
    EXPECT_EQ(CameraControl_Flags_Auto, record.cameraControlSets[2].flags);
    EXPECT_EQ(520, record.cameraControlSets[3].value);
    EXPECT_TRUE(record.procAmpSets.empty());
    EXPECT_EQ(1u, read_device_record("Locked").cameraControlSets.size()) << "a refused Set is recorded";
}

// --marks: block 0 the routed input's colour, block 1 + p camera control p (docs/TestCamera.md),
// following what another filter object of the same device sets.
TEST_F(ControlsTest, MarksShowTheRoutedInputAndCameraControlValues)
{
    ASSERT_TRUE(add_device("Card", "--camctl exposure --crossbar composite,svideo,tuner/decoder --marks --size 64x48 --fps 0"));
    ComPtr<IBaseFilter> camera, other;
    ASSERT_EQ(S_OK, bind_device("Card", camera));
    ASSERT_EQ(S_OK, bind_device("Card", other));
    GrabGraph graph;
    ASSERT_EQ(S_OK, graph.build(camera.get()));
    // RGB of the picture's pixel (x, y), y = 0 at the top; rows are bottom-up.
    auto pixel = [&graph](int x, int y) {
        Frame frame;
        EXPECT_EQ(S_OK, graph.grab(frame));
        const size_t at = static_cast<size_t>(frame.height - 1 - y) * 64 * 3 + static_cast<size_t>(x) * 3;
        return frame.bytes.size() > at + 2 ? (frame.bytes[at + 2] << 16) | (frame.bytes[at + 1] << 8) | frame.bytes[at]
                                           : -1;
    };
    EXPECT_EQ(0xFFFFFF, pixel(3, 3)) << "composite, routed at start: white";
    EXPECT_EQ(0xFFFA80, pixel(43, 7)) << "exposure automatic at -6";
    EXPECT_EQ(0x0008, pixel(48, 8) >> 8) << "outside the marks, the picture as usual: red 0, green the row";

    ComPtr<IAMCrossbar> crossbar;
    ComPtr<IAMCameraControl> control;
    ASSERT_EQ(S_OK, query(other.get(), IID_IAMCrossbar, crossbar));
    ASSERT_EQ(S_OK, query(other.get(), IID_IAMCameraControl, control));
    ASSERT_EQ(S_OK, crossbar->Route(0, 1));
    ASSERT_EQ(S_OK, control->Set(CameraControl_Exposure, -2, CameraControl_Flags_Manual));
    EXPECT_EQ(0x00FF00, pixel(0, 0)) << "S-Video: green";
    EXPECT_EQ(0x00FE80, pixel(40, 0)) << "exposure manual at -2";
    ASSERT_EQ(S_OK, crossbar->Route(0, 2));
    EXPECT_EQ(0x0000FF, pixel(7, 7)) << "tuner: blue";
}

TEST_F(ControlsTest, CrossbarListsConnectorsRoutesAndIsFoundByTheCaptureGraphBuilder)
{
    ASSERT_TRUE(add_device("Card", "--crossbar tuner,svideo,composite/decoder,audio"));
    ASSERT_TRUE(add_device("Plain"));
    ComPtr<IBaseFilter> card, plain;
    ASSERT_EQ(S_OK, bind_device("Card", card));
    ASSERT_EQ(S_OK, bind_device("Plain", plain));

    // The lookup a capture application makes, on a graph holding the device.
    ComPtr<IGraphBuilder> graph;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.put_void()));
    ComPtr<ICaptureGraphBuilder2> builder;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_ICaptureGraphBuilder2, builder.put_void()));
    ASSERT_EQ(S_OK, builder->SetFiltergraph(graph.get()));
    ASSERT_EQ(S_OK, graph->AddFilter(card.get(), L"Card"));
    ASSERT_EQ(S_OK, graph->AddFilter(plain.get(), L"Plain"));
    ComPtr<IAMCrossbar> crossbar, none;
    ASSERT_EQ(S_OK, builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, card.get(), IID_IAMCrossbar,
                                           crossbar.put_void()));
    EXPECT_FAILED(builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, plain.get(), IID_IAMCrossbar,
                                         none.put_void()));
    ComPtr<IAMAnalogVideoDecoder> noDecoder;
    EXPECT_EQ(E_NOINTERFACE, query(plain.get(), IID_IAMAnalogVideoDecoder, noDecoder));

    long outputs = 0, inputs = 0;
    ASSERT_EQ(S_OK, crossbar->get_PinCounts(&outputs, &inputs));
    EXPECT_EQ(2, outputs);
    EXPECT_EQ(3, inputs);
    const long inputTypes[] = {PhysConn_Video_Tuner, PhysConn_Video_SVideo, PhysConn_Video_Composite};
    for (long i = 0; i < 3; ++i) {
        long related = 0, type = 0;
        ASSERT_EQ(S_OK, crossbar->get_CrossbarPinInfo(TRUE, i, &related, &type));
        EXPECT_EQ(inputTypes[i], type);
    }
    long related = 0, type = 0;
    ASSERT_EQ(S_OK, crossbar->get_CrossbarPinInfo(FALSE, 1, &related, &type));
    EXPECT_EQ(PhysConn_Audio_AudioDecoder, type);
    EXPECT_EQ(E_INVALIDARG, crossbar->get_CrossbarPinInfo(FALSE, 2, &related, &type));

    EXPECT_EQ(S_OK, crossbar->CanRoute(0, 2));
    EXPECT_EQ(S_FALSE, crossbar->CanRoute(1, 2)) << "video never goes to the audio decoder";
    EXPECT_EQ(E_INVALIDARG, crossbar->CanRoute(0, 3));
    EXPECT_EQ(S_OK, crossbar->Route(0, 2));
    long input = -1;
    ASSERT_EQ(S_OK, crossbar->get_IsRoutedTo(0, &input));
    EXPECT_EQ(2, input);
    EXPECT_FAILED(crossbar->Route(1, 0));

    const DeviceRecord record = read_device_record("Card");
    EXPECT_EQ(3, record.canRouteCalls);
    EXPECT_EQ((std::vector<std::pair<long, long>>{{0, 2}, {1, 0}}), record.routes);
}

TEST_F(ControlsTest, CrossbarCanFailItsPinQueriesOrRefuseRoutes)
{
    ASSERT_TRUE(add_device("Failing", "--crossbar composite/decoder --crossbar-fail"));
    ASSERT_TRUE(add_device("Refusing", "--crossbar composite/decoder --crossbar-refuse"));
    ComPtr<IBaseFilter> failing, refusing;
    ASSERT_EQ(S_OK, bind_device("Failing", failing));
    ASSERT_EQ(S_OK, bind_device("Refusing", refusing));
    ComPtr<IAMCrossbar> a, b;
    ASSERT_EQ(S_OK, failing.query(a));
    ASSERT_EQ(S_OK, refusing.query(b));
    long related, type;
    EXPECT_FAILED(a->get_CrossbarPinInfo(TRUE, 0, &related, &type));
    EXPECT_FAILED(a->get_CrossbarPinInfo(FALSE, 0, &related, &type));
    EXPECT_EQ(S_FALSE, b->CanRoute(0, 0));
    EXPECT_FAILED(b->Route(0, 0));
    EXPECT_EQ(1, read_device_record("Refusing").canRouteCalls);
}

TEST_F(ControlsTest, DecoderStartsAtItsStandardAndRecordsChanges)
{
    const struct { const char *option; long standard; } starts[] = {
        {"", AnalogVideo_NTSC_M}, {"--standard PAL_B", AnalogVideo_PAL_B}, {"--standard NTSC_J", AnalogVideo_NTSC_M_J},
        {"--standard 0x100000", 0x100000}, {"--standard 0", 0}};
    for (const auto &start : starts) {
        ASSERT_TRUE(add_device("Card", std::string("--crossbar composite/decoder ") + start.option));
        ComPtr<IBaseFilter> card;
        ASSERT_EQ(S_OK, bind_device("Card", card));
        ComPtr<IAMAnalogVideoDecoder> decoder;
        ASSERT_EQ(S_OK, query(card.get(), IID_IAMAnalogVideoDecoder, decoder));
        long standard = -1;
        ASSERT_EQ(S_OK, decoder->get_TVFormat(&standard));
        EXPECT_EQ(start.standard, standard) << start.option;
    }

    ComPtr<IBaseFilter> card;
    ASSERT_EQ(S_OK, bind_device("Card", card));
    ComPtr<IAMAnalogVideoDecoder> decoder;
    ASSERT_EQ(S_OK, query(card.get(), IID_IAMAnalogVideoDecoder, decoder));
    EXPECT_EQ(S_OK, decoder->put_TVFormat(AnalogVideo_SECAM_L1));
    long standard = 0;
    ASSERT_EQ(S_OK, decoder->get_TVFormat(&standard));
    EXPECT_EQ(AnalogVideo_SECAM_L1, standard);
    long lines = 0;
    ASSERT_EQ(S_OK, decoder->get_NumberOfLines(&lines));
    EXPECT_EQ(625, lines);
    EXPECT_EQ(E_INVALIDARG, decoder->put_TVFormat(AnalogVideo_NTSC_M | AnalogVideo_PAL_B));
    EXPECT_EQ(E_INVALIDARG, decoder->put_TVFormat(0));
    EXPECT_EQ((std::vector<long>{AnalogVideo_SECAM_L1, AnalogVideo_NTSC_M | AnalogVideo_PAL_B, 0}),
              read_device_record("Card").videoStandardSets);
}

TEST_F(ControlsTest, DecoderCanFailReadsAndAnswerSFalseToChanges)
{
    ASSERT_TRUE(add_device("Card", "--crossbar composite/decoder --decoder-fail --decoder-sfalse"));
    ComPtr<IBaseFilter> card;
    ASSERT_EQ(S_OK, bind_device("Card", card));
    ComPtr<IAMAnalogVideoDecoder> decoder;
    ASSERT_EQ(S_OK, query(card.get(), IID_IAMAnalogVideoDecoder, decoder));
    long standard = 0;
    EXPECT_FAILED(decoder->get_TVFormat(&standard));
    EXPECT_EQ(0, standard) << "nothing written on failure";
    EXPECT_EQ(S_FALSE, decoder->put_TVFormat(AnalogVideo_PAL_B));
}

struct Caps
{
    Caps(IAMStreamConfig *config, int index)
        : hr(config->GetStreamCaps(index, mt.put(), reinterpret_cast<BYTE *>(&scc)))
    {
    }
    MediaTypePtr mt;
    kit::VideoStreamConfigCaps scc = {};
    HRESULT hr;
};

TEST_F(ControlsTest, StreamCapabilitiesDescribeTheDeviceSize)
{
    ASSERT_TRUE(add_device("Cam", "--size 352x288 --fps 25"));
    ComPtr<IBaseFilter> camera;
    ASSERT_EQ(S_OK, bind_device("Cam", camera));
    ComPtr<IPin> pin = capture_pin(camera.get());
    ComPtr<IAMStreamConfig> config;
    ASSERT_EQ(S_OK, pin.query(config));

    int count = 0, size = 0;
    ASSERT_EQ(S_OK, config->GetNumberOfCapabilities(&count, &size));
    EXPECT_EQ(128, size);
    EXPECT_EQ(3, count);
    const Caps first(config.get(), 0);
    ASSERT_EQ(S_OK, first.hr);
    EXPECT_TRUE(IsEqualGUID(MEDIATYPE_Video, first.mt->majortype));
    EXPECT_TRUE(IsEqualGUID(MEDIASUBTYPE_RGB24, first.mt->subtype));
    EXPECT_TRUE(IsEqualGUID(FORMAT_VideoInfo, first.mt->formattype));
    ASSERT_EQ(sizeof(VIDEOINFOHEADER), first.mt->cbFormat);
    const auto *vih = reinterpret_cast<const VIDEOINFOHEADER *>(first.mt->pbFormat);
    EXPECT_EQ(352, vih->bmiHeader.biWidth);
    EXPECT_EQ(288, vih->bmiHeader.biHeight);
    EXPECT_EQ(24, vih->bmiHeader.biBitCount);
    EXPECT_EQ(352 * 3 * 288, static_cast<long>(vih->bmiHeader.biSizeImage));
    EXPECT_EQ(400000, vih->AvgTimePerFrame);
    EXPECT_TRUE(IsEqualGUID(FORMAT_VideoInfo, first.scc.guid));
    EXPECT_EQ(16, first.scc.MinOutputSize.cx);
    EXPECT_EQ(4096, first.scc.MaxOutputSize.cy);
    EXPECT_EQ(S_FALSE, Caps(config.get(), 3).hr);
    EXPECT_EQ(E_INVALIDARG, Caps(config.get(), -1).hr);
    MediaTypePtr format;
    ASSERT_EQ(S_OK, config->GetFormat(format.put()));
    EXPECT_EQ(352, reinterpret_cast<const VIDEOINFOHEADER *>(format->pbFormat)->bmiHeader.biWidth);

    // The pin's category, as capture applications ask for it.
    ComPtr<IKsPropertySet> properties;
    ASSERT_EQ(S_OK, pin.query(properties));
    GUID category = GUID_NULL;
    DWORD returned = 0;
    ASSERT_EQ(S_OK, properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, sizeof(category),
                                    &returned));
    EXPECT_TRUE(IsEqualGUID(PIN_CATEGORY_CAPTURE, category));
    EXPECT_EQ(sizeof(GUID), returned);
}

TEST_F(ControlsTest, ShortTemplateAndVideoInfo2Options)
{
    ASSERT_TRUE(add_device("Short", "--caps short --size 320x240"));
    ASSERT_TRUE(add_device("Info2", "--caps videoinfo2 --size 320x240"));
    {
        ComPtr<IBaseFilter> camera;
        ASSERT_EQ(S_OK, bind_device("Short", camera));
        ComPtr<IAMStreamConfig> config;
        ASSERT_EQ(S_OK, capture_pin(camera.get()).query(config));
        EXPECT_EQ(87u, Caps(config.get(), 0).mt->cbFormat);
        EXPECT_EQ(sizeof(VIDEOINFOHEADER), Caps(config.get(), 1).mt->cbFormat);
        GrabGraph g;
        ASSERT_EQ(S_OK, g.build(camera.get()));
        MediaType connected;
        ASSERT_EQ(S_OK, g.grabber->GetConnectedMediaType(connected.get()));
        EXPECT_TRUE(IsEqualGUID(FORMAT_VideoInfo, connected->formattype));
        EXPECT_EQ(sizeof(VIDEOINFOHEADER), connected->cbFormat) << "only the template is short";
    }
    ComPtr<IBaseFilter> camera;
    ASSERT_EQ(S_OK, bind_device("Info2", camera));
    ComPtr<IAMStreamConfig> config;
    ASSERT_EQ(S_OK, capture_pin(camera.get()).query(config));
    EXPECT_TRUE(IsEqualGUID(FORMAT_VideoInfo2, Caps(config.get(), 0).mt->formattype));
    GrabGraph g;
    ASSERT_EQ(S_OK, g.build(camera.get()));
    MediaType connected;
    ASSERT_EQ(S_OK, g.grabber->GetConnectedMediaType(connected.get()));
    EXPECT_TRUE(IsEqualGUID(FORMAT_VideoInfo2, connected->formattype));
    Frame frame;
    ASSERT_EQ(S_OK, g.grab(frame));
    EXPECT_EQ(1, GrabGraph::number(frame, 0, nullptr));
}

TEST_F(ControlsTest, SetFormatTakesSizesInRangeAndRecordsEveryCall)
{
    ASSERT_TRUE(add_device("Cam"));
    ASSERT_TRUE(add_device("Refusing", "--refuse-format"));
    ComPtr<IBaseFilter> camera;
    ASSERT_EQ(S_OK, bind_device("Cam", camera));
    ComPtr<IAMStreamConfig> config;
    ASSERT_EQ(S_OK, capture_pin(camera.get()).query(config));
    Caps caps(config.get(), 0);
    auto *vih = reinterpret_cast<VIDEOINFOHEADER *>(caps.mt->pbFormat);
    auto set = [&](long width, long height) {
        vih->bmiHeader.biWidth = width;
        vih->bmiHeader.biHeight = height;
        return config->SetFormat(caps.mt.get());
    };
    EXPECT_EQ(S_OK, set(4096, 4096));
    EXPECT_EQ(S_OK, set(16, -16));
    EXPECT_EQ(VFW_E_INVALIDMEDIATYPE, set(15, 16));
    EXPECT_EQ(VFW_E_INVALIDMEDIATYPE, set(16, 4097));
    EXPECT_EQ(E_POINTER, config->SetFormat(nullptr));
    ASSERT_EQ(S_OK, set(200, 100));

    // The connection uses the format set last; a new size while connected reconnects.
    GrabGraph g;
    ASSERT_EQ(S_OK, g.build(camera.get()));
    Frame frame;
    ASSERT_EQ(S_OK, g.grab(frame));
    EXPECT_EQ(200, frame.width);
    EXPECT_EQ(100, frame.height);
    g.control->Stop();
    EXPECT_EQ(S_OK, set(64, 48));
    ASSERT_EQ(S_OK, g.grab(frame));
    EXPECT_EQ(64, frame.width);
    EXPECT_EQ(2, GrabGraph::number(frame, 0, nullptr));
    ASSERT_TRUE(SUCCEEDED(g.control->Run()));
    EXPECT_EQ(VFW_E_NOT_STOPPED, set(32, 32));
    g.release();

    const DeviceRecord record = read_device_record("Cam");
    ASSERT_EQ(7u, record.formatSets.size());
    EXPECT_EQ(4096, record.formatSets[0].width);
    EXPECT_EQ(-16, record.formatSets[1].height);
    EXPECT_EQ(VFW_E_INVALIDMEDIATYPE, record.formatSets[2].result);
    EXPECT_EQ(64, record.formatSets[5].width);
    EXPECT_EQ(VFW_E_NOT_STOPPED, record.formatSets[6].result);

    ComPtr<IBaseFilter> refusing;
    ASSERT_EQ(S_OK, bind_device("Refusing", refusing));
    ASSERT_EQ(S_OK, capture_pin(refusing.get()).query(config));
    Caps refused(config.get(), 0);
    EXPECT_EQ(E_FAIL, config->SetFormat(refused.mt.get()));
    ASSERT_EQ(1u, read_device_record("Refusing").formatSets.size());
    EXPECT_EQ(640, read_device_record("Refusing").formatSets[0].width);
    EXPECT_EQ(E_FAIL, read_device_record("Refusing").formatSets[0].result);
}

} // namespace
} // namespace quilo::test
