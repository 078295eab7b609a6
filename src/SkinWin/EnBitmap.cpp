#include "EnBitmap.h"
#include <vector>

namespace {

const int HIMETRIC_PER_INCH = 2540;

// The whole file, or nothing when it cannot be opened or holds no bytes.
std::vector<BYTE> ReadWholeFile(LPCTSTR path)
{
    std::vector<BYTE> bytes;
    HANDLE file = ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < INT_MAX) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        if (!::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
            read = 0;
        bytes.resize(read);
    }
    ::CloseHandle(file);
    return bytes;
}

} // namespace

BOOL CEnBitmap::LoadFromFile(LPCTSTR path, COLORREF background)
{
    ASSERT(m_hObject == nullptr);
    if (m_hObject)
        return FALSE;
    std::vector<BYTE> bytes = ReadWholeFile(path);
    if (bytes.empty())
        return FALSE;
    IPicture* picture = LoadPictureFromBuffer(bytes.data(), static_cast<int>(bytes.size()));
    if (!picture)
        return FALSE;
    BOOL result = AttachPicture(picture, background);
    picture->Release();
    return result;
}

IPicture* CEnBitmap::LoadPictureFromBuffer(const BYTE* data, int size)
{
    if (!data || size <= 0)
        return nullptr;
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(size));
    if (!block)
        return nullptr;
    void* target = ::GlobalLock(block);
    if (!target) {
        ::GlobalFree(block);
        return nullptr;
    }
    CopyMemory(target, data, static_cast<SIZE_T>(size));
    ::GlobalUnlock(block);

    IStream* stream = nullptr;
    // The stream owns the block from here on and frees it when released.
    if (::CreateStreamOnHGlobal(block, TRUE, &stream) != S_OK) {
        ::GlobalFree(block);
        return nullptr;
    }
    IPicture* picture = nullptr;
    if (::OleLoadPicture(stream, size, FALSE, IID_IPicture, reinterpret_cast<void**>(&picture)) != S_OK)
        picture = nullptr;
    stream->Release();
    return picture;
}

BOOL CEnBitmap::AttachPicture(IPicture* picture, COLORREF background)
{
    ASSERT(m_hObject == nullptr);
    ASSERT(picture != nullptr);
    if (m_hObject || !picture)
        return FALSE;

    CClientDC desktop(::GetDesktopWindow());
    CDC memory;
    if (!memory.CreateCompatibleDC(&desktop))
        return FALSE;

    OLE_XSIZE_HIMETRIC himetricWidth = 0;
    OLE_YSIZE_HIMETRIC himetricHeight = 0;
    picture->get_Width(&himetricWidth);
    picture->get_Height(&himetricHeight);
    int width = ::MulDiv(himetricWidth, desktop.GetDeviceCaps(LOGPIXELSX), HIMETRIC_PER_INCH);
    int height = ::MulDiv(himetricHeight, desktop.GetDeviceCaps(LOGPIXELSY), HIMETRIC_PER_INCH);

    CBitmap rendered;
    if (!rendered.CreateCompatibleBitmap(desktop, width, height))
        return FALSE;
    HRESULT drawn;
    {
        CSelectGuard select(memory, rendered);
        if (background != ENBITMAP_NO_BACKGROUND)
            memory.FillSolidRect(CRect(0, 0, width, height), background);
        // The source starts at the bottom with a negative height: the picture comes out upright.
        drawn = picture->Render(memory, 0, 0, width, height, 0, himetricHeight, himetricWidth,
                                -himetricHeight, nullptr);
    }
    if (drawn != S_OK)
        return FALSE;
    m_hObject = rendered.Detach();
    return TRUE;
}
