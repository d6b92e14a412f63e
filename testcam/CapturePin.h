// The camera's one output pin, the capture pin: RGB24 frames of the device's size or of the
// size a host set, its category, stream configuration and property page.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <ocidl.h>
#include <functional>
#include <utility>
#include <vector>

#include "testcam/CameraPageSite.h"
#include "testcam/DeviceOptions.h"
#include "testcam/FrameSource.h"
#include "testcam/kit/PinCategory.h"
#include "dshow/VideoFormat.h"

namespace quilo::testcam {

class DeviceState;

class CapturePin final : public kit::CategoryPin,
                         public IAMStreamConfig,
                         public ISpecifyPropertyPages,
                         public ICameraPageSite
{
public:
    explicit CapturePin(kit::BaseFilter &filter);
    ~CapturePin() override;

    // IUnknown, shared by every interface of the pin.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override { return OutputPin::QueryInterface(iid, out); }
    ULONG STDMETHODCALLTYPE AddRef() override { return OutputPin::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return OutputPin::Release(); }
    // IAMStreamConfig
    HRESULT STDMETHODCALLTYPE SetFormat(AM_MEDIA_TYPE *mt) override;
    HRESULT STDMETHODCALLTYPE GetFormat(AM_MEDIA_TYPE **mt) override;
    HRESULT STDMETHODCALLTYPE GetNumberOfCapabilities(int *count, int *size) override;
    HRESULT STDMETHODCALLTYPE GetStreamCaps(int index, AM_MEDIA_TYPE **mt, BYTE *caps) override;
    // ISpecifyPropertyPages
    HRESULT STDMETHODCALLTYPE GetPages(CAUUID *pages) override;
    // ICameraPageSite
    HRESULT STDMETHODCALLTYPE ReadPageData(CameraPageData *data) override;
    HRESULT STDMETHODCALLTYPE NotePageActivated() override;

    // Called by the filter, under its lock. `marks`, when set, paints over every frame.
    using MarkPainter = std::function<void(BYTE *pixels, LONG width, LONG height)>;
    void configure(const DeviceOptions &options, const DeviceState *state, MarkPainter marks);
    HRESULT startStreaming();
    void runStreaming(REFERENCE_TIME start) { source_.run(start); }
    void pauseStreaming() { source_.pause(); }
    void stopStreaming();

protected:
    // These three may be called by downstream filters on the streaming thread, so they take no
    // lock: what they read changes only under the lock while the filter is stopped.
    HRESULT checkMediaType(const AM_MEDIA_TYPE &mt) override;
    HRESULT mediaType(ULONG index, AM_MEDIA_TYPE &mt) override;
    HRESULT bufferNeeds(const AM_MEDIA_TYPE &mt, ALLOCATOR_PROPERTIES &props) override;
    HRESULT queryExtra(REFIID iid, void **out) override;

private:
    std::vector<std::pair<LONG, LONG>> capabilities() const;
    dshow::VideoHeader header() const;
    REFERENCE_TIME frameTime() const;
    long requestedRate(const AM_MEDIA_TYPE &mt) const;
    // The connection's type, or the first type offered while unconnected.
    HRESULT currentType(AM_MEDIA_TYPE &mt);
    HRESULT applyFormat(LONG width, LONG height);
    HRESULT reconnect(LONG width, LONG height);

    DeviceOptions options_;
    const DeviceState *state_ = nullptr;
    MarkPainter marks_;
    bool formatSet_ = false;            // a host chose the format with SetFormat
    LONG width_ = 0, height_ = 0;       // that format
    long rate_ = 0;                     // frames per second streamed: fps, or the one SetFormat chose
    FrameSource source_;
};

} // namespace quilo::testcam
