// A host program for the two-architecture test: creates the registered class through its
// ProgID, as any application does, and prints which module file COM loaded for it and that
// file's machine type. Exit 0 on success, 1 with the failing step otherwise.
#include <windows.h>
#include <objbase.h>

#include <cstdio>

#include "QuiloVideo.h"
#include "common/ComPtr.h"

int main()
{
    if (FAILED(CoInitialize(nullptr))) return 1;
    int status = 1;
    {
        CLSID clsid = {};
        HRESULT hr = CLSIDFromProgID(L"QuiloVideo.CQuiloVideoProc", &clsid);
        quilo::ComPtr<ICQuiloVideoProc> object;
        if (SUCCEEDED(hr))
            hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ICQuiloVideoProc, object.put_void());
        if (FAILED(hr)) {
            std::printf("activation failed: 0x%08lX\n", static_cast<unsigned long>(hr));
        } else {
            // The object's method table lives in the module that implements it.
            void *table = *reinterpret_cast<void **>(object.get());
            HMODULE module = nullptr;
            char path[MAX_PATH] = {};
            if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   static_cast<LPCSTR>(table), &module) &&
                GetModuleFileNameA(module, path, MAX_PATH)) {
                const auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(module);
                const auto *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(reinterpret_cast<const BYTE *>(module) +
                                                                           dos->e_lfanew);
                std::printf("module=%s\nmachine=%04X\n", path, nt->FileHeader.Machine);
                status = 0;
            } else {
                std::printf("no module for the object: %lu\n", GetLastError());
            }
        }
    }
    CoUninitialize();
    return status;
}
