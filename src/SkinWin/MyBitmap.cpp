#include "mybitmap.h"
#include <algorithm>
#include <cstring>
#include <vector>

namespace {

const COLORREF WHITE = RGB(255, 255, 255);
const COLORREF BLACK = RGB(0, 0, 0);
// Rows read from a bitmap at a time while its region is built.
const int ROWS_PER_BAND = 64;
// Some platforms add the rectangles of a list one by one, in time that grows with the square
// of their number: lists are made in pieces of this many and the pieces joined pairwise.
const size_t RECTS_PER_PIECE = 32;

// BITMAPINFOHEADER plus room for three colour masks or a full colour table.
struct BitmapInfoBuffer {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
};

// Reads a bitmap's pixels in its own format, a band of rows at a time: the band stays small
// enough to be scanned from the cache, and no buffer of the whole image is needed.
class CDibBandReader {
public:
    explicit CDibBandReader(HBITMAP bitmap) : m_hBitmap(bitmap), m_hIC(::CreateICA("DISPLAY", nullptr, nullptr, nullptr))
    {
        m_info.header.biSize = sizeof(BITMAPINFOHEADER);
        if (!::GetDIBits(m_hIC, bitmap, 0, 0, nullptr, Info(), DIB_RGB_COLORS))
            return;
        const BITMAPINFOHEADER& h = m_info.header;
        int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
        if (h.biBitCount < 8 || h.biWidth <= 0 || height <= 0)
            return;
        m_info.header.biHeight = height;
        width = h.biWidth;
        this->height = height;
        bitsPerPixel = h.biBitCount;
        stride = ((width * bitsPerPixel + 31) / 32) * 4;
    }
    ~CDibBandReader() { ::DeleteDC(m_hIC); }
    CDibBandReader(const CDibBandReader&) = delete;
    CDibBandReader& operator=(const CDibBandReader&) = delete;

    bool IsReadable() const { return width > 0; }
    // Rows [top, top + count), top first counting, into bits (rows bottom-up, as DIBs hold them).
    bool ReadRows(int top, int count, std::vector<BYTE>* bits)
    {
        // Four spare bytes: a 24-bit pixel at the very end may be read as a 32-bit word.
        bits->resize(static_cast<size_t>(stride) * count + 4);
        int firstScan = height - (top + count);
        return ::GetDIBits(m_hIC, m_hBitmap, static_cast<UINT>(firstScan), static_cast<UINT>(count), bits->data(),
                           Info(), DIB_RGB_COLORS) == count;
    }
    const RGBQUAD* Colours() const { return m_info.colours; }

