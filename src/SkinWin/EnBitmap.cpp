#include "EnBitmap.h"
#include <cstdint>
#include <cstring>
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

template <class T>
bool ReadAt(const std::vector<BYTE>& bytes, size_t offset, T* value)
{
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T))
        return false;
    std::memcpy(value, bytes.data() + offset, sizeof(T));
    return true;
}

// Whether a Windows bitmap file holds all that its headers promise: the info header, the
// palette or colour masks, and every row of pixels. The decoder would read on past the end of
// a short file and draw whatever lies there.
bool IsCompleteBmp(const std::vector<BYTE>& bytes)
{
    BITMAPFILEHEADER file;
    DWORD infoSize = 0;
    if (!ReadAt(bytes, 0, &file) || !ReadAt(bytes, sizeof file, &infoSize))
        return false;
    uint64_t width, height, bitCount, colors = 0, colorSize = 4, masks = 0, imageSize = 0;
    DWORD compression = BI_RGB;
    if (infoSize == sizeof(BITMAPCOREHEADER)) {
        BITMAPCOREHEADER core;
        if (!ReadAt(bytes, sizeof file, &core))
            return false;
        width = core.bcWidth, height = core.bcHeight, bitCount = core.bcBitCount, colorSize = 3;
    } else {
        BITMAPINFOHEADER info;
        if (infoSize < sizeof info || !ReadAt(bytes, sizeof file, &info) || info.biWidth <= 0 || info.biHeight == 0)
            return false;
        width = static_cast<uint64_t>(info.biWidth);
        height = static_cast<uint64_t>(info.biHeight < 0 ? -static_cast<int64_t>(info.biHeight) : info.biHeight);
        bitCount = info.biBitCount, colors = info.biClrUsed, compression = info.biCompression;
        imageSize = info.biSizeImage;
        if (compression == BI_BITFIELDS && infoSize == sizeof info)
            masks = 12;
    }
    if (bitCount == 0 || bitCount > 32)
        return false;
    if (colors == 0 && bitCount <= 8)
        colors = uint64_t(1) << bitCount;
    uint64_t headersEnd = sizeof file + infoSize + masks + colors * colorSize;
    uint64_t pixelBytes = (compression == BI_RGB || compression == BI_BITFIELDS)
                              ? (width * bitCount + 31) / 32 * 4 * height
                              : imageSize;
    return headersEnd <= bytes.size() && file.bfOffBits >= sizeof file + infoSize &&
           file.bfOffBits <= bytes.size() && pixelBytes <= bytes.size() - file.bfOffBits;
}

bool IsBmp(const std::vector<BYTE>& bytes)
{
    return bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M';
}

} // namespace

BOOL CEnBitmap::LoadFromFile(LPCTSTR path, COLORREF background)
{
    ASSERT(m_hObject == nullptr);
    if (m_hObject)
        return FALSE;
    std::vector<BYTE> bytes = ReadWholeFile(path);
    if (bytes.empty() || (IsBmp(bytes) && !IsCompleteBmp(bytes)))
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
