#include "SkinTestSupport.h"
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

unsigned To565(COLORREF c)
{
    return ((GetRValue(c) & 0xF8) << 8) | ((GetGValue(c) & 0xFC) << 3) | ((GetBValue(c) & 0xF8) >> 3);
}

struct Info {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
};

// The header, palette or masks, and rows bottom-up, as a BMP file and a bottom-up DIB hold them.
struct Image {
    Info info{};
    std::vector<unsigned char> bits;
    unsigned extra = 0;
};

Image Encode(int bpp, int width, int height, const PixelFn& pixel)
{
    Image image;
    BITMAPINFOHEADER& h = image.info.header;
    h = {sizeof(BITMAPINFOHEADER), width, height, 1, static_cast<WORD>(bpp),
         DWORD(bpp == 16 ? BI_BITFIELDS : BI_RGB), 0, 0, 0, 0, 0};
    std::vector<COLORREF> palette;
    int stride = ((width * bpp + 31) / 32) * 4;
    image.bits.resize(static_cast<size_t>(stride) * height);
    for (int y = 0; y < height; ++y) {
        unsigned char* row = image.bits.data() + static_cast<size_t>(height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            COLORREF c = pixel(x, y);
            if (bpp == 8) {
                auto at = std::find(palette.begin(), palette.end(), c);
                row[x] = static_cast<unsigned char>(at - palette.begin());
                if (at == palette.end())
                    palette.push_back(c);
            } else if (bpp == 16) {
                row[2 * x] = To565(c) & 0xFF;
                row[2 * x + 1] = To565(c) >> 8;
            } else {
                unsigned char* p = row + x * (bpp / 8);
                p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c);
            }
        }
    }
    if (bpp == 8) {
        h.biClrUsed = 256;
        image.extra = 256 * 4;
        for (size_t i = 0; i < palette.size(); ++i)
            image.info.colours[i] = {GetBValue(palette[i]), GetGValue(palette[i]), GetRValue(palette[i]), 0};
    } else if (bpp == 16) {
        const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
        std::memcpy(image.info.colours, masks, sizeof masks);
        image.extra = sizeof masks;
    }
    return image;
}

ATOM RegisterOnce(const char* className, WNDPROC proc)
{
    WNDCLASSA wc{};
    if (GetClassInfoA(GetModuleHandleA(nullptr), className, &wc))
        return 1;
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = className;
    return RegisterClassA(&wc);
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
    Image image = Encode(bpp, width, height, pixel);
    DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + image.extra;
    BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(offset + image.bits.size()), 0, 0, offset};
    const auto* head = reinterpret_cast<const unsigned char*>(&file);
    std::vector<unsigned char> out(head, head + sizeof file);
    const auto* info = reinterpret_cast<const unsigned char*>(&image.info);
    out.insert(out.end(), info, info + sizeof(BITMAPINFOHEADER) + image.extra);
    out.insert(out.end(), image.bits.begin(), image.bits.end());
    return out;
}

HBITMAP MakeDib(int bpp, int width, int height, const PixelFn& pixel)
{
    Image image = Encode(bpp, width, height, pixel);
    void* target = nullptr;
    HBITMAP dib = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&image.info), DIB_RGB_COLORS, &target,
                                   nullptr, 0);
    if (dib)
        std::memcpy(target, image.bits.data(), image.bits.size());
    return dib;
}

CTempFolder::CTempFolder()
{
    char base[MAX_PATH], name[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    GetTempFileNameA(base, "skn", 0, name);
    DeleteFileA(name);
    CreateDirectoryA(name, nullptr);
    m_dir = name;
}

CTempFolder::~CTempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_dir, ignored);
}

std::string CTempFolder::Write(const std::string& name, const std::vector<unsigned char>& bytes) const
{
    std::string path = Path(name);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return path;
}

std::string CTempFolder::WriteText(const std::string& name, const std::string& text) const
{
    return Write(name, std::vector<unsigned char>(text.begin(), text.end()));
}

std::string RegionText(HRGN region)
{
    std::vector<unsigned char> data(GetRegionData(region, 0, nullptr));
    RGNDATA* rgn = reinterpret_cast<RGNDATA*>(data.data());
    GetRegionData(region, static_cast<DWORD>(data.size()), rgn);
    const RECT* rects = reinterpret_cast<const RECT*>(rgn->Buffer);
    std::string text;
    for (DWORD i = 0; i < rgn->rdh.nCount; ++i) {
        char one[64];
        snprintf(one, sizeof one, "(%ld,%ld,%ld,%ld)", rects[i].left, rects[i].top, rects[i].right, rects[i].bottom);
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

HWND MakeTestWindow(const char* className, WNDPROC proc, DWORD style, const RECT& rc, HWND parent, UINT id)
{
    if (proc && !RegisterOnce(className, proc))
        return nullptr;
    return CreateWindowExA(0, className, "Frame", style, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                           parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), GetModuleHandleA(nullptr),
                           nullptr);
}

COLORREF WindowPixel(HWND wnd, int x, int y, bool client)
{
    HDC dc = client ? GetDC(wnd) : GetWindowDC(wnd);
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(wnd, dc);
    return c;
}

int CountPixels(HDC dc, COLORREF colour, const RECT& area)
{
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            count += GetPixel(dc, x, y) == colour;
    return count;
}

bool InWindowRegion(HWND wnd, int x, int y)
{
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    bool inside = GetWindowRgn(wnd, region) != ERROR && PtInRegion(region, x, y);
    DeleteObject(region);
    return inside;
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
