// The view keeps its background apart from the blocks: what changes in it must reach the next
// block as it reaches a repaint.
#include "WaveView.h"
#include <gtest/gtest.h>
#include <functional>
#include <vector>

namespace {

std::vector<COLORREF> Pixels(HDC hDC, const CRect& rc)
{
    std::vector<COLORREF> pixels;
    for (int y = rc.top; y < rc.bottom; ++y)
        for (int x = rc.left; x < rc.right; ++x)
            pixels.push_back(::GetPixel(hDC, x, y));
    return pixels;
}

TEST(WaveView, ABlockShowsTheDeviceNameAndColourOfNow)
{
    const struct {
        const char* what;
        std::function<void(CWaveView&)> change;
    } changes[] = {
        {"device name", [](CWaveView& view) { view.SetDeviceName("Line In (USB Audio Device)"); }},
        {"colour", [](CWaveView& view) { view.SetBkColor(RGB(0, 0, 128)); }},
    };
    // Samples at the bottom of the scale draw along each band's top edge, clear of the name.
    const std::vector<SHORT> block(512, -32768);
    const BYTE* pSamples = reinterpret_cast<const BYTE*>(block.data());
    for (const auto& c : changes) {
        SCOPED_TRACE(c.what);
        HWND hWnd = ::CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 320, 120, nullptr, nullptr,
                                      nullptr, nullptr);
        ASSERT_NE(nullptr, hWnd);
        CWaveView view;
        view.Create(hWnd, TRUE);
        view.SetDeviceName("Microphone (Webcam)");
        CClientDC dc(hWnd);
        view.DrawBlock(&dc, pSamples, pSamples, 512, 16, TRUE, TRUE);
        c.change(view);
        view.DrawBlock(&dc, pSamples, pSamples, 512, 16, TRUE, TRUE);
        const CRect rcName = view.GetDeviceNameRect();
        const std::vector<COLORREF> shown = Pixels(dc, rcName);
        view.DrawBackground(&dc);
        EXPECT_TRUE(shown == Pixels(dc, rcName));
        ::DestroyWindow(hWnd);
    }
}

} // namespace
