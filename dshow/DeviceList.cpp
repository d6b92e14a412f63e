#include "dshow/DeviceList.h"

#include <dshow.h>

#include "common/HResult.h"
#include "common/Text.h"
#include "common/Variant.h"

namespace quilo::dshow {
namespace {

HRESULT read_text(IMoniker *device, const wchar_t *property, UniqueVariant &text)
{
    ComPtr<IPropertyBag> bag;
    RETURN_IF_FAILED(device->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.put_void()));
    RETURN_HR_IF(E_NOINTERFACE, !bag);
    V_VT(text.get()) = VT_BSTR;
    V_BSTR(text.get()) = nullptr;
    return bag->Read(property, text.get(), nullptr);
}

HRESULT read_name(IMoniker *device, UniqueVariant &name) { return read_text(device, L"FriendlyName", name); }

// The category's moniker enumerator; none (S_OK) when the category is empty or absent, which
// the platform answers with S_FALSE and no enumerator.
HRESULT video_device_monikers(ICreateDevEnum *devices, ComPtr<IEnumMoniker> &monikers)
{
    RETURN_HR_IF_NULL(E_POINTER, devices);
    RETURN_IF_FAILED(devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.put(), 0));
    if (monikers) RETURN_IF_FAILED(monikers->Reset());
    return S_OK;
}

HRESULT system_device_enumerator(ComPtr<ICreateDevEnum> &devices)
{
    return CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                            devices.put_void());
}

} // namespace

HRESULT list_video_devices(ICreateDevEnum *devices, std::vector<VideoDevice> &list)
{
    list.clear();
    ComPtr<IEnumMoniker> monikers;
    RETURN_IF_FAILED(video_device_monikers(devices, monikers));
    if (!monikers) return S_OK;

    ComPtr<IMoniker> device;
    for (long position = 0;; ++position) {
        const HRESULT hr = monikers->Next(1, device.put(), nullptr);
        RETURN_IF_FAILED(hr);
        if (hr != S_OK || !device) break;
        VideoDevice entry;
        entry.position = position;
        // A device that cannot say its name still takes its place in the list.
        UniqueVariant name;
        if (SUCCEEDED(read_name(device.get(), name)) && V_VT(name.get()) == VT_BSTR) {
            entry.hasName = true;
            entry.name = narrow(V_BSTR(name.get()));
            if (V_BSTR(name.get())) entry.wideName = V_BSTR(name.get());
        }
        // Many devices (virtual ones, some capture cards) have no path: that is no fault.
        UniqueVariant path;
        if (SUCCEEDED(read_text(device.get(), L"DevicePath", path)) && V_VT(path.get()) == VT_BSTR &&
            V_BSTR(path.get()))
            entry.path = V_BSTR(path.get());
        entry.moniker = device;
        list.push_back(std::move(entry));
    }
    return S_OK;
}

HRESULT bind_video_device(ICreateDevEnum *devices, long position, ComPtr<IBaseFilter> &filter)
{
    filter.reset();
    RETURN_HR_IF(E_INVALIDARG, position < 0);
    ComPtr<IEnumMoniker> monikers;
    RETURN_IF_FAILED(video_device_monikers(devices, monikers));
    RETURN_HR_IF(VFW_E_NO_CAPTURE_HARDWARE, !monikers);

    ComPtr<IMoniker> device;
    for (long i = 0;; ++i) {
        const HRESULT hr = monikers->Next(1, device.put(), nullptr);
        RETURN_IF_FAILED(hr);
        RETURN_HR_IF(VFW_E_NO_CAPTURE_HARDWARE, hr != S_OK || !device);
        if (i == position) break;
    }
    return bind_moniker(device.get(), filter);
}

HRESULT bind_moniker(IMoniker *device, ComPtr<IBaseFilter> &filter)
{
    filter.reset();
    RETURN_HR_IF_NULL(E_POINTER, device);
    UniqueVariant name;
    RETURN_IF_FAILED(read_name(device, name));

    ComPtr<IBaseFilter> bound;
    RETURN_IF_FAILED(device->BindToObject(nullptr, nullptr, IID_IBaseFilter, bound.put_void()));
    RETURN_HR_IF(E_NOINTERFACE, !bound);
    filter = std::move(bound);
    return S_OK;
}

HRESULT list_video_devices(std::vector<VideoDevice> &list)
{
    list.clear();
    ComPtr<ICreateDevEnum> devices;
    RETURN_IF_FAILED(system_device_enumerator(devices));
    return list_video_devices(devices.get(), list);
}

HRESULT bind_video_device(long position, ComPtr<IBaseFilter> &filter)
{
    filter.reset();
    ComPtr<ICreateDevEnum> devices;
    RETURN_IF_FAILED(system_device_enumerator(devices));
    return bind_video_device(devices.get(), position, filter);
}

long find_video_device(const std::vector<VideoDevice> &list, const std::string &name)
{
    for (const auto &d : list)
        if (d.hasName && d.name == name) return d.position;
    return -1;
}

} // namespace quilo::dshow
