// Handing the newest frame to the host: the frame buffer the device's frame is copied into,
// the row order the host asked for, and the record that describes it.
#pragma once

#include <windows.h>

#include "QuiloVideo.h"
#include "frame/FrameBuffer.h"
#include "frame/ImageHeader.h"

namespace quilo::frame {

class FrameDelivery
{
public:
    // The connected frame format: width x height pixels of `channels` bytes, top row first
    // when `topDown`. E_OUTOFMEMORY when its image header cannot be made.
    HRESULT setup(LONG width, LONG height, LONG channels, bool topDown) noexcept;
    bool ready() const noexcept { return width_ > 0; }

    // A buffer for one whole image (row stride x height bytes), the one handed out before
    // while the size holds. Null when memory runs out; the earlier buffer then stays.
    unsigned char *buffer() noexcept;
    long imageBytes() const noexcept { return imageHeader_.image_size(); }

    // Puts the rows of the buffer's new frame in the order the host asked for (bottom row
    // first, or with `flip` top row first, whatever order the device delivered) and describes
    // it in `record`; `data` only once capture is started. A failed flip is returned and the
    // record left untouched.
    HRESULT deliver(bool started, bool flip, QuiloImageStruct &record) noexcept;

    // The buffer, the header and the format go.
    void release() noexcept;

private:
    FrameBuffer frameBuffer_;
    ImageHeader imageHeader_;
    LONG width_ = 0;
    LONG height_ = 0;
    LONG channels_ = 0;
    bool topDown_ = false;
};

} // namespace quilo::frame
