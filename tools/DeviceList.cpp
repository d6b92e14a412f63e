#include "tools/DeviceList.h"

#include <dshow.h>

#include "common/ComPtr.h"
#include "common/HResult.h"
#include "common/Variant.h"

namespace quilo::host {
namespace {

std::string to_ansi(const wchar_t *s)
{
    if (!s || !*s) return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, s, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return {};
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, s, -1, &out[0], n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

// A device that cannot say its name still takes its place in the list.
void read_name(IMoniker *device, VideoDevice &out)
{
    ComPtr<IPropertyBag> bag;
    if (FAILED(device->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.put_void())) || !bag) return;
    UniqueVariant name;
    V_VT(name.get()) = VT_BSTR;
    V_BSTR(name.get()) = nullptr;
    if (FAILED(bag->Read(L"FriendlyName", name.get(), nullptr)) || V_VT(name.get()) != VT_BSTR) return;
    out.hasName = true;
    out.name = to_ansi(V_BSTR(name.get()));
}

} // namespace

namespace {

// The category's moniker enumerator; none (S_OK, empty) when the category is empty.
HRESULT video_device_monikers(ComPtr<IEnumMoniker> &monikers)
{
    ComPtr<ICreateDevEnum> enumerator;
    RETURN_IF_FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                      enumerator.put_void()));
    // S_FALSE and no enumerator: the category is empty.
    RETURN_IF_FAILED(enumerator->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.put(), 0));
    return S_OK;
}

} // namespace

HRESULT list_video_devices(std::vector<VideoDevice> &devices)
{
    devices.clear();
    ComPtr<IEnumMoniker> monikers;
    RETURN_IF_FAILED(video_device_monikers(monikers));
    if (!monikers) return S_OK;

    ComPtr<IMoniker> device;
    for (long position = 0;; ++position) {
        const HRESULT hr = monikers->Next(1, device.put(), nullptr);
        RETURN_IF_FAILED(hr);
        if (hr != S_OK || !device) break;
        VideoDevice entry;
        entry.position = position;
        read_name(device.get(), entry);
        devices.push_back(std::move(entry));
    }
    return S_OK;
}

HRESULT bind_video_device(long position, ComPtr<IBaseFilter> &filter)
{
    filter.reset();
    ComPtr<IEnumMoniker> monikers;
    RETURN_IF_FAILED(video_device_monikers(monikers));
    RETURN_HR_IF(VFW_E_NO_CAPTURE_HARDWARE, !monikers);
    ComPtr<IMoniker> device;
    for (long i = 0;; ++i) {
        RETURN_HR_IF(VFW_E_NO_CAPTURE_HARDWARE, monikers->Next(1, device.put(), nullptr) != S_OK);
        if (i == position) break;
    }
    return device->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.put_void());
}

long find_video_device(const std::vector<VideoDevice> &devices, const std::string &name)
{
    for (const auto &d : devices)
        if (d.hasName && d.name == name) return d.position;
    return -1;
}

} // namespace quilo::host
