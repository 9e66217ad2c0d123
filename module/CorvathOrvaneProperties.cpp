// The property interfaces the object implements itself: image geometry, configuration file,
// buffer usage and the one extra button (the automatic white balance), each forwarded to the card.
#include "module/CorvathOrvane.h"

#include "card/OrvaneCard.h"
#include "platform/UniqueBstr.h"

namespace {

// Out values of the plain queries: S_OK whenever they answer.
template <typename Value, typename Read>
HRESULT Answer(Value* out, Read&& read)
{
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = static_cast<Value>(read());
    return S_OK;
}

}  // namespace

STDMETHODIMP CCorvathOrvane::GetImageFormat(LONG* width, LONG* height, LONG* third, LONG* fourth)
{
    if (width == nullptr || height == nullptr || third == nullptr || fourth == nullptr) {
        return E_POINTER;
    }
    return WithCard([&](COrvaneCard& card) {
        long values[4] = {};
        card.GetImageFormat(&values[0], &values[1], &values[2], &values[3]);
        *width = values[0];
        *height = values[1];
        *third = values[2];
        *fourth = values[3];
        return S_OK;
    });
}

STDMETHODIMP CCorvathOrvane::SetROI(LONG width, LONG height, LONG xOffset, LONG yOffset)
{
    // The host reads the size actually in force back with GetImageFormat.
    return WithCard([&](COrvaneCard& card) {
        card.SetROI(width, height, xOffset, yOffset);
        return S_OK;
    });
}

STDMETHODIMP CCorvathOrvane::GetImageSize(LONG* bytes)
{
    return WithCard([&](COrvaneCard& card) { return Answer(bytes, [&] { return card.GetImageSize(); }); });
}

STDMETHODIMP CCorvathOrvane::GetBitsPerPixel(LONG* bits)
{
    return WithCard([&](COrvaneCard& card) { return Answer(bits, [&] { return card.GetBitsPerPixel(); }); });
}

STDMETHODIMP CCorvathOrvane::GetSignificantBits(LONG* bits)
{
    return WithCard([&](COrvaneCard& card) { return Answer(bits, [&] { return card.GetSignificantBits(); }); });
}

STDMETHODIMP CCorvathOrvane::GetImageFormatCode(LONG* code)
{
    return WithCard([&](COrvaneCard& card) { return Answer(code, [&] { return card.GetImageFormatCode(); }); });
}

STDMETHODIMP CCorvathOrvane::GetConfigurationFile(BSTR* path)
{
    if (path == nullptr) {
        return E_POINTER;
    }
    return WithCard([&](COrvaneCard& card) {
        // Empty until a file was applied: an empty string then, never a null one.
        orvane::UniqueBstr text = orvane::UniqueBstr::FromAnsi(card.GetConfigurationFilePath());
        if (text.Get() == nullptr) {
            return E_OUTOFMEMORY;
        }
        *path = text.Detach();
        return S_OK;
    });
}

STDMETHODIMP CCorvathOrvane::BrowseConfigurationFile()
{
    return WithCard([](COrvaneCard& card) {
        card.BrowseConfigurationFile();
        return S_OK;
    });
}

STDMETHODIMP CCorvathOrvane::GetReadyCount(LONG* count)
{
    return WithCard([&](COrvaneCard& card) { return Answer(count, [&] { return card.ReadyCount(); }); });
}

STDMETHODIMP CCorvathOrvane::GetMaxReadyCount(LONG* count)
{
    return WithCard([&](COrvaneCard& card) { return Answer(count, [&] { return card.MaxReadyCount(); }); });
}

STDMETHODIMP CCorvathOrvane::GetTotalBufferCount(LONG* count)
{
    return WithCard([&](COrvaneCard& card) { return Answer(count, [&] { return card.TotalBufferCount(); }); });
}

STDMETHODIMP CCorvathOrvane::GetButtonCount(SHORT* count)
{
    if (count == nullptr) {
        return E_POINTER;
    }
    // One button: the automatic white balance.
    return WithCard([&](COrvaneCard&) {
        *count = 1;
        return S_OK;
    });
}

STDMETHODIMP CCorvathOrvane::GetButtonName(SHORT /*index*/, BSTR* name)
{
    if (name == nullptr) {
        return E_POINTER;
    }
    return WithCard([&](COrvaneCard&) {
        orvane::UniqueBstr text = orvane::UniqueBstr::FromAnsi("Auto White Balance");
        if (text.Get() == nullptr) {
            return E_OUTOFMEMORY;
        }
        *name = text.Detach();
        return S_OK;
    });
}

STDMETHODIMP CCorvathOrvane::ButtonClicked(SHORT /*index*/)
{
    // The white balance tells its failures in the debug output only; the click itself succeeds.
    return WithCard([](COrvaneCard& card) {
        card.AutoWhiteBalance();
        return S_OK;
    });
}
