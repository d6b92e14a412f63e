// The frame handed to the host: one array, reused while the image size holds.
#pragma once

#include <cstddef>
#include <memory>

namespace quilo::frame {

class FrameBuffer
{
public:
    unsigned char *data() const noexcept { return data_.get(); }
    // Bytes held; 0 exactly when there is no buffer.
    long size() const noexcept { return size_; }

    // Makes room for `bytes`: the buffer is kept when the size is unchanged, and otherwise the
    // new one (zeroed) is allocated before the old one goes. False when memory runs out; the old buffer
    // (and any pointer to it handed out) then stays as it was.
    bool resize(long bytes) noexcept;
    void release() noexcept;

private:
    std::unique_ptr<unsigned char[]> data_;
    long size_ = 0;
};

} // namespace quilo::frame
