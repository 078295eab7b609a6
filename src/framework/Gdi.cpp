#include "Gdi.h"

CGdiObject& CGdiObject::operator=(CGdiObject&& other) noexcept
{
    if (this != &other) {
        DeleteObject();
        m_hObject = other.Detach();
    }
    return *this;
}

BOOL CGdiObject::Attach(HGDIOBJ owned)
{
    DeleteObject();
    m_hObject = owned;
    return owned != nullptr;
}

BOOL CGdiObject::DeleteObject()
{
    if (!m_hObject)
        return FALSE;
    return ::DeleteObject(Detach());
}

BOOL CFont::CreatePointFont(int pointSize10, const char* faceName)
{
    HDC screen = ::GetDC(nullptr);
    LOGFONTA font{};
    font.lfHeight = -MulDiv(pointSize10, ::GetDeviceCaps(screen, LOGPIXELSY), 720);
    ::ReleaseDC(nullptr, screen);
    font.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(font.lfFaceName, faceName, LF_FACESIZE);
    return CreateFontIndirect(&font);
}
