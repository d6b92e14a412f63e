#include "WicDecode.h"

#include <wincodec.h>

#include "common/ComPtr.h"
#include "common/HResult.h"
#include "support/TestSupport.h"

namespace quilo::test {

HRESULT decode_image(const std::string &path, DecodedImage &image)
{
    image = DecodedImage();
    ComPtr<IWICImagingFactory> factory;
    RETURN_IF_FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IWICImagingFactory, factory.put_void()));
    ComPtr<IWICBitmapDecoder> decoder;
    RETURN_IF_FAILED(factory->CreateDecoderFromFilename(widen(path).c_str(), nullptr, GENERIC_READ,
                                                        WICDecodeMetadataCacheOnDemand, decoder.put()));
    RETURN_IF_FAILED(decoder->GetContainerFormat(&image.container));
    ComPtr<IWICBitmapFrameDecode> frame;
    RETURN_IF_FAILED(decoder->GetFrame(0, frame.put()));
    ComPtr<IWICBitmapSource> source;
    frame.query(source);
    ComPtr<IWICBitmapSource> converted;
    RETURN_IF_FAILED(WICConvertBitmapSource(GUID_WICPixelFormat24bppBGR, source.get(), converted.put()));
    RETURN_IF_FAILED(converted->GetSize(&image.width, &image.height));
    const UINT stride = image.width * 3;
    image.bgr.resize(static_cast<size_t>(stride) * image.height);
    return converted->CopyPixels(nullptr, stride, static_cast<UINT>(image.bgr.size()), image.bgr.data());
}

} // namespace quilo::test