    int width = 0, height = 0, bitsPerPixel = 0, stride = 0;

private:
    BITMAPINFO* Info() { return reinterpret_cast<BITMAPINFO*>(&m_info); }
    HBITMAP m_hBitmap;
    HDC m_hIC;
    BitmapInfoBuffer m_info{};
};

DWORD KeyFor(COLORREF trans, int bitsPerPixel)
{
    DWORD red = GetRValue(trans), green = GetGValue(trans), blue = GetBValue(trans);
    if (bitsPerPixel == 16)
        return ((blue & 0xF8) >> 3) | ((green & 0xFC) << 3) | ((red & 0xF8) << 8);
    return (red << 16) | (green << 8) | blue;
}

DWORD ReadWord32(const BYTE* p)
{
    DWORD value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

template <int BitsPerPixel>
DWORD PixelValue(const RGBQUAD* colours, const BYTE* pixel)
{
    if (BitsPerPixel == 8)
        return ReadWord32(reinterpret_cast<const BYTE*>(&colours[*pixel]));
    if (BitsPerPixel == 16)
        return static_cast<DWORD>(pixel[0] | pixel[1] << 8);
    if (BitsPerPixel == 24)
        return ReadWord32(pixel) & 0xFFFFFF;
    return ReadWord32(pixel);
}

// One rectangle per horizontal run of pixels that differ from the key, top row first.
template <int BitsPerPixel>
bool AppendOpaqueRuns(CDibBandReader& reader, DWORD key, std::vector<RECT>* runs)
{
    const int width = reader.width;
    const int bytesPerPixel = BitsPerPixel / 8;
    const RGBQUAD* colours = reader.Colours();
    auto isKey = [colours, key](const BYTE* row, int x) {
        return PixelValue<BitsPerPixel>(colours, row + x * bytesPerPixel) == key;
    };
    std::vector<BYTE> band;
    for (int top = 0; top < reader.height; top += ROWS_PER_BAND) {
        int count = std::min(ROWS_PER_BAND, reader.height - top);
        if (!reader.ReadRows(top, count, &band))
            return false;
        for (int y = top; y < top + count; ++y) {
            const BYTE* row = band.data() + static_cast<size_t>(top + count - 1 - y) * reader.stride;
            int x = 0;
            while (x < width) {
                while (x < width && isKey(row, x))
                    ++x;
                if (x == width)
                    break;
                int runStart = x;
                while (x < width && !isKey(row, x))
                    ++x;
                runs->push_back(RECT{runStart, y, x, y + 1});
            }
        }
    }
    return true;
}

// False when the bitmap cannot be read or has fewer than 8 bits per pixel.
bool OpaqueRuns(HBITMAP bitmap, COLORREF trans, std::vector<RECT>* runs)
{
    CDibBandReader reader(bitmap);
    if (!reader.IsReadable())
        return false;
    runs->reserve(static_cast<size_t>(reader.height));
    DWORD key = KeyFor(trans, reader.bitsPerPixel);
    switch (reader.bitsPerPixel) {
    case 8: return AppendOpaqueRuns<8>(reader, key, runs);
    case 16: return AppendOpaqueRuns<16>(reader, key, runs);
    case 24: return AppendOpaqueRuns<24>(reader, key, runs);
    case 32: return AppendOpaqueRuns<32>(reader, key, runs);
    default: return false;
    }
}

HRGN RegionFromRectList(const RECT* rects, size_t count)
{
    std::vector<BYTE> block(sizeof(RGNDATAHEADER) + count * sizeof(RECT), 0);
    RGNDATAHEADER* header = reinterpret_cast<RGNDATAHEADER*>(block.data());
    header->dwSize = sizeof(RGNDATAHEADER);
    header->iType = RDH_RECTANGLES;
    header->nCount = static_cast<DWORD>(count);
    if (count)
        std::memcpy(block.data() + sizeof(RGNDATAHEADER), rects, count * sizeof(RECT));
    return ::ExtCreateRegion(nullptr, static_cast<DWORD>(block.size()), reinterpret_cast<RGNDATA*>(block.data()));
}

HRGN RegionFromRects(const std::vector<RECT>& rects)
{
    if (rects.size() <= RECTS_PER_PIECE)
        return RegionFromRectList(rects.data(), rects.size());
    std::vector<HRGN> pieces;
    for (size_t first = 0; first < rects.size(); first += RECTS_PER_PIECE)
        pieces.push_back(RegionFromRectList(&rects[first], std::min(RECTS_PER_PIECE, rects.size() - first)));
    while (pieces.size() > 1) {
        size_t joined = 0;
        for (size_t i = 0; i < pieces.size(); i += 2) {
            if (i + 1 < pieces.size()) {
                ::CombineRgn(pieces[i], pieces[i], pieces[i + 1], RGN_OR);
                ::DeleteObject(pieces[i + 1]);
            }
            pieces[joined++] = pieces[i];
        }
        pieces.resize(joined);
    }
    return pieces[0];
}

// A memory context compatible with dc that holds bitmap for as long as it lives.
class CBitmapSource {
public:
    CBitmapSource(CDC* dc, HBITMAP bitmap) : m_bCreated(m_dc.CreateCompatibleDC(dc)), m_select(m_dc, bitmap) {}
    const CDC* get() const { return &m_dc; }

private:
    CDC m_dc;
    BOOL m_bCreated; // initialised before m_select, which selects into the context made here
    CSelectGuard m_select;
};

} // namespace

int CMyBitmap::GetWidth() const
{
    BITMAP info{};
    if (!m_hObject)
        return 0;
    GetBitmap(&info);
    return info.bmWidth;
}

int CMyBitmap::GetHeight() const
{
    BITMAP info{};
    if (!m_hObject)
        return 0;
    GetBitmap(&info);
    return info.bmHeight;
}

BOOL CMyBitmap::Draw(CDC* dc, int x, int y, const RECT* src) const
{
    CRect part = src ? CRect(*src) : CRect(0, 0, GetWidth(), GetHeight());
    CBitmapSource source(dc, *this);
    dc->BitBlt(x, y, part.Width(), part.Height(), source.get(), part.left, part.top, SRCCOPY);
    return TRUE;
}

BOOL CMyBitmap::DrawRect(CDC* dc, const RECT* dest) const
{
    CRect target(*dest);
    CBitmapSource source(dc, *this);
    dc->BitBlt(target.left, target.top, target.Width(), target.Height(), source.get(), 0, 0, SRCCOPY);
    return TRUE;
}

BOOL CMyBitmap::StretchDraw(CDC* dc, const RECT* dest, const RECT* src) const
{
    if (!dest)
        return FALSE;
    CRect target(*dest);
    CRect part(*src);
    CBitmapSource source(dc, *this);
    ::SetStretchBltMode(*dc, COLORONCOLOR);
    dc->StretchBlt(target.left, target.top, target.Width(), target.Height(), source.get(), part.left, part.top,
                   part.Width(), part.Height(), SRCCOPY);
    return TRUE;
}

BOOL CMyBitmap::DrawWithTrans(CDC* dc, int x, int y, const RECT* src, COLORREF trans, BOOL useTrans) const
{
    if (!useTrans)
        return Draw(dc, x, y, src);
    ASSERT(src != nullptr);
    CRect part = src ? CRect(*src) : CRect(0, 0, GetWidth(), GetHeight());
    DrawTransparentBitmap(*dc, x, y, part.Width(), part.Height(), *this, part.left, part.top, trans, nullptr);
    return TRUE;
}

HRGN CMyBitmap::CreateRgnFromBitmap(COLORREF trans) const
{
    std::vector<RECT> runs;
    // Pixels that cannot be read make the whole image opaque: cutting it all away would take
    // the caption, its buttons and its drag zone with it.
    if (!OpaqueRuns(*this, trans, &runs))
        return ::CreateRectRgn(0, 0, GetWidth(), GetHeight());
    return RegionFromRects(runs);
}

void DrawTransparentBitmap(HDC dest, int x, int y, int w, int h, HBITMAP bitmap, int xSrc, int ySrc,
                           COLORREF trans, HPALETTE palette)
{
    CDC target(dest);
    CDC maskDC, imageDC, sourceDC;
    maskDC.CreateCompatibleDC(&target);
    imageDC.CreateCompatibleDC(&target);
    sourceDC.CreateCompatibleDC(&target);

    CBitmap image;
    image.CreateCompatibleBitmap(dest, w, h);
    CSelectGuard selectImage(imageDC, image);
    HPALETTE oldPalette = nullptr;
    if (palette && (target.GetDeviceCaps(RASTERCAPS) & RC_PALETTE)) {
        ::SelectPalette(dest, palette, FALSE);
        ::RealizePalette(dest);
        oldPalette = ::SelectPalette(imageDC, palette, FALSE);
    }
    CSelectGuard selectSource(sourceDC, bitmap);
    imageDC.BitBlt(0, 0, w, h, &sourceDC, xSrc, ySrc, SRCCOPY);

    CBitmap mask;
    mask.Attach(::CreateBitmap(w, h, 1, 1, nullptr));
    CSelectGuard selectMask(maskDC, mask);
    // Copying colour to monochrome gives 1 where a pixel equals the background colour.
    imageDC.SetBkColor(trans);
    maskDC.BitBlt(0, 0, w, h, &imageDC, 0, 0, SRCCOPY);

    imageDC.SetBkColor(BLACK);
    imageDC.SetTextColor(WHITE);
    imageDC.BitBlt(0, 0, w, h, &maskDC, 0, 0, SRCAND);

    target.SetBkColor(WHITE);
    target.SetTextColor(BLACK);
    target.BitBlt(x, y, w, h, &maskDC, 0, 0, SRCAND);
    target.BitBlt(x, y, w, h, &imageDC, 0, 0, SRCPAINT);
    if (oldPalette)
        ::SelectPalette(imageDC, oldPalette, FALSE);
}
