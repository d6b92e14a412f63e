#include "tools/StatusLine.h"

#include <commctrl.h>
#include <algorithm>
#include <cstdio>

#include "dshow/ErrorText.h"
#include "tools/Gdi.h"
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
    // Fixed widths for the figures; the Grab result gets what its text needs, as far as it
    // leaves the message a third of the rest.
    constexpr int kFigures = 170;
    const int rest = std::max<int>(bar.right - kFigures, 0);
    const int grab = std::min(text_width(grabText_) + 16, rest * 2 / 3);
    int edges[kStatusPartCount] = {75, kFigures, kFigures + grab, -1};
    SendMessageA(window_, SB_SETPARTS, kStatusPartCount, reinterpret_cast<LPARAM>(edges));
    return bar.bottom;
}

int StatusLine::text_width(const std::string &text) const
{
    host::WindowDc dc(window_);
    if (!dc) return 0;
    auto font = reinterpret_cast<HGDIOBJ>(SendMessageA(window_, WM_GETFONT, 0, 0));
    host::Selection selected(dc.get(), font ? font : GetStockObject(DEFAULT_GUI_FONT));
    SIZE size = {};
    if (!GetTextExtentPoint32A(dc.get(), text.c_str(), static_cast<int>(text.size()), &size)) return 0;
    return size.cx;
}

void StatusLine::set_part(int part, const std::string &text)
{
    SendMessageA(window_, SB_SETTEXTA, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(text.c_str()));
}

void StatusLine::set_grab_text(const std::string &text)
{
    const bool resize = text.size() != grabText_.size();
    grabText_ = text;
    if (resize) layout();
    set_part(kStatusGrab, text);
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
        set_grab_text(dshow::failure_text("Grab", hr));
        return;
    }
    char text[48];
    std::snprintf(text, sizeof(text), "Grab: 0x%08lX %s", static_cast<unsigned long>(hr), hr == S_OK ? "S_OK" : "");
    set_grab_text(text);
}

void StatusLine::clear_grab_result()
{
    set_grab_text("Grab: not called yet");
}

void StatusLine::set_message(const std::string &text)
{
    set_part(kStatusMessage, text);
}

} // namespace quilo::view
