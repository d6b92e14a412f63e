// The context's copy of the newest sample: one array, reused while the sample size holds.
#pragma once

#include <cstddef>
#include <memory>

namespace quilo::frame {

class FrameBuffer
{
public:
    unsigned char *data() const noexcept { return data_.get(); }
    // Bytes of the sample held; 0 exactly when there is no buffer.
    long size() const noexcept { return size_; }

    // Makes room for a sample of `bytes`; the old buffer is kept when the size is unchanged and
    // freed first otherwise. Returns false (and holds no buffer) when memory runs out.
    bool resize(long bytes) noexcept;
    // The copy call wrote fewer bytes than the buffer holds.
    void set_size(long bytes) noexcept { size_ = bytes; }
    void release() noexcept;

private:
    std::unique_ptr<unsigned char[]> data_;
    long size_ = 0;
};

} // namespace quilo::frame
