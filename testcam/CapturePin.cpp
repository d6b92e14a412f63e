#include "testcam/CapturePin.h"

#include <objbase.h>
#include <amvideo.h>
#include <dvdmedia.h>
#include <uuids.h>
#include <vfwmsgs.h>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/HResult.h"
#include "testcam/kit/PinCategory.h"
#include "testcam/CameraIds.h"
#include "testcam/DeviceRegistry.h"
#include "testcam/kit/BaseFilter.h"
#include "testcam/kit/StreamConfigCaps.h"

namespace quilo::testcam {
namespace {

constexpr REFERENCE_TIME kUnitsPerSecond = 10000000; // 100 ns units

constexpr LONG kMinSide = 16;
constexpr LONG kMaxSide = 4096;
// Capability 0 is the device's own size; these follow it, as on a typical camera.
const std::pair<LONG, LONG> kMoreSizes[] = {{320, 240}, {160, 120}};
// The template of capability 0 with --caps short: one byte short of a VIDEOINFOHEADER.
constexpr ULONG kShortFormatBytes = 87;
constexpr long kBuffers = 3;

// With `anySize` every width from 1 and every height but 0 (and one that cannot be negated).
bool valid_bitmap(const BITMAPINFOHEADER &bih, bool anySize)
{
    if (bih.biBitCount != 24 || bih.biCompression != BI_RGB) return false;
    if (anySize) return bih.biWidth >= 1 && bih.biHeight != 0 && bih.biHeight != LONG_MIN;
    const LONG rows = std::labs(bih.biHeight);
    return bih.biWidth >= kMinSide && bih.biWidth <= kMaxSide && rows >= kMinSide && rows <= kMaxSide;
}

} // namespace

CapturePin::CapturePin(kit::BaseFilter &filter) : CategoryPin(filter, L"Capture", PIN_CATEGORY_CAPTURE) {}

CapturePin::~CapturePin() = default;

void CapturePin::configure(const DeviceOptions &options, const DeviceState *state, MarkPainter marks)
{
    Lock lock(filter_.lock());
    options_ = options;
    state_ = state;
    marks_ = std::move(marks);
    formatSet_ = false;
    rate_ = options.fps;
}

std::vector<std::pair<LONG, LONG>> CapturePin::capabilities() const
{
    std::vector<std::pair<LONG, LONG>> sizes = {{options_.width, options_.height}};
    for (const auto &size : kMoreSizes)
        if (size.first != options_.width || size.second != std::labs(options_.height)) sizes.push_back(size);
    return sizes;
}

dshow::VideoHeader CapturePin::header() const
{
    return options_.caps == CapsMode::VideoInfo2 ? dshow::VideoHeader::Info2 : dshow::VideoHeader::Info;
}

REFERENCE_TIME CapturePin::frameTime() const { return rate_ > 0 ? kUnitsPerSecond / rate_ : 0; }

// The rate a format asks for within the device's range: its AvgTimePerFrame, or the current rate
// where it gives none; 0 for a rate outside the range.
long CapturePin::requestedRate(const AM_MEDIA_TYPE &mt) const
{
    REFERENCE_TIME interval = 0;
    if (IsEqualGUID(mt.formattype, FORMAT_VideoInfo) && mt.cbFormat >= sizeof(VIDEOINFOHEADER) && mt.pbFormat)
        interval = reinterpret_cast<const VIDEOINFOHEADER *>(mt.pbFormat)->AvgTimePerFrame;
    else if (IsEqualGUID(mt.formattype, FORMAT_VideoInfo2) && mt.cbFormat >= sizeof(VIDEOINFOHEADER2) && mt.pbFormat)
        interval = reinterpret_cast<const VIDEOINFOHEADER2 *>(mt.pbFormat)->AvgTimePerFrame;
    if (interval <= 0) return rate_;
    const long rate = static_cast<long>((kUnitsPerSecond + interval / 2) / interval);
    return rate >= options_.minFps && rate <= options_.maxFps ? rate : 0;
}

HRESULT STDMETHODCALLTYPE CapturePin::SetFormat(AM_MEDIA_TYPE *mt)
{
    RETURN_HR_IF_NULL(E_POINTER, mt);
    Lock lock(filter_.lock());
    const BITMAPINFOHEADER *bih = dshow::bitmap_header(*mt);
    const LONG width = bih ? bih->biWidth : 0;
    const LONG height = bih ? bih->biHeight : 0;

    HRESULT hr;
    if (options_.refuseFormat)
        hr = E_FAIL;
    else if (filter_.state() != State_Stopped)
        hr = VFW_E_NOT_STOPPED;
    else if (!IsEqualGUID(mt->majortype, MEDIATYPE_Video) || !IsEqualGUID(mt->subtype, MEDIASUBTYPE_RGB24) ||
             !bih || !valid_bitmap(*bih, options_.anySize))
        hr = VFW_E_INVALIDMEDIATYPE;
    else if (options_.hasRateRange() && requestedRate(*mt) == 0)
        hr = VFW_E_INVALIDMEDIATYPE; // a rate outside the device's range
    else
        hr = applyFormat(width, height);
    // Only a device with a range of rates takes the one a format asks for.
    if (SUCCEEDED(hr) && options_.hasRateRange()) rate_ = requestedRate(*mt);

    if (state_) {
        char entry[48];
        std::snprintf(entry, sizeof(entry), "%ldx%ld:0x%08lX", static_cast<long>(width), static_cast<long>(height),
                      static_cast<unsigned long>(hr));
        state_->append(record::kFormatSets, entry);
    }
    return hr;
}

HRESULT CapturePin::applyFormat(LONG width, LONG height)
{
    if (isConnected()) {
        const BITMAPINFOHEADER *current = dshow::bitmap_header(connectionType());
        if (!current || current->biWidth != width || current->biHeight != height) return reconnect(width, height);
    }
    formatSet_ = true;
    width_ = width;
    height_ = height;
    return S_OK;
}

// A connected pin takes a new format by connecting again with it, as the platform's own
// capture filters do; if the peer will not have it, the old connection is restored.
HRESULT CapturePin::reconnect(LONG width, LONG height)
{
    const ComPtr<IPin> peer = this->peer();
    MediaType next;
    RETURN_IF_FAILED(dshow::make_rgb24_type(width, height, frameTime(), header(), *next.get()));
    RETURN_HR_IF(VFW_E_TYPE_NOT_ACCEPTED, peer->QueryAccept(next.get()) != S_OK);
    MediaType previous;
    RETURN_IF_FAILED(copy_media_type(*previous.get(), connectionType()));
    const bool wasSet = formatSet_;
    const LONG oldWidth = width_, oldHeight = height_;

    // Both ends of a connection the pin holds disconnect while the graph is stopped (checked by
    // SetFormat), which is the only state either refuses in.
    ignore_result(peer->Disconnect(), "the peer disconnects while stopped");
    ignore_result(Disconnect(), "this pin disconnects while stopped");
    formatSet_ = true;
    width_ = width;
    height_ = height;
    const HRESULT hr = Connect(peer.get(), next.get());
    if (FAILED(hr)) {
        formatSet_ = wasSet;
        width_ = oldWidth;
        height_ = oldHeight;
        ignore_result(Connect(peer.get(), previous.get()),
                      "the format the peer had already accepted; the new format's refusal is what is returned");
    }
    return hr;
}

HRESULT CapturePin::currentType(AM_MEDIA_TYPE &mt)
{
    return isConnected() ? copy_media_type(mt, connectionType()) : mediaType(0, mt);
}

HRESULT STDMETHODCALLTYPE CapturePin::GetFormat(AM_MEDIA_TYPE **mt)
{
    RETURN_HR_IF_NULL(E_POINTER, mt);
    *mt = nullptr;
    Lock lock(filter_.lock());
    MediaType current;
    RETURN_IF_FAILED(currentType(*current.get()));
    *mt = create_media_type_copy(*current.get());
    return *mt ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE CapturePin::GetNumberOfCapabilities(int *count, int *size)
{
    RETURN_HR_IF(E_POINTER, !count || !size);
    Lock lock(filter_.lock());
    *count = static_cast<int>(capabilities().size());
    *size = sizeof(kit::VideoStreamConfigCaps);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CapturePin::GetStreamCaps(int index, AM_MEDIA_TYPE **mt, BYTE *caps)
{
    RETURN_HR_IF_NULL(E_POINTER, mt);
    *mt = nullptr;
    RETURN_HR_IF_NULL(E_POINTER, caps);
    RETURN_HR_IF(E_INVALIDARG, index < 0);
    Lock lock(filter_.lock());
    const auto sizes = capabilities();
    if (static_cast<size_t>(index) >= sizes.size()) return S_FALSE;
    const LONG width = sizes[static_cast<size_t>(index)].first;
    const LONG height = sizes[static_cast<size_t>(index)].second;

    MediaType type;
    RETURN_IF_FAILED(dshow::make_rgb24_type(width, height, frameTime(), header(), *type.get()));
    if (index == 0 && options_.caps == CapsMode::Short) type->cbFormat = kShortFormatBytes;

    kit::VideoStreamConfigCaps scc = {};
    scc.guid = type->formattype;
    scc.InputSize = {width, std::labs(height)};
    scc.MinCroppingSize = scc.InputSize;
    scc.MaxCroppingSize = scc.InputSize;
    scc.CropGranularityX = scc.CropGranularityY = 1;
    scc.CropAlignX = scc.CropAlignY = 1;
    scc.MinOutputSize = {kMinSide, kMinSide};
    scc.MaxOutputSize = {kMaxSide, kMaxSide};
    scc.OutputGranularityX = scc.OutputGranularityY = 1;
    scc.MinFrameInterval = scc.MaxFrameInterval = frameTime();
    if (options_.hasRateRange()) {
        scc.MinFrameInterval = kUnitsPerSecond / options_.maxFps;
        scc.MaxFrameInterval = kUnitsPerSecond / options_.minFps;
    }
    const LONGLONG bits = static_cast<LONGLONG>(dshow::rgb24_image_size(width, height)) * 8 * rate_;
    scc.MinBitsPerSecond = scc.MaxBitsPerSecond = bits > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<LONG>(bits);
    std::memcpy(caps, &scc, sizeof(scc));

    *mt = create_media_type_copy(*type.get());
    return *mt ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE CapturePin::GetPages(CAUUID *pages)
{
    RETURN_HR_IF_NULL(E_POINTER, pages);
    pages->cElems = 0;
    pages->pElems = static_cast<GUID *>(CoTaskMemAlloc(sizeof(GUID)));
    RETURN_HR_IF_NULL(E_OUTOFMEMORY, pages->pElems);
    pages->pElems[0] = kClsidTestCameraPage;
    pages->cElems = 1;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CapturePin::ReadPageData(CameraPageData *data)
{
    RETURN_HR_IF_NULL(E_POINTER, data);
    Lock lock(filter_.lock());
    MediaType current;
    RETURN_IF_FAILED(currentType(*current.get()));
    const BITMAPINFOHEADER *bih = dshow::bitmap_header(*current.get());
    data->width = bih ? bih->biWidth : 0;
    data->height = bih ? bih->biHeight : 0;
    data->fps = rate_;
    data->framesDelivered = source_.delivered();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CapturePin::NotePageActivated()
{
    Lock lock(filter_.lock());
    if (state_) state_->count(record::kPageActivations);
    return S_OK;
}

HRESULT CapturePin::checkMediaType(const AM_MEDIA_TYPE &mt)
{
    if (!IsEqualGUID(mt.majortype, MEDIATYPE_Video) || !IsEqualGUID(mt.subtype, MEDIASUBTYPE_RGB24)) return S_FALSE;
    const GUID &format = header() == dshow::VideoHeader::Info2 ? FORMAT_VideoInfo2 : FORMAT_VideoInfo;
    if (!IsEqualGUID(mt.formattype, format)) return S_FALSE;
    const BITMAPINFOHEADER *bih = dshow::bitmap_header(mt);
    if (!bih || !valid_bitmap(*bih, options_.anySize)) return S_FALSE;
    if (formatSet_ && (bih->biWidth != width_ || bih->biHeight != height_)) return S_FALSE;
    return S_OK;
}

HRESULT CapturePin::mediaType(ULONG index, AM_MEDIA_TYPE &mt)
{
    if (formatSet_) {
        if (index > 0) return VFW_S_NO_MORE_ITEMS;
        return dshow::make_rgb24_type(width_, height_, frameTime(), header(), mt);
    }
    const auto sizes = capabilities();
    if (index >= sizes.size()) return VFW_S_NO_MORE_ITEMS;
    return dshow::make_rgb24_type(sizes[index].first, sizes[index].second, frameTime(), header(), mt);
}

HRESULT CapturePin::bufferNeeds(const AM_MEDIA_TYPE &mt, ALLOCATOR_PROPERTIES &props)
{
    const BITMAPINFOHEADER *bih = dshow::bitmap_header(mt);
    RETURN_HR_IF_NULL(VFW_E_INVALIDMEDIATYPE, bih);
    props.cBuffers = kBuffers;
    props.cbBuffer = static_cast<long>(dshow::rgb24_image_size(bih->biWidth, bih->biHeight));
    // A device that changes its size mid-stream has buffers for either size from the start.
    if (options_.changeAfter >= 0) {
        const long changed = static_cast<long>(dshow::rgb24_image_size(options_.changeWidth, options_.changeHeight));
        if (changed > props.cbBuffer) props.cbBuffer = changed;
    }
    props.cbAlign = 1;
    props.cbPrefix = 0;
    return S_OK;
}

HRESULT CapturePin::queryExtra(REFIID iid, void **out)
{
    // No lock: downstream filters query the pin from the streaming thread (end of stream, seeking
    // pass-through) while Stop holds the filter lock and waits for that thread. The options are
    // fixed once the device is loaded.
    return answer_query(iid, out, {
        {&IID_IKsPropertySet, static_cast<IKsPropertySet *>(this)},
        {&IID_IAMStreamConfig, static_cast<IAMStreamConfig *>(this)},
        {options_.noPages ? nullptr : &IID_ISpecifyPropertyPages, static_cast<ISpecifyPropertyPages *>(this)},
        {&kIidCameraPageSite, static_cast<ICameraPageSite *>(this)},
    });
}

HRESULT CapturePin::startStreaming()
{
    if (!isConnected()) return S_OK;
    RETURN_IF_FAILED(commitAllocator());
    const BITMAPINFOHEADER *bih = dshow::bitmap_header(connectionType());
    RETURN_HR_IF_NULL(VFW_E_INVALIDMEDIATYPE, bih);
    StreamSetup setup;
    setup.peer = peer();
    setup.input = input();
    setup.allocator = allocator();
    setup.clock = filter_.clock();
    setup.width = bih->biWidth;
    setup.height = bih->biHeight;
    setup.options = options_;
    setup.options.fps = rate_; // the pacing and the sample times follow the chosen rate
    setup.header = header();
    setup.frameTime = frameTime();
    setup.device = static_cast<IBaseFilter *>(&filter_);
    // Filters report to the graph through its event sink. Held uncounted, as the platform's own
    // base filters hold it: the graph holds this filter and outlives its streams.
    if (IFilterGraph *graph = filter_.graph()) {
        ComPtr<IMediaEventSink> events;
        if (SUCCEEDED(graph->QueryInterface(IID_IMediaEventSink, events.put_void()))) setup.events = events.get();
    }
    const DeviceState *state = state_;
    setup.report = [state](LONG frames) {
        if (state) state->count(record::kFramesDelivered, frames);
    };
    setup.marks = marks_;
    setup.streamStarted = [state] {
        if (state) state->count(record::kStreamStarts);
    };
    const HRESULT hr = source_.start(std::move(setup));
    if (FAILED(hr)) decommitAllocator();
    return hr;
}

void CapturePin::stopStreaming()
{
    decommitAllocator();
    source_.stop();
}

} // namespace quilo::testcam
