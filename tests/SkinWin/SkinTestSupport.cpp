#include "SkinTestSupport.h"
#include <cstdio>
#include <cstring>
#include <map>

namespace {

void Put16(std::vector<unsigned char>& out, unsigned v)
{
    out.push_back(v & 0xFF);
    out.push_back((v >> 8) & 0xFF);
}

void Put32(std::vector<unsigned char>& out, unsigned v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

unsigned To565(COLORREF c)
{
    return ((GetRValue(c) & 0xF8) << 8) | ((GetGValue(c) & 0xFC) << 3) | ((GetBValue(c) & 0xF8) >> 3);
}

struct Layout {
    std::vector<RGBQUAD> palette;
    std::map<COLORREF, int> index;
};

Layout PaletteFor(int width, int height, const PixelFn& pixel)
{
    Layout layout;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            COLORREF c = pixel(x, y);
            if (layout.index.count(c))
                continue;
            layout.index[c] = static_cast<int>(layout.palette.size());
            layout.palette.push_back(RGBQUAD{GetBValue(c), GetGValue(c), GetRValue(c), 0});
        }
    }
    layout.palette.resize(256);
    return layout;
}

int Stride(int bitsPerPixel, int width)
{
    return ((width * bitsPerPixel + 31) / 32) * 4;
}

// Rows bottom-up, as a BMP file and a bottom-up DIB hold them.
std::vector<unsigned char> PixelRows(int bpp, int width, int height, const PixelFn& pixel, const Layout& layout)
{
    int stride = Stride(bpp, width);
    std::vector<unsigned char> bits(static_cast<size_t>(stride) * height, 0);
    for (int y = 0; y < height; ++y) {
        unsigned char* row = bits.data() + static_cast<size_t>(height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            COLORREF c = pixel(x, y);
            switch (bpp) {
            case 8: row[x] = static_cast<unsigned char>(layout.index.at(c)); break;
            case 16: {
                unsigned v = To565(c);
                row[2 * x] = v & 0xFF;
                row[2 * x + 1] = v >> 8;
                break;
            }
            default: {
                unsigned char* p = row + x * (bpp / 8);
                p[0] = GetBValue(c);
                p[1] = GetGValue(c);
                p[2] = GetRValue(c);
            }
            }
        }
    }
    return bits;
}

struct Info {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
};

Info InfoFor(int bpp, int width, int height, const Layout& layout)
{
    Info info{};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = width;
    info.header.biHeight = height;
    info.header.biPlanes = 1;
    info.header.biBitCount = static_cast<WORD>(bpp);
    info.header.biCompression = bpp == 16 ? BI_BITFIELDS : BI_RGB;
    if (bpp == 8) {
        info.header.biClrUsed = 256;
        std::memcpy(info.colours, layout.palette.data(), 256 * sizeof(RGBQUAD));
    } else if (bpp == 16) {
        DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
        std::memcpy(info.colours, masks, sizeof masks);
    }
    return info;
}

} // namespace

COLORREF Through565(COLORREF c)
{
    unsigned v = To565(c);
    unsigned r = (v >> 11) & 0x1F, g = (v >> 5) & 0x3F, b = v & 0x1F;
    return RGB((r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2));
}

std::vector<unsigned char> MakeBmp(int bpp, int width, int height, const PixelFn& pixel)
{
    Layout layout = bpp == 8 ? PaletteFor(width, height, pixel) : Layout{};
    std::vector<unsigned char> bits = PixelRows(bpp, width, height, pixel, layout);
    unsigned extra = bpp == 8 ? 256 * 4 : bpp == 16 ? 12 : 0;
    unsigned offset = 14 + 40 + extra;
    std::vector<unsigned char> out;
    out.push_back('B');
    out.push_back('M');
    Put32(out, offset + static_cast<unsigned>(bits.size()));
    Put32(out, 0);
    Put32(out, offset);
    Info info = InfoFor(bpp, width, height, layout);
    const unsigned char* header = reinterpret_cast<const unsigned char*>(&info);
    out.insert(out.end(), header, header + 40 + extra);
    out.insert(out.end(), bits.begin(), bits.end());
    return out;
}

HBITMAP MakeDib(int bpp, int width, int height, const PixelFn& pixel)
{
    Layout layout = bpp == 8 ? PaletteFor(width, height, pixel) : Layout{};
    std::vector<unsigned char> bits = PixelRows(bpp, width, height, pixel, layout);
    Info info = InfoFor(bpp, width, height, layout);
    void* target = nullptr;
    HBITMAP dib = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &target, nullptr, 0);
    if (dib)
        std::memcpy(target, bits.data(), bits.size());
    return dib;
}

CTempFolder::CTempFolder()
{
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    char name[MAX_PATH];
    GetTempFileNameA(base, "skn", 0, name);
    DeleteFileA(name);
    CreateDirectoryA(name, nullptr);
    m_dir = name;
}

CTempFolder::~CTempFolder()
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((m_dir + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileA((m_dir + "\\" + found.cFileName).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(m_dir.c_str());
}

std::string CTempFolder::Write(const std::string& name, const std::vector<unsigned char>& bytes) const
{
    std::string path = Path(name);
    FILE* file = fopen(path.c_str(), "wb");
    if (file) {
        if (!bytes.empty())
            fwrite(bytes.data(), 1, bytes.size(), file);
        fclose(file);
    }
    return path;
}

std::string CTempFolder::WriteText(const std::string& name, const std::string& text) const
{
    return Write(name, std::vector<unsigned char>(text.begin(), text.end()));
}

std::vector<RECT> RegionRects(HRGN region)
{
    DWORD size = GetRegionData(region, 0, nullptr);
    std::vector<unsigned char> data(size);
    RGNDATA* rgn = reinterpret_cast<RGNDATA*>(data.data());
    GetRegionData(region, size, rgn);
    const RECT* rects = reinterpret_cast<const RECT*>(rgn->Buffer);
    return std::vector<RECT>(rects, rects + rgn->rdh.nCount);
}

std::string RectsText(const std::vector<RECT>& rects)
{
    std::string text;
    for (const RECT& r : rects) {
        char one[64];
        snprintf(one, sizeof one, "(%ld,%ld,%ld,%ld)", r.left, r.top, r.right, r.bottom);
        text += one;
    }
    return text;
}

std::string Hex(COLORREF c)
{
    char text[16];
    snprintf(text, sizeof text, "0x%06lX", static_cast<unsigned long>(c));
    return text;
}

CSurface::CSurface(int width, int height, COLORREF fill)
{
    m_bitmap = MakeDib(32, width, height, [fill](int, int) { return fill; });
    dc.CreateCompatibleDC(nullptr);
    m_old = dc.SelectObject(m_bitmap);
}

CSurface::~CSurface()
{
    dc.SelectObject(m_old);
    DeleteObject(m_bitmap);
}
