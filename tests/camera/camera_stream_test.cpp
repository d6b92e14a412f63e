// Frames from the test camera through the platform's filter graph: the exact picture in every
// layout, a fresh frame per grab, end of stream, time stamps, live-source states, and the
// camera surviving every cycle a host puts it through.
#include <gtest/gtest.h>

#include "camera/CameraTest.h"
#include "camera/RecordingSink.h"
#include "testcam/kit/ComTable.h"
#include "testcam/kit/StreamConfigCaps.h"

namespace quilo::test {
namespace {

class StreamTest : public CameraTest
{
protected:
    void TearDown() override
    {
        EXPECT_EQ(0, kit::live_objects()) << "a test filter of the kit was leaked";
        CameraTest::TearDown();
    }

    // camera → RecordingSink in a real graph.
    struct SinkGraph
    {
        ComPtr<IGraphBuilder> graph;
        ComPtr<IMediaControl> control;
        ComPtr<IBaseFilter> camera;
        ComPtr<RecordingSink> sink;
        ~SinkGraph()
        {
            if (control) control->Stop();
        }
    };

    void buildSinkGraph(SinkGraph &g, const std::string &device, int tag)
    {
        ASSERT_EQ(S_OK, bind_device(device, g.camera));
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                         g.graph.put_void()));
        ASSERT_EQ(S_OK, query(g.graph.get(), IID_IMediaControl, g.control));
        g.sink.attach(RecordingSink::create(tag));
        ASSERT_EQ(S_OK, g.graph->AddFilter(g.camera.get(), L"Camera"));
        ASSERT_EQ(S_OK, g.graph->AddFilter(g.sink.get(), L"Sink"));
        ASSERT_EQ(S_OK, g.graph->ConnectDirect(capture_pin(g.camera.get()).get(), g.sink->pin(0), nullptr));
    }

    static void grabAndCheck(const std::string &device, int tag, long width, long height, long negotiateHeight = 0)
    {
        ComPtr<IBaseFilter> camera;
        ASSERT_EQ(S_OK, bind_device(device, camera));
        if (negotiateHeight != 0) {
            ComPtr<IAMStreamConfig> config;
            ASSERT_EQ(S_OK, capture_pin(camera.get()).query(config));
            MediaTypePtr mt;
            kit::VideoStreamConfigCaps caps;
            ASSERT_EQ(S_OK, config->GetStreamCaps(0, mt.put(), reinterpret_cast<BYTE *>(&caps)));
            auto *vih = reinterpret_cast<VIDEOINFOHEADER *>(mt->pbFormat);
            vih->bmiHeader.biWidth = width;
            vih->bmiHeader.biHeight = negotiateHeight;
            ASSERT_EQ(S_OK, config->SetFormat(mt.get()));
        }
        GrabGraph g;
        ASSERT_EQ(S_OK, g.build(camera.get()));
        Frame frame;
        ASSERT_EQ(S_OK, g.grab(frame));
        EXPECT_EQ(width, frame.width);
        EXPECT_EQ(negotiateHeight != 0 ? negotiateHeight : height, frame.height);
        std::string why;
        EXPECT_EQ(1, GrabGraph::number(frame, tag, &why)) << why;
    }
};

TEST_F(StreamTest, GrabbedFramesMatchThePictureBitForBit)
{
    ASSERT_TRUE(add_device("Default", "--tag 5"));
    grabAndCheck("Default", 5, 640, 480);

    // 321 pixels: 963 bytes of pixels and one padding byte per row; an odd number of rows.
    ASSERT_TRUE(add_device("Odd", "--size 321x241 --tag 300"));
    grabAndCheck("Odd", 300, 321, 241);

    // A negative height set by the host: top-down samples over the same connection.
    ASSERT_TRUE(add_device("TopDown", "--tag 9"));
    grabAndCheck("TopDown", 9, 320, 240, -240);

    // A top-down capability of the device itself.
    ASSERT_TRUE(add_device("TopDownCaps", "--size 64x-48"));
    grabAndCheck("TopDownCaps", 0, 64, -48);
}

