// Building a window region from a full-screen 32-bit bitmap, against a plain copy of the same
// pixels in the same run: CPU time per build and per copy, each side run until it took two
// seconds (Measure.h). Prints "<name> <value> <unit>" lines.
#include "CpuTime.h"
#include "Measure.h"
#include "SkinWin/mybitmap.h"
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const int WIDTH = 1920;
const int HEIGHT = 1080;
const DWORD KEY_PIXEL = 0x00FF00FF;
const COLORREF KEY = RGB(255, 0, 255);

// CPU milliseconds of one call of fn, timed in batches (a copy is shorter than a CPU tick)
// over as many batches as make the side's seconds.
template <class Fn> double CpuMs(Fn fn)
{
    const int batch = QuickBench() ? 1 : 10;
    return SecondsPerRun([&] {
        const double start = CpuSeconds();
        for (int i = 0; i < batch; ++i)
            fn();
        return CpuSeconds() - start;
    }) * 1000.0 / batch;
}

// A skin-like image: top corners rounded away and a few round holes.
bool RealisticKey(int x, int y)
{
    const int radius = 14;
    auto outside = [radius](int dx, int dy) { return dx * dx + dy * dy > radius * radius; };
    if (y < radius && x < radius && outside(radius - x, radius - y))
        return true;
    if (y < radius && x >= WIDTH - radius && outside(x - (WIDTH - radius - 1), radius - y))
        return true;
    for (int hole = 0; hole < 4; ++hole) {
        int cx = 300 + hole * 420, cy = 200 + hole * 170;
        int dx = x - cx, dy = y - cy;
        if (dx * dx + dy * dy < 40 * 40)
            return true;
    }
    return false;
}

bool WorstKey(int x, int y)
{
    return (x + y) % 2 == 0;
}

HBITMAP MakeBitmap(bool (*isKey)(int, int), std::vector<DWORD>* pixels)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = WIDTH;
    info.bmiHeader.biHeight = -HEIGHT;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    DWORD* p = static_cast<DWORD*>(bits);
    for (int y = 0; y < HEIGHT; ++y)
        for (int x = 0; x < WIDTH; ++x)
            p[y * WIDTH + x] = isKey(x, y) ? KEY_PIXEL : 0x00406080 + (x & 0x1F);
    pixels->assign(p, p + WIDTH * HEIGHT);
    return bitmap;
}

double CopyMs(const std::vector<DWORD>& pixels)
{
    std::vector<DWORD> target(pixels.size(), 1);
    return CpuMs([&] {
        std::memcpy(target.data(), pixels.data(), pixels.size() * sizeof(DWORD));
        if (target[target.size() / 2] == 0xFFFFFFFF)
            std::puts("");
    });
}

double RegionMs(const CMyBitmap& image)
{
    return CpuMs([&] { DeleteObject(image.CreateRgnFromBitmap(KEY)); });
}

void Measure(const char* name, bool (*isKey)(int, int))
{
    std::vector<DWORD> pixels;
    CMyBitmap image;
    image.Attach(MakeBitmap(isKey, &pixels));
    std::vector<double> copies, regions, ratios;
    for (int i = 0; i < Repeats(); ++i) {
        copies.push_back(CopyMs(pixels));
        regions.push_back(RegionMs(image));
        // A quick run may see no CPU tick at all in its one copy.
        ratios.push_back(regions.back() / std::max(copies.back(), 0.01));
    }
    const std::string prefix = name;
    PrintFigure((prefix + "_region_ms").c_str(), regions, "ms");
    PrintFigure((prefix + "_copy_ms").c_str(), copies, "ms");
    PrintFigure(prefix == "realistic" ? "region_vs_copy_ratio" : "region_worst_vs_copy_ratio", ratios, "x");
}

} // namespace

int main()
{
    Measure("realistic", RealisticKey);
    Measure("worst", WorstKey);
    return 0;
}
