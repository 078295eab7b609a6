// Building a window region from a full-screen 32-bit bitmap, against a plain copy of the same
// pixels in the same run. Prints "<name> <value> <unit>" lines.
#include "SkinWin/mybitmap.h"
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

namespace {

const int WIDTH = 1920;
const int HEIGHT = 1080;
const DWORD KEY_PIXEL = 0x00FF00FF;
const COLORREF KEY = RGB(255, 0, 255);
// Quick mode (CI) times each case once: the same code, a seventh of the work.
const int ROUNDS = std::getenv("KORVALIN_BENCH_QUICK") ? 1 : 7;

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Median time of fn over a few rounds, in milliseconds.
double Time(const std::function<void()>& fn)
{
    std::vector<double> times;
    for (int i = 0; i < ROUNDS; ++i) {
        double start = Now();
        fn();
        times.push_back((Now() - start) * 1000.0);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
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

double CopyTime(const std::vector<DWORD>& pixels)
{
    std::vector<DWORD> target(pixels.size(), 1);
    return Time([&] {
        std::memcpy(target.data(), pixels.data(), pixels.size() * sizeof(DWORD));
        if (target[target.size() / 2] == 0xFFFFFFFF)
            std::puts("");
    });
}

double RegionTime(const CMyBitmap& image)
{
    return Time([&] { DeleteObject(image.CreateRgnFromBitmap(KEY)); });
}

void Measure(const char* name, bool (*isKey)(int, int))
{
    std::vector<DWORD> pixels;
    CMyBitmap image;
    image.Attach(MakeBitmap(isKey, &pixels));
    double copy = CopyTime(pixels);
    double region = RegionTime(image);
    std::printf("%s_region_ms %.2f ms\n", name, region);
    std::printf("%s_copy_ms %.2f ms\n", name, copy);
    std::printf("%s %.2f x\n", std::strcmp(name, "realistic") == 0 ? "region_vs_copy_ratio" : "region_worst_vs_copy_ratio",
                region / copy);
    std::fflush(stdout);
}

} // namespace

int main()
{
    Measure("realistic", RealisticKey);
    Measure("worst", WorstKey);
    return 0;
}