TEST_F(StreamTest, EachGrabDeliversTheNextFrame)
{
    ASSERT_TRUE(add_device("Cam", "--size 160x120"));
    {
        GrabGraph g;
        ASSERT_EQ(S_OK, g.open("Cam"));
        for (long expected = 1; expected <= 5; ++expected) {
            Frame frame;
            ASSERT_EQ(S_OK, g.grab(frame));
            std::string why;
            EXPECT_EQ(expected, GrabGraph::number(frame, 0, &why)) << why;
        }
    }
    const DeviceRecord record = read_device_record("Cam");
    EXPECT_EQ(5, record.framesDelivered);
    EXPECT_EQ(5, record.runs);
}

TEST_F(StreamTest, StallingDevicesDeliverNothingMoreAndStillStop)
{
    ASSERT_TRUE(add_device("Stall", "--stall --fps 0"));
    GrabGraph g;
    ASSERT_EQ(S_OK, g.open("Stall"));
    Frame frame;
    EXPECT_EQ(VFW_E_TIMEOUT, g.grab(frame, 300));
    EXPECT_EQ(S_OK, g.control->Stop());
    g.release(); // the camera too: the count of frames is written when it goes
    EXPECT_EQ(0, read_device_record("Stall").framesDelivered);

    // Two frames per opened device, then nothing; a device opened again starts over.
    ASSERT_TRUE(add_device("After", "--stall-after 2 --fps 0 --size 32x32"));
    for (int open = 0; open < 2; ++open) {
        GrabGraph after;
        ASSERT_EQ(S_OK, after.open("After"));
        ASSERT_EQ(S_OK, after.grab(frame));
        EXPECT_EQ(1, GrabGraph::number(frame, 0, nullptr));
        ASSERT_EQ(S_OK, after.grab(frame));
        EXPECT_EQ(2, GrabGraph::number(frame, 0, nullptr));
        EXPECT_EQ(VFW_E_TIMEOUT, after.grab(frame, 300));
    }
}

TEST_F(StreamTest, StopsPushingOnSFalseAndStreamsAgainAfterStopRun)
{
    ASSERT_TRUE(add_device("Cam", "--fps 0 --size 64x48 --tag 3"));
    SinkGraph g;
    buildSinkGraph(g, "Cam", 3);
    g.sink->refuseFrom(3);

    ASSERT_TRUE(SUCCEEDED(g.control->Run()));
    ASSERT_TRUE(g.sink->waitForSamples(3, 5000));
    // An unpaced device would have flooded the sink by now had it kept pushing.
    Sleep(200);
    EXPECT_EQ(3u, g.sink->samples().size());
    EXPECT_EQ(1, g.sink->endOfStreams());
    EXPECT_EQ(3, read_device_record("Cam").framesDelivered) << "frames are recorded when the stream ends";

    // Pause and Run alone do not restart an ended stream; Stop does.
    ASSERT_EQ(S_OK, g.control->Pause());
    ASSERT_TRUE(SUCCEEDED(g.control->Run()));
    Sleep(100);
    EXPECT_EQ(3u, g.sink->samples().size());
    ASSERT_EQ(S_OK, g.control->Stop());
    g.sink->refuseFrom(6);
    ASSERT_TRUE(SUCCEEDED(g.control->Run()));
    ASSERT_TRUE(g.sink->waitForSamples(6, 5000));
    ASSERT_EQ(S_OK, g.control->Stop());

    const auto samples = g.sink->samples();
    ASSERT_EQ(6u, samples.size());
    for (size_t i = 0; i < samples.size(); ++i) EXPECT_EQ(static_cast<long>(i + 1), samples[i].number);
    EXPECT_EQ(2, g.sink->endOfStreams());
}

