// The bare platform sequence the component is measured against: the same kind of graph built
// by hand (capture filter -> RGB24 sample grabber, buffering, one-shot -> null renderer) and,
// per frame, Stop -> SetOneShot(TRUE) -> drain events -> Run -> wait for EC_COMPLETE -> two
// GetCurrentBuffer calls -> in-place row flip.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <qedit.h>
#include <memory>
#include <vector>

#include "bench/RowFlip.h"
#include "common/ComPtr.h"

namespace quilo::bench {

class ReferenceGraph
{
public:
    ReferenceGraph() = default;
    ~ReferenceGraph();
    ReferenceGraph(const ReferenceGraph &) = delete;
    ReferenceGraph &operator=(const ReferenceGraph &) = delete;

    // Binds the video input device at `position` and connects the graph at width x height.
    HRESULT open(long position, long width, long height);
    // One fresh frame into the buffer, rows reversed in place.
    HRESULT grab();
    void close();

    const unsigned char *pixels() const { return buffer_.data(); }
    long width() const { return width_; }
    long height() const { return height_; }

private:
    ComPtr<IGraphBuilder> graph_;
    ComPtr<IMediaControl> control_;
    ComPtr<IMediaEvent> events_;
    ComPtr<ISampleGrabber> grabber_;
    std::unique_ptr<RowFlip> flip_;
    std::vector<unsigned char> buffer_;
    long width_ = 0;
    long height_ = 0;
};

} // namespace quilo::bench
