#include "tools/capture/PngWriter.h"

#include <wincodec.h>

#include "platform/ComPtr.h"
#include "tools/common/ComErrorText.h"

namespace orvane::capture {

namespace {

// Encodes `image` into a new file at `path`; on failure `step` says what failed and `created`
// whether the file had been made.
HRESULT Encode(const std::wstring& path, const ViewableImage& image, const char*& step, bool& created)
{
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    HRESULT result = S_OK;
    step = "creating the imaging factory";
    if (FAILED(result = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                         factory.PutVoid()))) {
        return result;
    }
    step = "creating the file";
    if (FAILED(result = factory->CreateStream(stream.Put())) ||
        FAILED(result = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE))) {
        return result;
    }
    created = true;
    step = "starting the PNG encoder";
    if (FAILED(result = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Put())) ||
        FAILED(result = encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
        FAILED(result = encoder->CreateNewFrame(frame.Put(), nullptr)) || FAILED(result = frame->Initialize(nullptr))) {
        return result;
    }
    // The encoder answers with the nearest format it supports; anything but ours would misread
    // the rows.
    step = "setting the size and pixel format";
    const WICPixelFormatGUID wanted = image.channels == 1 ? GUID_WICPixelFormat8bppGray : GUID_WICPixelFormat24bppBGR;
    WICPixelFormatGUID format = wanted;
    if (FAILED(result = frame->SetSize(static_cast<UINT>(image.width), static_cast<UINT>(image.height))) ||
        FAILED(result = frame->SetPixelFormat(&format))) {
        return result;
    }
    if (!IsEqualGUID(format, wanted)) {
        return WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
    }
    step = "writing the pixels";
    if (FAILED(result = frame->WritePixels(static_cast<UINT>(image.height), static_cast<UINT>(image.RowBytes()),
                                           static_cast<UINT>(image.pixels.size()), const_cast<BYTE*>(image.pixels.data()))) ||
        FAILED(result = frame->Commit()) || FAILED(result = encoder->Commit())) {
        return result;
    }
    return S_OK;
}

}  // namespace

bool WritePng(const std::string& path, const ViewableImage& image, std::string& error)
{
    if (image.width <= 0 || image.height <= 0 || (image.channels != 1 && image.channels != 3) ||
        image.pixels.size() != image.RowBytes() * static_cast<size_t>(image.height)) {
        error = "no picture to save as " + path;
        return false;
    }
    const std::wstring widePath = host::Widen(path);
    const char* step = "";
    bool created = false;
    const HRESULT result = Encode(widePath, image, step, created);
    if (FAILED(result)) {
        // The stream is closed by now; a half-written file would only mislead.
        if (created) {
            DeleteFileW(widePath.c_str());
        }
        error = "cannot save " + path + " (" + step + "): " + host::DescribeFailure(result);
        return false;
    }
    return true;
}

}  // namespace orvane::capture
