#include "camera/CameraTest.h"

#include <oleauto.h>
#include <dvdmedia.h>
#include <cstdlib>

#include "common/HResult.h"
#include "common/Variant.h"
#include "dshow/GrabberGraph.h"
#include "dshow/PinSearch.h"

namespace quilo::test {

void CameraTest::SetUp()
{
    ASSERT_TRUE(SUCCEEDED(com_.result()));
    // Every test starts registered and without devices, whatever the one before it did.
    ASSERT_EQ(S_OK, register_test_camera());
    ASSERT_TRUE(clear_devices());
}

void CameraTest::TearDown()
{
    // Every camera object a test made must be gone once the test released its references.
    EXPECT_EQ(0, live_testcam_objects());
    EXPECT_TRUE(clear_devices());
}

namespace {

std::string bag_text(IPropertyBag *bag, const wchar_t *name)
{
    UniqueVariant value;
    if (FAILED(bag->Read(name, value.get(), nullptr)) || V_VT(value.get()) != VT_BSTR) return {};
    return narrow(V_BSTR(value.get()), CP_ACP);
}

// Visits the category's devices in order; an empty category visits none. A failing enumeration
// is returned, never taken for an empty list.
template <typename Visit>
HRESULT for_each_device(Visit visit)
{
    ComPtr<ICreateDevEnum> devices;
    RETURN_IF_FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                      devices.put_void()));
    ComPtr<IEnumMoniker> monikers;
    const HRESULT created = devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.put(), 0);
    RETURN_IF_FAILED(created);
    if (created == S_FALSE) return S_OK;
    RETURN_HR_IF(E_POINTER, !monikers);
    ComPtr<IMoniker> moniker;
    for (int position = 0;; ++position) {
        const HRESULT next = monikers->Next(1, moniker.put(), nullptr);
        RETURN_IF_FAILED(next);
        if (next != S_OK) return S_OK;
        ComPtr<IPropertyBag> bag;
        ignore_result(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.put_void()),
                      "a device without a property bag is visited without one");
        if (!visit(position, moniker.get(), bag.get())) return S_OK;
    }
}

} // namespace

HRESULT bind_device(const std::string &name, ComPtr<IBaseFilter> &filter, int *position)
{
    HRESULT hr = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    RETURN_IF_FAILED(for_each_device([&](int at, IMoniker *moniker, IPropertyBag *bag) {
        if (!bag || bag_text(bag, L"DeviceName") != name) return true;
        if (position) *position = at;
        hr = moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.put_void());
        return false;
    }));
    return hr;
}

std::vector<std::string> listed_devices()
{
    std::vector<std::string> names;
    const HRESULT hr = for_each_device([&](int, IMoniker *, IPropertyBag *bag) {
        const std::string name = bag ? bag_text(bag, L"FriendlyName") : std::string();
        names.push_back(name.empty() ? "(no name)" : name);
        return true;
    });
    if (FAILED(hr)) {
        // Never an empty list that an emptiness check would take for "no devices".
        ADD_FAILURE() << "the video input devices cannot be listed: 0x" << std::hex << hr;
        return {"(device enumeration failed)"};
    }
    return names;
}

ComPtr<IPin> capture_pin(IBaseFilter *camera) { return dshow::findOutputPin(camera); }

bool wait_for_event(IMediaEvent *events, long code, DWORD timeoutMs)
{
    const DWORD deadline = GetTickCount() + timeoutMs;
    for (;;) {
        const long remaining = static_cast<long>(deadline - GetTickCount());
        if (remaining < 0) return false;
        long got = 0;
        LONG_PTR p1 = 0, p2 = 0;
        // Wine answers E_ABORT early once when its queue ran empty; ask again until the limit.
        if (events->GetEvent(&got, &p1, &p2, remaining) != S_OK) {
            Sleep(1);
            continue;
        }
        events->FreeEventParams(got, p1, p2);
        if (got == code) return true;
    }
}

void drain_events(IMediaEvent *events)
{
    long code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    while (events->GetEvent(&code, &p1, &p2, 0) == S_OK) events->FreeEventParams(code, p1, p2);
}

GrabGraph::~GrabGraph() { release(); }

void GrabGraph::release()
{
    if (control) control->Stop();
    grabber = nullptr;
    renderer = nullptr;
    grabberFilter = nullptr;
    camera = nullptr;
    events = nullptr;
    control = nullptr;
    graph = nullptr;
}

HRESULT GrabGraph::build(IBaseFilter *device)
{
    dshow::GrabberGraph built;
    const HRESULT hr = built.build(device, capture_pin(device).get());
    graph = built.graph;
    control = built.control;
    events = built.events;
    camera = built.source;
    grabberFilter = built.filters.grabberFilter;
    grabber = built.filters.grabber;
    renderer = built.filters.renderer;
    if (FAILED(hr)) return hr;
    ignore_result(grabber->SetBufferSamples(TRUE), "a grabber that keeps no sample fails the grab that reads it");
    return grabber->SetOneShot(TRUE);
}

HRESULT GrabGraph::open(const std::string &device)
{
    ComPtr<IBaseFilter> filter;
    const HRESULT hr = bind_device(device, filter);
    return FAILED(hr) ? hr : build(filter.get());
}

HRESULT GrabGraph::grab(Frame &frame, DWORD timeoutMs)
{
    control->Stop();
    grabber->SetOneShot(TRUE);
    drain_events(events.get());
    HRESULT hr = control->Run();
    if (FAILED(hr)) return hr;
    if (!wait_for_event(events.get(), EC_COMPLETE, timeoutMs)) return VFW_E_TIMEOUT;
    MediaType mt;
    if (FAILED(hr = grabber->GetConnectedMediaType(mt.get()))) return hr;
    const BITMAPINFOHEADER *bih = nullptr;
    if (IsEqualGUID(mt->formattype, FORMAT_VideoInfo))
        bih = &reinterpret_cast<VIDEOINFOHEADER *>(mt->pbFormat)->bmiHeader;
    else if (IsEqualGUID(mt->formattype, FORMAT_VideoInfo2))
        bih = &reinterpret_cast<VIDEOINFOHEADER2 *>(mt->pbFormat)->bmiHeader;
    if (!bih) return VFW_E_INVALIDMEDIATYPE;
    frame.width = bih->biWidth;
    frame.height = bih->biHeight;
    long size = 0;
    if (FAILED(hr = grabber->GetCurrentBuffer(&size, nullptr))) return hr;
    frame.bytes.assign(static_cast<size_t>(size), 0);
    return grabber->GetCurrentBuffer(&size, reinterpret_cast<long *>(frame.bytes.data()));
}

long GrabGraph::number(const Frame &frame, int tag, std::string *why)
{
    const long stride = (frame.width * 3 + 3) / 4 * 4;
    const long rows = std::labs(frame.height);
    if (static_cast<long>(frame.bytes.size()) != stride * rows) {
        if (why) *why = "sample of " + std::to_string(frame.bytes.size()) + " bytes";
        return -1;
    }
    return frame_number(frame.bytes.data(), static_cast<int>(frame.width), static_cast<int>(rows), stride,
                        frame.height < 0, tag, why);
}

} // namespace quilo::test
