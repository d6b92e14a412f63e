#include "support/Component.h"

#include <gtest/gtest.h>

#include "support/TestCamera.h"
#include "support/TestPaths.h"

namespace quilo::test {

ComPtr<ICQuiloVideoProcClass> create_component()
{
    ComPtr<ICQuiloVideoProc> object;
    const HRESULT hr = CoCreateInstance(CLSID_CCQuiloVideoProc, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_ICQuiloVideoProc, object.put_void());
    EXPECT_EQ(S_OK, hr) << "is the component registered?";
    ComPtr<ICQuiloVideoProcClass> full;
    full.attach(static_cast<ICQuiloVideoProcClass *>(object.detach()));
    return full;
}

ComPtr<ICQuiloVideoProcClass> create_component_from_module()
{
    // Stays loaded for the rest of the process, as COM would keep it.
    HMODULE module = LoadLibraryA(QUILO_MODULE_PATH);
    EXPECT_NE(nullptr, module);
    if (!module) return {};
    using GetClassObject = HRESULT(WINAPI *)(REFCLSID, REFIID, void **);
    auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void *>(GetProcAddress(module, "DllGetClassObject")));
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(S_OK, get(CLSID_CCQuiloVideoProc, IID_IClassFactory, factory.put_void()));
    if (!factory) return {};
    ComPtr<ICQuiloVideoProc> object;
    EXPECT_EQ(S_OK, factory->CreateInstance(nullptr, IID_ICQuiloVideoProc, object.put_void()));
    ComPtr<ICQuiloVideoProcClass> full;
    full.attach(static_cast<ICQuiloVideoProcClass *>(object.detach()));
    return full;
}

HRESULT create_capture_raw(ICQuiloVideoProc *object, LONG deviceID, LONG flip, LONG setCameraParam, LONG width,
                           LONG height)
{
    using CreateCapture = HRESULT(STDMETHODCALLTYPE *)(void *, LONG, LONG, LONG, LONG, LONG);
    void **table = *reinterpret_cast<void ***>(object);
    auto call = reinterpret_cast<CreateCapture>(table[3]);
    return call(object, deviceID, flip, setCameraParam, width, height);
}

long record_number(const QuiloImageStruct &rec, bool topRowFirst, int tag, std::string *why)
{
    if (!rec.data) {
        if (why) *why = "the record has no pixels";
        return -1;
    }
    return frame_number(rec.data, rec.width, rec.height, rgb24_stride(rec.width), topRowFirst, tag, why);
}

long good_number(const QuiloImageStruct &rec, bool topRowFirst, int tag)
{
    std::string why;
    const long n = record_number(rec, topRowFirst, tag, &why);
    EXPECT_GT(n, 0) << why;
    return n;
}

} // namespace quilo::test
