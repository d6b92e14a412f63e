// What the test camera's tests share: a fixture that starts from no devices and ends with no
// camera object alive, binding devices through the platform's device enumerator, and a real
// capture graph (camera → sample grabber → null renderer) that grabs one frame at a time.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <qedit.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "common/ComPtr.h"
#include "dshow/MediaType.h"
#include "support/TestCamera.h"
#include "support/TestSupport.h"

// A platform call that must fail, whatever failure code it picks.
#define EXPECT_FAILED(expr) EXPECT_TRUE(FAILED(expr)) << #expr

namespace quilo::test {

class CameraTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    ComScope com_;
};

// QueryInterface into a ComPtr for interfaces whose headers give no __uuidof.
template <typename T>
HRESULT query(IUnknown *object, REFIID iid, ComPtr<T> &out)
{
    return object->QueryInterface(iid, out.put_void());
}

// Binds the device named NAME (by its DeviceName value) through the system device enumerator;
// `position` receives its place in the platform's list.
HRESULT bind_device(const std::string &name, ComPtr<IBaseFilter> &filter, int *position = nullptr);
// Names in the platform's order (FriendlyName, or "(no name)").
std::vector<std::string> listed_devices();
// The camera's first output pin (dshow/PinSearch for any other).
ComPtr<IPin> capture_pin(IBaseFilter *camera);
// Waits for an event code, skipping others; false on time-out.
bool wait_for_event(IMediaEvent *events, long code, DWORD timeoutMs);
void drain_events(IMediaEvent *events);

struct Frame
{
    std::vector<unsigned char> bytes;
    long width = 0, height = 0; // height as connected: negative for top-down
};

// camera → sample grabber (RGB24, buffering, one-shot) → null renderer in a real graph.
class GrabGraph
{
public:
    ~GrabGraph();
    HRESULT build(IBaseFilter *camera);
    // Binds the device of that name and builds on it.
    HRESULT open(const std::string &device);
    // Stop → SetOneShot(TRUE) → drain events → Run → EC_COMPLETE → the grabber's sample.
    HRESULT grab(Frame &frame, DWORD timeoutMs = 5000);
    // The frame's sequence number per the camera's picture (with checks), or -1.
    static long number(const Frame &frame, int tag, std::string *why);
    void release();

    ComPtr<IGraphBuilder> graph;
    ComPtr<IMediaControl> control;
    ComPtr<IMediaEvent> events;
    ComPtr<IBaseFilter> camera, grabberFilter, renderer;
    ComPtr<ISampleGrabber> grabber;
};

} // namespace quilo::test
