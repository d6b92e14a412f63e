// quilo-testcam-rate: how many frames per second the unpaced test camera (--fps 0) delivers at
// 640x480 RGB24 into the platform's sample grabber (not one-shot, a counting callback) and a
// null renderer. Prints one figure. Registers QuiloTestCamera.ax from its own folder and adds
// (then removes) a device of its own.
#include <windows.h>
#include <dshow.h>
#include <qedit.h>
#include <oleauto.h>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/ComPtr.h"
#include "common/HResult.h"
#include "common/ScopeGuard.h"
#include "common/Text.h"
#include "common/Variant.h"
#include "dshow/GrabberGraph.h"
#include "testcam/DeviceRegistry.h"

using quilo::ComPtr;

namespace {

const char kDevice[] = "QuiloTestCamera rate bench";

class FrameCounter final : public ISampleGrabberCB
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_ISampleGrabberCB)) return E_NOINTERFACE;
        *out = static_cast<ISampleGrabberCB *>(this);
        return S_OK;
    }
    // Lives on the stack of main, longer than the graph that calls it.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE SampleCB(double, IMediaSample *) override
    {
        InterlockedIncrement(&frames_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE BufferCB(double, BYTE *, long) override { return S_OK; }
    LONG frames() { return InterlockedCompareExchange(&frames_, 0, 0); }

private:
    volatile LONG frames_ = 0;
};

int fail(const char *what, HRESULT hr)
{
    std::fprintf(stderr, "quilo-testcam-rate: %s failed: 0x%08lX\n", what, static_cast<unsigned long>(hr));
    return 1;
}

HRESULT register_camera()
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return E_FAIL;
    std::string ax(path);
    ax = ax.substr(0, ax.find_last_of('\\') + 1) + "QuiloTestCamera.ax";
    HMODULE module = LoadLibraryA(ax.c_str());
    if (!module) return HRESULT_FROM_WIN32(GetLastError());
    using Entry = HRESULT(WINAPI *)();
    auto reg = reinterpret_cast<Entry>(reinterpret_cast<void *>(GetProcAddress(module, "DllRegisterServer")));
    const HRESULT hr = reg ? reg() : E_FAIL;
    FreeLibrary(module);
    return hr;
}

HRESULT bind_device(ComPtr<IBaseFilter> &filter)
{
    ComPtr<ICreateDevEnum> devices;
    HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                  devices.put_void());
    if (FAILED(hr)) return hr;
    ComPtr<IEnumMoniker> monikers;
    if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.put(), 0) != S_OK)
        return VFW_E_NOT_FOUND;
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.put(), nullptr) == S_OK) {
        ComPtr<IPropertyBag> bag;
        if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.put_void()))) continue;
        quilo::UniqueVariant name;
        if (FAILED(bag->Read(L"DeviceName", name.get(), nullptr)) || V_VT(name.get()) != VT_BSTR) continue;
        if (quilo::narrow(V_BSTR(name.get())) == kDevice)
            return moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.put_void());
    }
    return VFW_E_NOT_FOUND;
}

} // namespace

int main(int argc, char **argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    if (seconds <= 0) {
        std::fprintf(stderr, "usage: quilo-testcam-rate [seconds to measure, default 3]\n");
        return 2;
    }
    HRESULT hr = CoInitialize(nullptr);
    if (FAILED(hr)) return fail("CoInitialize", hr);
    auto uninit = quilo::scope_exit([] { CoUninitialize(); });
    hr = register_camera();
    if (FAILED(hr)) return fail("registering QuiloTestCamera.ax", hr);
    quilo::testcam::DeviceOptions options;
    options.fps = 0;
    if (FAILED(hr = quilo::testcam::add_device(kDevice, options))) return fail("adding the device", hr);
    auto remove = quilo::scope_exit([] {
        quilo::ignore_result(quilo::testcam::remove_device(kDevice),
                             "the figure is printed; a device left behind is replaced by the next run's add");
    });

    FrameCounter counter;
    LONG counted = 0;
    DWORD elapsedMs = 0;
    {
        ComPtr<IBaseFilter> camera;
        quilo::dshow::GrabberGraph graph;
        if (FAILED(hr = bind_device(camera))) return fail("binding the device", hr);
        // A figure from a graph that was not built as described would be no figure at all.
        if (FAILED(hr = graph.build(camera.get()))) return fail("building camera -> grabber -> renderer", hr);
        ISampleGrabber *grabber = graph.filters.grabber.get();
        IMediaControl *control = graph.control.get();
        if (FAILED(hr = grabber->SetOneShot(FALSE))) return fail("SetOneShot", hr);
        if (FAILED(hr = grabber->SetBufferSamples(FALSE))) return fail("SetBufferSamples", hr);
        if (FAILED(hr = grabber->SetCallback(&counter, 0))) return fail("SetCallback", hr);

        if (FAILED(hr = control->Run())) return fail("Run", hr);
        Sleep(500); // let the stream settle
        const LONG before = counter.frames();
        const DWORD start = GetTickCount();
        Sleep(static_cast<DWORD>(seconds * 1000));
        counted = counter.frames() - before;
        elapsedMs = GetTickCount() - start;
        quilo::ignore_result(control->Stop(), "the count is taken; the graph is released next either way");
        quilo::ignore_result(grabber->SetCallback(nullptr, 0),
                             "the graph is stopped, so the counter is called no more; this only drops the reference");
    }
    std::printf("test camera, unpaced, 640x480 RGB24 into sample grabber + null renderer: %.1f frames per second\n",
                counted * 1000.0 / (elapsedMs ? elapsedMs : 1));
    return 0;
}
