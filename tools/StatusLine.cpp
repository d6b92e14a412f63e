#include "tools/StatusLine.h"

#include <commctrl.h>
#include <cstdio>

#include "tools/ErrorText.h"
#include "tools/ViewIds.h"

namespace quilo::view {

HWND StatusLine::create(HWND parent, int id)
{
    window_ = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
    set_stopped();
    clear_grab_result();
    return window_;
}

int StatusLine::layout()
{
    SendMessageA(window_, WM_SIZE, 0, 0);
    RECT bar = {};
    GetClientRect(window_, &bar);
    // Fixed widths for the figures; the Grab result and the message share what is left.
    const int rest = bar.right - 180;
    int edges[kStatusPartCount] = {80, 180, 180 + rest / 2, -1};
    if (rest < 200) edges[2] = 380;
    SendMessageA(window_, SB_SETPARTS, kStatusPartCount, reinterpret_cast<LPARAM>(edges));
    return bar.bottom;
}

void StatusLine::set_part(int part, const std::string &text)
{
    SendMessageA(window_, SB_SETTEXTA, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(text.c_str()));
}

void StatusLine::set_frame_rate(double perSecond)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%.1f fps", perSecond);
    set_part(kStatusFrameRate, text);
}

void StatusLine::set_stopped()
{
    set_part(kStatusFrameRate, "stopped");
}

void StatusLine::set_frame_size(int width, int height)
{
    set_part(kStatusFrameSize, width > 0 ? std::to_string(width) + " x " + std::to_string(height) : "");
}

void StatusLine::set_grab_result(HRESULT hr)
{
    if (FAILED(hr)) {
        set_part(kStatusGrab, host::failure_text("Grab", hr));
        return;
    }
    char text[48];
    std::snprintf(text, sizeof(text), "Grab: 0x%08lX %s", static_cast<unsigned long>(hr), hr == S_OK ? "S_OK" : "");
    set_part(kStatusGrab, text);
}

void StatusLine::clear_grab_result()
{
    set_part(kStatusGrab, "Grab: not called yet");
}

void StatusLine::set_message(const std::string &text)
{
    set_part(kStatusMessage, text);
}

} // namespace quilo::view
