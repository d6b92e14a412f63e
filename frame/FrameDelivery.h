// Handing the newest frame to the host: the frame buffer the device's frame is copied into,
// the row order the host asked for, and the record that describes it.
#pragma once

#include <windows.h>

#include "QuiloVideo.h"
#include "common/VideoFormat.h"
#include "frame/FrameBuffer.h"
#include "frame/ImageHeader.h"

namespace quilo::frame {

class FrameDelivery
{
public:
    // The connected frame format, as read_frame_format took it. E_OUTOFMEMORY when its image
    // header cannot be made; VFW_E_INVALIDMEDIATYPE when the header would not describe exactly
    // the format's bytes. On failure nothing is set up.
    HRESULT setup(const FrameFormat &format) noexcept;
    bool ready() const noexcept { return width_ > 0; }

    // A buffer for one whole image (row stride x height bytes), the one handed out before
    // while the size holds. Null when memory runs out; the earlier buffer then stays.
    unsigned char *buffer() noexcept;
    long imageBytes() const noexcept { return imageHeader_.imageSize(); }

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
