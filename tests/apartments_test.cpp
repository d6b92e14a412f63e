// Two hosts' threads, each in its own single-threaded apartment with its own object and its own
// device, grabbing at the same time: every frame comes from the thread's own device.
#include <gtest/gtest.h>
#include <vfwmsgs.h>

#include <memory>
#include <string>
#include <vector>

#include "support/ComponentTest.h"
#include "support/TestCamera.h"
#include "support/TestSupport.h"

using quilo::ComPtr;
using namespace quilo::test;

namespace {

constexpr int kFrames = 30;
// Far beyond what 30 small frames take; only a hang reaches it.
constexpr DWORD kJoinTimeoutMs = 120000;

struct Grabber
{
    LONG position = 0;
    int tag = 0;
    HANDLE ready = nullptr; // set once the device is open and started
    HANDLE go = nullptr;    // shared: both start grabbing together
    // Written by the worker, read after it ended.
    std::vector<std::string> failures;
    int framesChecked = 0;

    void fail(const std::string &what) { failures.push_back(what); }
    void check(bool ok, const std::string &what)
    {
        if (!ok) fail(what);
    }

    void grab_all(ICQuiloVideoProc *object)
    {
        const HRESULT opened = object->createCapture(position, 1, 1, 64, 48);
        check(opened == S_OK, "createCapture: " + std::to_string(opened));
        check(object->startCapture() == S_OK, "startCapture");
        SetEvent(ready);
        if (opened != S_OK) return;
        check(WaitForSingleObject(go, kJoinTimeoutMs) == WAIT_OBJECT_0, "never told to go");
        long last = 0;
        for (int i = 0; i < kFrames; ++i) {
            QuiloImageStruct rec = {};
            const HRESULT hr = object->Grab(&rec);
            if (hr != S_OK || !rec.data || rec.width != 64 || rec.height != 48) {
                fail("grab " + std::to_string(i) + ": " + std::to_string(hr));
                return;
            }
            std::string why;
            const long n = record_number(rec, true, tag, &why);
            if (n <= 0) {
                fail("frame " + std::to_string(i) + ": " + why);
                return;
            }
            check(n > last, "frame " + std::to_string(i) + " is not newer than the one before");
            last = n;
            ++framesChecked;
        }
        check(object->destroyCapture() == S_FALSE, "destroyCapture");
    }

    static DWORD WINAPI run(void *parameter)
    {
        auto *self = static_cast<Grabber *>(parameter);
        const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (FAILED(init)) {
            self->fail("CoInitializeEx");
            SetEvent(self->ready);
            return 1;
        }
        {
            // Created in this apartment, as a host's thread would create it.
            ComPtr<ICQuiloVideoProc> object;
            const HRESULT hr = CoCreateInstance(CLSID_CCQuiloVideoProc, nullptr, CLSCTX_INPROC_SERVER,
                                                IID_ICQuiloVideoProc, object.put_void());
            if (FAILED(hr)) {
                self->fail("CoCreateInstance: " + std::to_string(hr));
                SetEvent(self->ready);
            } else {
                self->grab_all(object.get());
            }
        }
        CoUninitialize();
        return 0;
    }
};

using ApartmentsTest = ComponentTest;

TEST_F(ApartmentsTest, TwoApartmentsGrabFromTheirOwnDevicesAtOnce)
{
    // Two devices that differ in pace and in the red value of every pixel.
    // Paced, both: a Grab loop is asked for every frame, so frame numbers (n mod 256) rise.
    ASSERT_TRUE(add_device("cam-a", "--fps 60 --size 64x48 --tag 17"));
    ASSERT_TRUE(add_device("cam-b", "--fps 30 --size 64x48 --tag 201"));

    // Owned here for good: a worker that never ends must not be left with freed memory.
    auto grabbers = std::make_unique<Grabber[]>(2);
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(nullptr, go);
    HANDLE threads[2] = {};
    for (int i = 0; i < 2; ++i) {
        grabbers[i].position = i;
        grabbers[i].tag = i == 0 ? 17 : 201;
        grabbers[i].go = go;
        grabbers[i].ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        threads[i] = CreateThread(nullptr, 0, &Grabber::run, &grabbers[i], 0, nullptr);
        ASSERT_NE(nullptr, threads[i]);
    }
    const HANDLE ready[2] = {grabbers[0].ready, grabbers[1].ready};
    EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, ready, TRUE, kJoinTimeoutMs));
    SetEvent(go);

    const DWORD joined = WaitForMultipleObjects(2, threads, TRUE, kJoinTimeoutMs);
    if (joined != WAIT_OBJECT_0) {
        // A hang fails the test instead of the run: the stuck workers are ended by force and
        // what they use is left alone.
        for (HANDLE thread : threads) TerminateThread(thread, 1);
        grabbers.release();
        FAIL() << "the grabbing threads did not finish within " << kJoinTimeoutMs << " ms";
    }
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(grabbers[i].tag);
        DWORD code = 1;
        GetExitCodeThread(threads[i], &code);
        EXPECT_EQ(0u, code);
        for (const std::string &failure : grabbers[i].failures) ADD_FAILURE() << failure;
        EXPECT_EQ(kFrames, grabbers[i].framesChecked);
        CloseHandle(threads[i]);
        CloseHandle(grabbers[i].ready);
    }
    CloseHandle(go);
    // Both objects are gone with their apartments; so is every device object.
    EXPECT_EQ(0, live_testcam_objects());
}

} // namespace
