#include "tools/FrameRate.h"

namespace quilo::view {

bool FrameRate::add_frame(ULONGLONG nowMs) noexcept
{
    // The first frame only starts the clock: the time before it is the device opening.
    if (!started_) {
        started_ = true;
        since_ = nowMs;
        return false;
    }
    ++frames_;
    const ULONGLONG elapsed = nowMs - since_;
    if (elapsed < 1000) return false;
    rate_ = frames_ * 1000.0 / static_cast<double>(elapsed);
    frames_ = 0;
    since_ = nowMs;
    return true;
}

} // namespace quilo::view
