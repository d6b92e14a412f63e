#include "support/DialogWatcher.h"

#include <algorithm>

#include "support/TestSupport.h"

namespace quilo::test {
DialogWatcher::DialogWatcher() : thread_([this] { run(); }) {}

DialogWatcher::~DialogWatcher()
{
    stop_ = true;
    thread_.join();
}

std::vector<DialogWatcher::Seen> DialogWatcher::seen()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
}

void DialogWatcher::run()
{
    while (!stop_) {
        for (HWND window : windows_of(GetCurrentProcessId(), "#32770")) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (std::find(handled_.begin(), handled_.end(), window) != handled_.end()) continue;
            Seen s;
            char buf[512] = {};
            GetWindowTextA(window, buf, sizeof(buf));
            s.title = buf;
            // A message box keeps its message in the static control 0xFFFF.
            buf[0] = 0;
            GetDlgItemTextA(window, 0xFFFF, buf, sizeof(buf));
            s.text = buf;
            seen_.push_back(s);
            handled_.push_back(window);
            if (GetDlgItem(window, IDOK))
                PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            else
                PostMessageA(window, WM_CLOSE, 0, 0);
        }
        Sleep(50);
    }
}

} // namespace quilo::test
