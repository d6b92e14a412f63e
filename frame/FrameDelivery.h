// Handing the newest frame to the host: the buffer the device's frame is copied into, the frame
// buffer handed out, the row order the host asked for, and the record that describes it.
#pragma once

#include <windows.h>

#include "QuiloVideo.h"
#include "dshow/VideoFormat.h"
#include "frame/FrameBuffer.h"
#include "frame/ImageHeader.h"

namespace quilo::frame {

// A frame as the automation class hands it out: top row first, three bytes a pixel, rows
// packed (width x 3 bytes apart).
struct PackedFrame
{
    FrameBuffer pixels;
    LONG width = 0;
    LONG height = 0;
};

class FrameDelivery
{
public:
    // The connected frame format, as dshow::read_frame_format took it. E_OUTOFMEMORY when its image
    // header cannot be made; VFW_E_INVALIDMEDIATYPE when the header would not describe exactly
    // the format's bytes. On failure nothing is set up.
    HRESULT setup(const dshow::FrameFormat &format) noexcept;
    bool ready() const noexcept { return format_.width > 0; }

    // Where the next frame, of `format` (the connected one, or one the device changed to),
    // is copied by the device: a buffer of its own, so that a Grab that fails leaves the frame
    // handed out before as it was. Null when memory runs out.
    unsigned char *incoming(const dshow::FrameFormat &format) noexcept;

    // Hands out the incoming frame: copies it into the frame buffer with its rows in the order
    // the host asked for (bottom row first, or with `flip` top row first, whatever order the
    // device delivered) and describes it in `record`; `data` only once capture is started.
    // The frame buffer stays the same while the size holds; a frame of another size gets a new
    // one and the old one goes. On failure (E_OUTOFMEMORY, VFW_E_INVALIDMEDIATYPE for a size
    // OpenCV would not describe in the format's bytes, a refused flip) the record and the frame
    // handed out before are left as they were.
    HRESULT deliver(bool started, bool flip, QuiloImageStruct &record) noexcept;
    // Hands out the incoming frame into `frame` instead, top row first and packed, in one pass
    // (the buffer is reused while the size holds). On failure `frame` is as it was.
    HRESULT deliverPacked(PackedFrame &frame) noexcept;

    // The buffers, the header and the formats go.
    void release() noexcept;

private:
    HRESULT makeHeader(const dshow::FrameFormat &format) noexcept;

    FrameBuffer incoming_;
    dshow::FrameFormat incomingFormat_;
    FrameBuffer frameBuffer_;
    ImageHeader imageHeader_;   // describes format_
    ImageHeader packedHeader_;  // describes packedFormat_ into packed rows
    dshow::FrameFormat packedFormat_;
    dshow::FrameFormat format_;        // of the frame handed out (the connected one until it changes)
};

} // namespace quilo::frame
