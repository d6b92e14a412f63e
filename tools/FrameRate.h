// Frames per second as a viewer shows them: frames counted over about one second.
#pragma once

#include <windows.h>

namespace quilo::view {

class FrameRate
{
public:
    void reset() noexcept { *this = FrameRate(); }
    // Counts a frame shown at `nowMs`; true when a new figure is ready (about once a second).
    bool add_frame(ULONGLONG nowMs) noexcept;
    // Zero until the first second has passed.
    double per_second() const noexcept { return rate_; }

private:
    bool started_ = false;
    ULONGLONG since_ = 0;
    long frames_ = 0;
    double rate_ = 0;
};

} // namespace quilo::view
