#include "frame/FrameBuffer.h"

#include <new>

namespace quilo::frame {

bool FrameBuffer::resize(long bytes) noexcept
{
    if (bytes == size_) return true;
    if (bytes <= 0) {
        release();
        return true;
    }
    // Zeroed: a flipped copy writes only the pixels of each row, so row padding stays zero.
    std::unique_ptr<unsigned char[]> fresh(new (std::nothrow) unsigned char[static_cast<size_t>(bytes)]());
    if (!fresh) return false;
    data_ = std::move(fresh);
    size_ = bytes;
    return true;
}

void FrameBuffer::release() noexcept
{
    data_.reset();
    size_ = 0;
}

} // namespace quilo::frame