TEST_F(StreamTest, LiveSourceSamplesAreTimeStampedAndNothingFlowsWhilePaused)
{
    ASSERT_TRUE(add_device("Cam", "--fps 100 --size 32x32"));
    SinkGraph g;
    buildSinkGraph(g, "Cam", 0);

    ASSERT_EQ(S_OK, g.control->Pause());
    FILTER_STATE state;
    EXPECT_EQ(VFW_S_CANT_CUE, g.camera->GetState(0, &state));
    EXPECT_EQ(State_Paused, state);
    Sleep(100);
    EXPECT_TRUE(g.sink->samples().empty());

    ASSERT_TRUE(SUCCEEDED(g.control->Run()));
    ASSERT_TRUE(g.sink->waitForSamples(4, 5000));
    ASSERT_EQ(S_OK, g.control->Stop());
    const auto samples = g.sink->samples();
    EXPECT_TRUE(samples[0].discontinuity);
    for (size_t i = 0; i < samples.size(); ++i) {
        EXPECT_EQ(S_OK, samples[i].timeResult);
        EXPECT_EQ(100000, samples[i].stop - samples[i].start) << "one frame time at 100 frames per second";
        EXPECT_TRUE(samples[i].syncPoint);
        if (i > 0) {
            EXPECT_GT(samples[i].start, samples[i - 1].start);
        }
        EXPECT_EQ(static_cast<long>(i + 1), samples[i].number);
    }
}

TEST_F(StreamTest, SurvivesConnectionAndStateCycles)
{
    ASSERT_TRUE(add_device("Cam", "--fps 0 --size 48x32"));
    ComPtr<IBaseFilter> camera;
    ASSERT_EQ(S_OK, bind_device("Cam", camera));
    ComPtr<IPin> out = capture_pin(camera.get());
    for (int cycle = 0; cycle < 10; ++cycle) {
        SinkGraph g;
        g.camera = camera;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                         g.graph.put_void()));
        ASSERT_EQ(S_OK, query(g.graph.get(), IID_IMediaControl, g.control));
        g.sink.attach(RecordingSink::create(0));
        ASSERT_EQ(S_OK, g.graph->AddFilter(camera.get(), L"Camera"));
        ASSERT_EQ(S_OK, g.graph->AddFilter(g.sink.get(), L"Sink"));
        ASSERT_EQ(S_OK, g.graph->ConnectDirect(out.get(), g.sink->pin(0), nullptr));
        EXPECT_EQ(VFW_E_ALREADY_CONNECTED, out->Connect(g.sink->pin(0), nullptr));
        g.sink->refuseFrom(2);
        for (int run = 0; run < 3; ++run) {
            ASSERT_EQ(S_OK, g.control->Pause());
            ASSERT_TRUE(SUCCEEDED(g.control->Run()));
            ASSERT_TRUE(g.sink->waitForSamples(static_cast<size_t>(2 * (run + 1)), 5000));
            EXPECT_EQ(VFW_E_NOT_STOPPED, out->Disconnect());
            ASSERT_EQ(S_OK, g.control->Stop());
            g.sink->refuseFrom(2 * (run + 2));
        }
        ASSERT_EQ(S_OK, g.graph->Disconnect(out.get()));
        ASSERT_EQ(S_OK, g.graph->Disconnect(g.sink->pin(0)));
        EXPECT_EQ(S_FALSE, out->Disconnect());
        ASSERT_EQ(S_OK, g.graph->RemoveFilter(camera.get()));
    }
    // Still a working camera after all of it: the grab goes on counting.
    GrabGraph g;
    ASSERT_EQ(S_OK, g.build(camera.get()));
    Frame frame;
    ASSERT_EQ(S_OK, g.grab(frame));
    EXPECT_EQ(61, GrabGraph::number(frame, 0, nullptr));
}

TEST_F(StreamTest, ReleasingARunningGraphReleasesTheCamera)
{
    ASSERT_TRUE(add_device("Cam", "--fps 0 --size 32x32"));
    {
        GrabGraph g;
        ASSERT_EQ(S_OK, g.open("Cam"));
        g.grabber->SetOneShot(FALSE);
        ASSERT_TRUE(SUCCEEDED(g.control->Run()));
        Sleep(100);
        // Dropped while frames flow, without Stop.
        g.control = nullptr;
        g.events = nullptr;
        g.grabber = nullptr;
        g.grabberFilter = nullptr;
        g.renderer = nullptr;
        g.graph = nullptr;
        g.camera = nullptr;
    }
    EXPECT_GT(read_device_record("Cam").framesDelivered, 0) << "flushed when the filter went away";
}

} // namespace
} // namespace quilo::test
