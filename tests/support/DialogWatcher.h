// Finds the modal dialogs this process shows (message boxes, property frames) from another
// thread, records their title and text, and closes them the way a user would.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quilo::test {

class DialogWatcher
{
public:
    struct Seen
    {
        std::string title;
        std::string text; // a message box's message; empty for other dialogs
    };

    // Starts watching; every dialog found is closed with IDOK (WM_CLOSE when it has no OK).
    DialogWatcher();
    ~DialogWatcher();
    DialogWatcher(const DialogWatcher &) = delete;
    DialogWatcher &operator=(const DialogWatcher &) = delete;

    std::vector<Seen> seen();

private:
    void run();

    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<Seen> seen_;
    std::vector<HWND> handled_;
    std::thread thread_;
};

} // namespace quilo::test
