#include "capture/DeviceSelection.h"

#include <uuids.h>
#include <vfwmsgs.h>

#include "common/HResult.h"
#include "common/Variant.h"

namespace quilo::capture {

HRESULT bindDeviceByIndex(Platform &platform, LONG position, ComPtr<IBaseFilter> &captureFilter)
{
    captureFilter.reset();
    RETURN_HR_IF(E_INVALIDARG, position < 0);

    ComPtr<ICreateDevEnum> devices;
    RETURN_IF_FAILED(platform.createInstance(CLSID_SystemDeviceEnum, CLSCTX_ALL, IID_ICreateDevEnum,
                                             devices.put_void()));
    ComPtr<IEnumMoniker> monikers;
    RETURN_IF_FAILED(devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.put(), 0));
    // An empty or absent category gives S_FALSE and no enumerator.
    RETURN_HR_IF(VFW_E_NO_CAPTURE_HARDWARE, !monikers);
    RETURN_IF_FAILED(monikers->Reset());

    ComPtr<IMoniker> device;
    for (LONG i = 0;; ++i) {
        const HRESULT hr = monikers->Next(1, device.put(), nullptr);
        RETURN_IF_FAILED(hr);
        RETURN_HR_IF(VFW_E_NO_CAPTURE_HARDWARE, hr != S_OK || !device);
        if (i == position) break;
    }

    // A device that cannot give its name is never bound.
    ComPtr<IPropertyBag> properties;
    RETURN_IF_FAILED(device->BindToStorage(nullptr, nullptr, IID_IPropertyBag, properties.put_void()));
    UniqueVariant name;
    V_VT(name.get()) = VT_BSTR;
    V_BSTR(name.get()) = nullptr;
    RETURN_IF_FAILED(properties->Read(L"FriendlyName", name.get(), nullptr));

    ComPtr<IBaseFilter> filter;
    RETURN_IF_FAILED(device->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.put_void()));
    RETURN_HR_IF(E_NOINTERFACE, !filter);
    captureFilter = std::move(filter);
    return S_OK;
}

} // namespace quilo::capture
