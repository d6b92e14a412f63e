// The capture pin's property page, shown by the platform's modal property frame (Wine's null
// graphics driver runs a real modal loop) and closed from another thread as a user would.
#include <gtest/gtest.h>
#include <olectl.h>
#include <atomic>
#include <thread>

#include "camera/CameraTest.h"

namespace quilo::test {
namespace {

using PageTest = CameraTest;

// Finds the property frame on the thread that shows it, keeps the texts of all its windows,
// and closes it with the given message.
class FrameCloser
{
public:
    FrameCloser(DWORD thread, const char *title, bool useOk)
        : thread_(thread), title_(title), useOk_(useOk), worker_([this] { run(); })
    {
    }
    ~FrameCloser() { worker_.join(); }
    bool found() const { return found_; }
    const std::string &texts() const { return texts_; }

private:
    void run()
    {
        for (int attempt = 0; attempt < 500 && !found_; ++attempt) {
            EnumThreadWindows(thread_, &FrameCloser::visit, reinterpret_cast<LPARAM>(this));
            if (!found_) Sleep(10);
        }
        // A frame with another title must not hold the test forever: close whatever dialog
        // the thread shows, and let the test fail on found().
        for (int attempt = 0; attempt < 500 && !found_ && !strayClosed_; ++attempt) {
            EnumThreadWindows(thread_, &FrameCloser::closeAny, reinterpret_cast<LPARAM>(this));
            if (!strayClosed_) Sleep(10);
        }
    }

    static BOOL CALLBACK visit(HWND window, LPARAM self)
    {
        auto *closer = reinterpret_cast<FrameCloser *>(self);
        char className[32] = {}, title[128] = {};
        GetClassNameA(window, className, sizeof(className));
        GetWindowTextA(window, title, sizeof(title));
        if (std::string(className) != "#32770" || closer->title_ != title) return TRUE;
        // Let the page fill its fields before reading them.
        Sleep(100);
        EnumChildWindows(window, &FrameCloser::collect, self);
        if (closer->useOk_)
            PostMessageA(window, WM_COMMAND, IDOK, 0);
        else
            PostMessageA(window, WM_CLOSE, 0, 0);
        closer->found_ = true;
        return FALSE;
    }

    static BOOL CALLBACK closeAny(HWND window, LPARAM self)
    {
        char className[32] = {};
        GetClassNameA(window, className, sizeof(className));
        if (std::string(className) != "#32770") return TRUE;
        PostMessageA(window, WM_CLOSE, 0, 0);
        reinterpret_cast<FrameCloser *>(self)->strayClosed_ = true;
        return FALSE;
    }

    static BOOL CALLBACK collect(HWND window, LPARAM self)
    {
        char text[128] = {};
        GetWindowTextA(window, text, sizeof(text));
        reinterpret_cast<FrameCloser *>(self)->texts_ += std::string(text) + "|";
        return TRUE;
    }

    DWORD thread_;
    std::string title_;
    bool useOk_;
    std::atomic<bool> found_{false};
    std::atomic<bool> strayClosed_{false};
    std::string texts_;
    std::thread worker_;
};

HRESULT show_pages(IPin *pin, const CAUUID &pages)
{
    IUnknown *objects[] = {pin};
    return OleCreatePropertyFrame(nullptr, 30, 30, L"Camera", 1, objects, pages.cElems, pages.pElems, 0, 0, nullptr);
}

TEST_F(PageTest, PropertyFrameShowsTheCapturePinPage)
{
    ASSERT_TRUE(add_device("Cam", "--size 320x240 --fps 15"));
    {
        ComPtr<IBaseFilter> camera;
        ASSERT_EQ(S_OK, bind_device("Cam", camera));
        ComPtr<IPin> pin = capture_pin(camera.get());
        ComPtr<ISpecifyPropertyPages> specify;
        ASSERT_EQ(S_OK, pin.query(specify));
        CAUUID pages = {};
        ASSERT_EQ(S_OK, specify->GetPages(&pages));
        ASSERT_EQ(1u, pages.cElems);

        for (bool useOk : {true, false}) {
            FrameCloser closer(GetCurrentThreadId(), "Properties for Camera", useOk);
            EXPECT_EQ(S_OK, show_pages(pin.get(), pages));
            // Joined here: the frame is closed, and so is the watcher.
            EXPECT_TRUE(closer.found());
        }
        CoTaskMemFree(pages.pElems);
    }
    EXPECT_EQ(2, read_device_record("Cam").pageActivations);
}

TEST_F(PageTest, PageShowsSizeRateAndFramesDelivered)
{
    ASSERT_TRUE(add_device("Cam", "--size 64x48 --fps 15"));
    ComPtr<IBaseFilter> camera;
    ASSERT_EQ(S_OK, bind_device("Cam", camera));
    {
        GrabGraph g;
        ASSERT_EQ(S_OK, g.build(camera.get()));
        Frame frame;
        ASSERT_EQ(S_OK, g.grab(frame));
        ASSERT_EQ(S_OK, g.grab(frame));
        g.control->Stop();
        ComPtr<ISpecifyPropertyPages> specify;
        ComPtr<IPin> pin = capture_pin(camera.get());
        ASSERT_EQ(S_OK, pin.query(specify));
        CAUUID pages = {};
        ASSERT_EQ(S_OK, specify->GetPages(&pages));
        std::string texts;
        {
            FrameCloser closer(GetCurrentThreadId(), "Properties for Camera", true);
            EXPECT_EQ(S_OK, show_pages(pin.get(), pages));
            texts = closer.texts();
        }
        CoTaskMemFree(pages.pElems);
        EXPECT_NE(std::string::npos, texts.find("|64 x 48|")) << texts;
        EXPECT_NE(std::string::npos, texts.find("|15 frames per second|")) << texts;
        EXPECT_NE(std::string::npos, texts.find("Frames delivered:|2|")) << texts;
    }
}

TEST_F(PageTest, DeviceWithoutPagesOffersNone)
{
    ASSERT_TRUE(add_device("Cam", "--no-pages"));
    ComPtr<IBaseFilter> camera;
    ASSERT_EQ(S_OK, bind_device("Cam", camera));
    ComPtr<ISpecifyPropertyPages> specify;
    EXPECT_EQ(E_NOINTERFACE, capture_pin(camera.get()).query(specify));
}

} // namespace
} // namespace quilo::test
