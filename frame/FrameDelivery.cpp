#include "frame/FrameDelivery.h"

#include <vfwmsgs.h>

#include "common/HResult.h"

namespace quilo::frame {

// Every frame the component hands out has 8-bit channels.
constexpr LONG kDepth = 8;

HRESULT FrameDelivery::setup(const FrameFormat &format) noexcept
{
    release();
    RETURN_HR_IF(E_OUTOFMEMORY, !imageHeader_.create(format.width, format.height, format.channels));
    // OpenCV computes its stride and size in 32 bits: the buffer, the copy and the flip all go by
    // them, so they must be the format's own bytes or none of it is used.
    if (imageHeader_.imageSize() != format.imageBytes) {
        imageHeader_.release();
        return VFW_E_INVALIDMEDIATYPE;
    }
    width_ = format.width;
    height_ = format.height;
    channels_ = format.channels;
    topDown_ = format.topDown;
    return S_OK;
}

unsigned char *FrameDelivery::buffer() noexcept
{
    if (!ready() || !frameBuffer_.resize(imageBytes())) return nullptr;
    return frameBuffer_.data();
}

HRESULT FrameDelivery::deliver(bool started, bool flip, QuiloImageStruct &record) noexcept
{
    RETURN_HR_IF(VFW_E_WRONG_STATE, !ready() || !frameBuffer_.data());
    if (started) {
        // Hosts get bottom-up rows (a DIB) or, with flipping, top-down rows.
        if (flip != topDown_) RETURN_IF_FAILED(imageHeader_.flipRows(frameBuffer_.data()));
        record.data = frameBuffer_.data();
    }
    record.width = width_;
    record.height = height_;
    record.depth = kDepth;
    record.channels = channels_;
    return S_OK;
}

void FrameDelivery::release() noexcept
{
    frameBuffer_.release();
    imageHeader_.release();
    width_ = height_ = channels_ = 0;
    topDown_ = false;
}

} // namespace quilo::frame
