#include "support/png_reader.h"

#include <windows.h>
#include <shlwapi.h>
#include <wincodec.h>

#include "common/handles.h"

namespace testsupport {

std::optional<common::RgbaImage> ReadPng(std::span<const std::uint8_t> png) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::optional<common::RgbaImage> image;
    {
        common::ComPtr<IWICImagingFactory> factory;
        common::ComPtr<IStream> stream;
        common::ComPtr<IWICBitmapDecoder> decoder;
        common::ComPtr<IWICBitmapFrameDecode> frame;
        common::ComPtr<IWICFormatConverter> converter;
        UINT width = 0, height = 0;
        *stream.put() = SHCreateMemStream(png.data(), static_cast<UINT>(png.size()));
        if (stream &&
            SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                       factory.put_void())) &&
            SUCCEEDED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                                       decoder.put())) &&
            SUCCEEDED(decoder->GetFrame(0, frame.put())) && SUCCEEDED(frame->GetSize(&width, &height)) &&
            SUCCEEDED(factory->CreateFormatConverter(converter.put())) &&
            SUCCEEDED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                            nullptr, 0, WICBitmapPaletteTypeCustom))) {
            std::vector<std::uint8_t> bgra(static_cast<std::size_t>(width) * height * 4);
            if (SUCCEEDED(converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(bgra.size()), bgra.data()))) {
                image = common::RgbaImage{static_cast<int>(width), static_cast<int>(height), std::move(bgra)};
                for (std::size_t i = 0; i < image->pixels.size(); i += 4) std::swap(image->pixels[i], image->pixels[i + 2]);
            }
        }
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return image;
}

}  // namespace testsupport
