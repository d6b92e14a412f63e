// quilo-view's status bar: frames per second, frame size, the last Grab's result, and the last
// failure of any other call (or what was last done).
#pragma once

#include <windows.h>
#include <string>

namespace quilo::view {

class StatusLine
{
public:
    HWND create(HWND parent, int id);
    HWND window() const { return window_; }
    // Follows the parent's new size; returns the bar's height.
    int layout();

    void set_frame_rate(double perSecond);
    void set_stopped();
    void set_frame_size(int width, int height);
    void set_grab_result(HRESULT hr);
    void clear_grab_result();
    void set_message(const std::string &text);

private:
    void set_part(int part, const std::string &text);
    void set_grab_text(const std::string &text);
    int text_width(const std::string &text) const;

    HWND window_ = nullptr;
    std::string grabText_;
};

} // namespace quilo::view
