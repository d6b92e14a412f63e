#include "common/ImageFiles.h"

#include <wincodec.h>
#include <shlwapi.h>

#include "common/ComPtr.h"
#include "common/HResult.h"
#include "common/ScopeGuard.h"
#include "common/Text.h"

namespace quilo {
namespace {

HRESULT last_error()
{
    const DWORD err = GetLastError();
    return err ? hresult_from_win32(err) : E_FAIL;
}

HRESULT check_frame(const FrameView &frame)
{
    RETURN_HR_IF(E_POINTER, !frame.pixels);
    RETURN_HR_IF(E_INVALIDARG, frame.width <= 0 || frame.height <= 0 || frame.width > 65535 ||
                                   frame.height > 65535 || frame.stride < static_cast<long>(frame.width) * 3);
    return S_OK;
}

// One frame, 24 bits per pixel, handed to the encoder top row first without the source's
// row padding.
HRESULT encode(IWICImagingFactory *factory, REFGUID container, IStream *stream, const FrameView &frame)
{
    ComPtr<IWICBitmapEncoder> encoder;
    RETURN_IF_FAILED(factory->CreateEncoder(container, nullptr, encoder.put()));
    RETURN_IF_FAILED(encoder->Initialize(stream, WICBitmapEncoderNoCache));
    ComPtr<IWICBitmapFrameEncode> target;
    ComPtr<IPropertyBag2> options;
    RETURN_IF_FAILED(encoder->CreateNewFrame(target.put(), options.put()));
    RETURN_IF_FAILED(target->Initialize(options.get()));
    RETURN_IF_FAILED(target->SetSize(static_cast<UINT>(frame.width), static_cast<UINT>(frame.height)));
    RETURN_IF_FAILED(target->SetResolution(72.0, 72.0));
    // The encoder may answer with the nearest format it writes; anything but 24-bit
    // blue-green-red would change the picture, so it is refused rather than converted.
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    RETURN_IF_FAILED(target->SetPixelFormat(&format));
    RETURN_HR_IF(WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT, !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR));
    const UINT rowBytes = static_cast<UINT>(frame.width) * 3;
    for (int y = 0; y < frame.height; ++y) {
        // WritePixels takes a non-const buffer but only reads it.
        BYTE *row = const_cast<BYTE *>(frame.row(y));
        RETURN_IF_FAILED(target->WritePixels(1, rowBytes, rowBytes, row));
    }
    RETURN_IF_FAILED(target->Commit());
    return encoder->Commit();
}

HRESULT encode_to_file(IWICImagingFactory *given, REFGUID container, const std::wstring &path, const FrameView &frame)
{
    ComPtr<IWICImagingFactory> factory(given);
    if (!factory)
        RETURN_IF_FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                          IID_IWICImagingFactory, factory.put_void()));
    ComPtr<IWICStream> stream;
    RETURN_IF_FAILED(factory->CreateStream(stream.put()));
    RETURN_IF_FAILED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE));
    return encode(factory.get(), container, stream.get(), frame);
}

// The encoder for a file name's extension, or null.
const GUID *container_of(const std::wstring &path)
{
    const wchar_t *extension = PathFindExtensionW(path.c_str());
    if (!lstrcmpiW(extension, L".png")) return &GUID_ContainerFormatPng;
    if (!lstrcmpiW(extension, L".bmp")) return &GUID_ContainerFormatBmp;
    if (!lstrcmpiW(extension, L".jpg") || !lstrcmpiW(extension, L".jpeg")) return &GUID_ContainerFormatJpeg;
    return nullptr;
}

// A new, empty file of a short name of its own in the target's folder, so that the final move
// is a rename within one folder, however long the target's name, and no other writer (another
// object, another process) shares it.
HRESULT make_partial_file(const std::wstring &target, std::wstring &partial)
{
    std::wstring folder = target;
    const size_t slash = folder.find_last_of(L"\\/");
    folder = slash == std::wstring::npos ? std::wstring(L".") : folder.substr(0, slash + 1);
    wchar_t name[MAX_PATH] = {};
    if (!GetTempFileNameW(folder.c_str(), L"qvf", 0, name)) {
        // A folder that is missing (or is a file) is reported as creating the file there would.
        if (GetLastError() == ERROR_DIRECTORY) return hresult_from_win32(ERROR_PATH_NOT_FOUND);
        return last_error();
    }
    partial = name;
    return S_OK;
}

HRESULT write_image(REFGUID container, const std::wstring &target, const FrameView &frame,
                    IWICImagingFactory *factory = nullptr)
{
    RETURN_IF_FAILED(check_frame(frame));
    // A name cut at a NUL would be another file's.
    RETURN_HR_IF(E_INVALIDARG, target.empty() || target.find(L'\0') != std::wstring::npos);
    std::wstring partial;
    RETURN_IF_FAILED(make_partial_file(target, partial));
    // Best effort: when even the delete fails there is nothing more this call can do.
    auto removePartial = scope_exit([&] { static_cast<void>(DeleteFileW(partial.c_str())); });
    // The stream is released inside encode_to_file, so the file is closed before the move.
    RETURN_IF_FAILED(encode_to_file(factory, container, partial, frame));
    if (!MoveFileExW(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return last_error();
    removePartial.dismiss();
    return S_OK;
}

} // namespace

HRESULT write_bmp(const std::string &path, const FrameView &frame)
{
    return write_image(GUID_ContainerFormatBmp, widen(path), frame);
}

HRESULT write_png(const std::string &path, const FrameView &frame)
{
    return write_image(GUID_ContainerFormatPng, widen(path), frame);
}

HRESULT write_image_file(const std::wstring &path, const FrameView &frame, IWICImagingFactory *factory)
{
    const GUID *container = container_of(path);
    RETURN_HR_IF(E_INVALIDARG, !container);
    return write_image(*container, path, frame, factory);
}

bool is_image_file_name(const std::wstring &path) { return container_of(path) != nullptr; }

} // namespace quilo
