#pragma once
// Reads a PNG file back through the Windows Imaging Component, to check what the tool saved.
#include <windows.h>
#include <wincodec.h>

#include <string>
#include <vector>

#include "platform/ComPtr.h"
#include "tools/common/ComErrorText.h"

namespace orvane::test {

struct PngPicture {
    UINT width = 0;
    UINT height = 0;
    WICPixelFormatGUID format{};
    std::vector<BYTE> pixels;  // packed rows, top first
};

// False when the file cannot be decoded; the calling thread must be in a COM apartment.
inline bool ReadPng(const std::string& path, int bytesPerPixel, PngPicture& picture)
{
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    const std::wstring widePath = host::Widen(path);
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory, factory.PutVoid())) ||
        FAILED(factory->CreateDecoderFromFilename(widePath.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand, decoder.Put())) ||
        FAILED(decoder->GetFrame(0, frame.Put())) || FAILED(frame->GetSize(&picture.width, &picture.height)) ||
        FAILED(frame->GetPixelFormat(&picture.format))) {
        return false;
    }
    const UINT stride = picture.width * static_cast<UINT>(bytesPerPixel);
    picture.pixels.resize(static_cast<size_t>(stride) * picture.height);
    return SUCCEEDED(frame->CopyPixels(nullptr, stride, static_cast<UINT>(picture.pixels.size()), picture.pixels.data()));
}

}  // namespace orvane::test
