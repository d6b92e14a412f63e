#include "frame/FrameDelivery.h"

#include <vfwmsgs.h>
#include <utility>

#include "common/HResult.h"

namespace quilo::frame {
namespace {

// Every frame the component hands out has 8-bit channels.
constexpr LONG kDepth = 8;

} // namespace

HRESULT FrameDelivery::setup(const dshow::FrameFormat &format) noexcept
{
    release();
    RETURN_IF_FAILED(makeHeader(format));
    format_ = format;
    return S_OK;
}

// A header for `format` in place of the current one, only when it describes exactly the
// format's bytes: OpenCV computes its stride and size in 32 bits, and the buffers, the copy and
// the flip all go by them. On failure the current header stays.
HRESULT FrameDelivery::makeHeader(const dshow::FrameFormat &format) noexcept
{
    ImageHeader header;
    RETURN_HR_IF(E_OUTOFMEMORY, !header.create(format.width, format.height, format.channels));
    RETURN_HR_IF(VFW_E_INVALIDMEDIATYPE, header.imageSize() != format.imageBytes);
    imageHeader_.swap(header);
    return S_OK;
}

unsigned char *FrameDelivery::incoming(const dshow::FrameFormat &format) noexcept
{
    if (!ready() || format.imageBytes <= 0 || !incoming_.resize(format.imageBytes)) return nullptr;
    incomingFormat_ = format;
    return incoming_.data();
}

HRESULT FrameDelivery::deliver(bool started, bool flip, QuiloImageStruct &record) noexcept
{
    RETURN_HR_IF(VFW_E_WRONG_STATE, !ready() || !incoming_.data() || incoming_.size() != incomingFormat_.imageBytes);
    const bool resized = !format_.sameSize(incomingFormat_);
    if (resized) {
        // Nothing the host holds changes until the new frame is whole in its new buffer.
        FrameBuffer fresh;
        RETURN_HR_IF(E_OUTOFMEMORY, !fresh.resize(incomingFormat_.imageBytes));
        const dshow::FrameFormat previous = format_;
        RETURN_IF_FAILED(makeHeader(incomingFormat_));
        const HRESULT hr = imageHeader_.copyRows(incoming_.data(), fresh.data(), flip != incomingFormat_.topDown);
        if (FAILED(hr)) {
            ignore_result(makeHeader(previous), "the header of the frame handed out before was made once already");
            return hr;
        }
        frameBuffer_ = std::move(fresh);
    } else {
        RETURN_HR_IF(E_OUTOFMEMORY, !frameBuffer_.resize(format_.imageBytes));
        // Hosts get bottom-up rows (a DIB) or, with flipping, top-down rows.
        RETURN_IF_FAILED(imageHeader_.copyRows(incoming_.data(), frameBuffer_.data(), flip != incomingFormat_.topDown));
    }
    format_ = incomingFormat_;
    if (started) record.data = frameBuffer_.data();
    record.width = format_.width;
    record.height = format_.height;
    record.depth = kDepth;
    record.channels = format_.channels;
    return S_OK;
}

HRESULT FrameDelivery::deliverPacked(PackedFrame &frame) noexcept
{
    RETURN_HR_IF(VFW_E_WRONG_STATE, !ready() || !incoming_.data() || incoming_.size() != incomingFormat_.imageBytes);
    if (!packedFormat_.sameSize(incomingFormat_)) {
        ImageHeader header;
        RETURN_HR_IF(E_OUTOFMEMORY, !header.create(incomingFormat_.width, incomingFormat_.height,
                                                   incomingFormat_.channels, /*packedDestination=*/true));
        RETURN_HR_IF(VFW_E_INVALIDMEDIATYPE, header.imageSize() != incomingFormat_.imageBytes);
        packedHeader_.swap(header);
        packedFormat_ = incomingFormat_;
    }
    const long bytes = packedHeader_.destinationSize();
    // A frame of another size goes into a new buffer, so the old one stays whole until then.
    FrameBuffer fresh;
    const bool resized = frame.pixels.size() != bytes;
    if (resized) RETURN_HR_IF(E_OUTOFMEMORY, !fresh.resize(bytes));
    FrameBuffer &target = resized ? fresh : frame.pixels;
    // Hosts of the automation class read the top row first, whatever order the device sends.
    RETURN_IF_FAILED(packedHeader_.copyRows(incoming_.data(), target.data(), !incomingFormat_.topDown));
    if (resized) frame.pixels = std::move(fresh);
    frame.width = incomingFormat_.width;
    frame.height = incomingFormat_.height;
    return S_OK;
}

void FrameDelivery::release() noexcept
{
    incoming_.release();
    frameBuffer_.release();
    imageHeader_.release();
    packedHeader_.release();
    packedFormat_ = dshow::FrameFormat();
    incomingFormat_ = dshow::FrameFormat();
    format_ = dshow::FrameFormat();
}

} // namespace quilo::frame
