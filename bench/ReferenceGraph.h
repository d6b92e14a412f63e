// The bare platform sequences the component is measured against, on the same kind of graph
// built by hand (capture filter -> RGB24 sample grabber -> null renderer), without the component:
//
// - Continuous: the grabber calls back for every sample (no buffering, not one-shot) in a graph
//   run once; a grab asks the callback for the next sample, waits for it and for the graph's
//   events together (a device removed, a stream aborted), then flips its rows in place.
//   What a host that writes DirectShow itself does to take frames from a camera.
// - Restart: per frame Stop -> SetOneShot(TRUE) -> drain events -> Run -> wait for EC_COMPLETE ->
//   two GetCurrentBuffer calls -> in-place row flip; the device's stream starts for every frame.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <qedit.h>
#include <memory>
#include <vector>

#include "bench/RowFlip.h"
#include "common/ComPtr.h"

namespace quilo::bench {

class NextSampleCallback;

class ReferenceGraph
{
public:
    enum class Sequence { Continuous, Restart };

    ReferenceGraph();
    ~ReferenceGraph();
    ReferenceGraph(const ReferenceGraph &) = delete;
    ReferenceGraph &operator=(const ReferenceGraph &) = delete;

    // Binds the video input device at `position` and connects the graph at width x height.
    HRESULT open(long position, long width, long height, Sequence sequence);
    // One frame that arrived after the call began into the buffer, rows reversed in place; the
    // stream's failure (0x8007048F for a removed device, an abort's HRESULT); VFW_E_TIMEOUT
    // after 8 s.
    HRESULT grab();
    void close();

    // Top-down rows after grab().
    const unsigned char *pixels() const { return buffer_.data(); }
    long width() const { return width_; }
    long height() const { return height_; }

private:
    HRESULT grab_continuous();
    HRESULT grab_restart();

    Sequence sequence_ = Sequence::Continuous;
    ComPtr<IGraphBuilder> graph_;
    ComPtr<IMediaControl> control_;
    ComPtr<IMediaEvent> events_;
    ComPtr<ISampleGrabber> grabber_;
    ComPtr<NextSampleCallback> callback_;
    bool running_ = false;
    std::unique_ptr<RowFlip> flip_;
    std::vector<unsigned char> buffer_;
    long width_ = 0;
    long height_ = 0;
};

} // namespace quilo::bench
