// The property interfaces the object implements itself: image geometry, configuration file,
// buffer usage and the extra button. Each arrives with the card operation behind it; until then
// it answers E_NOTIMPL.
#include "module/CorvathOrvane.h"

STDMETHODIMP CCorvathOrvane::GetImageFormat(LONG*, LONG*, LONG*, LONG*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CCorvathOrvane::SetROI(LONG, LONG, LONG, LONG)
{
    return E_NOTIMPL;
}

STDMETHODIMP CCorvathOrvane::GetImageSize(LONG*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CCorvathOrvane::GetBitsPerPixel(LONG*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CCorvathOrvane::GetSignificantBits(LONG*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CCorvathOrvane::GetImageFormatCode(LONG*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CCorvathOrvane::GetConfigurationFile(BSTR*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CCorvathOrvane::BrowseConfigurationFile()
{
    return E_NOTIMPL;
}

STDMETHODIMP CCorvathOrvane::GetReadyCount(LONG*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CCorvathOrvane::GetMaxReadyCount(LONG*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CCorvathOrvane::GetTotalBufferCount(LONG*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CCorvathOrvane::GetButtonCount(SHORT*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CCorvathOrvane::GetButtonName(SHORT, BSTR*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CCorvathOrvane::ButtonClicked(SHORT)
{
    return E_NOTIMPL;
}
