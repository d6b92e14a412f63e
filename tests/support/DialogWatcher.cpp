#include "support/DialogWatcher.h"

#include <algorithm>

namespace quilo::test {
namespace {

struct Search
{
    DWORD process;
    std::vector<HWND> found;
};

BOOL CALLBACK collect(HWND window, LPARAM param)
{
    auto *search = reinterpret_cast<Search *>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char cls[64] = {};
    GetClassNameA(window, cls, sizeof(cls));
    if (pid == search->process && IsWindowVisible(window) && lstrcmpA(cls, "#32770") == 0)
        search->found.push_back(window);
    return TRUE;
}

} // namespace

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
        Search search{GetCurrentProcessId(), {}};
        EnumWindows(collect, reinterpret_cast<LPARAM>(&search));
        for (HWND window : search.found) {
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
