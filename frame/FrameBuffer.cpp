#include "frame/FrameBuffer.h"

#include <new>

namespace quilo::frame {

bool FrameBuffer::resize(long bytes) noexcept
{
    if (bytes == size_) return true;
    release();
    if (bytes <= 0) return true;
    data_.reset(new (std::nothrow) unsigned char[static_cast<size_t>(bytes)]);
    if (!data_) return false;
    size_ = bytes;
    return true;
}

void FrameBuffer::release() noexcept
{
    data_.reset();
    size_ = 0;
}

} // namespace quilo::frame
