// The waveform view: its background, bands, labels, centre line, name and border, and the
// trace of each block, read back from the screen.
#include "EngineFixture.h"

namespace {

const COLORREF kGreen = RGB(0, 255, 0);
const COLORREF kBrown = RGB(128, 64, 0);
const COLORREF kYellow = RGB(255, 255, 0);
const COLORREF kCyan = RGB(128, 255, 255);

std::vector<BYTE> Samples(std::initializer_list<SHORT> frame, size_t bytes)
{
    std::vector<BYTE> block;
    while (block.size() < bytes) {
        for (SHORT s : frame) {
            block.push_back(static_cast<BYTE>(s));
            block.push_back(static_cast<BYTE>(s >> 8));
        }
    }
    return block;
}

std::string Hex(COLORREF color)
{
    char text[16];
    snprintf(text, sizeof text, "#%06lx", static_cast<unsigned long>(color));
    return text;
}

} // namespace

class ViewTest : public EngineTest {
protected:
    void SetUp() override
    {
        Init();
        engine.UpdateWindow();
        Drain();
    }
    std::string Pixel(int x, int y)
    {
        CClientDC dc(engine);
        return Hex(dc.GetPixel(x, y));
    }
    int CountColor(const CRect& rc, COLORREF color)
    {
        CClientDC dc(engine);
        int count = 0;
        for (int y = rc.top; y < rc.bottom; ++y) {
            for (int x = rc.left; x < rc.right; ++x)
                count += dc.GetPixel(x, y) == color;
        }
        return count;
    }
    int CountRow(int y, COLORREF color) { return CountColor(CRect(1, y, kViewWidth - 1, y + 1), color); }
    void ReturnBlock(const std::vector<BYTE>& block)
    {
        ASSERT_TRUE(fake.ReturnInput(block));
        Drain();
    }
};

TEST_F(ViewTest, BackgroundHasBandsLabelsCentreLineNameAndBorder)
{
    // 200 pixels high: left band 0..98, right band 101..199, centre line at 100.
    EXPECT_EQ(Pixel(200, 50), Hex(0));
    EXPECT_EQ(Pixel(200, 150), Hex(0));
    EXPECT_EQ(Pixel(200, 100), Hex(kBrown));
    for (POINT pt : {POINT{0, 0}, POINT{399, 0}, POINT{0, 199}, POINT{399, 199}, POINT{200, 0}, POINT{0, 60},
                     POINT{399, 160}, POINT{200, 199}})
        EXPECT_EQ(Pixel(pt.x, pt.y), Hex(kBrown)) << pt.x << "," << pt.y;
    EXPECT_GT(CountColor(CRect(2, 2, 80, 40), kYellow), 10);
    EXPECT_GT(CountColor(CRect(2, 103, 80, 140), kYellow), 10);
    EXPECT_EQ(CountColor(CRect(100, 2, 398, 98), kYellow), 0);
    EXPECT_GT(CountColor(CRect(250, 170, 396, 196), kCyan), 10);
    EXPECT_EQ(CountColor(CRect(4, 4, 200, 96), kCyan), 0);
}

TEST_F(ViewTest, PositiveSamplesLieBelowTheBandCentre)
{
    Record(CHANNEL_STEREO);
    // Left 32767 and -16384, right 16384: y = centre + s * h / 65535, h = 99.
    ReturnBlock(Samples({32767, 16384}, 4096));
    EXPECT_EQ(CountRow(49 + 49, kGreen), kViewWidth - 2);
    EXPECT_EQ(CountRow(150 + 24, kGreen), kViewWidth - 2);
    EXPECT_EQ(CountRow(49, kGreen), 0);
    EXPECT_EQ(CountRow(150, kGreen), 0);

    ReturnBlock(Samples({-32768, -16384}, 4096));
    EXPECT_EQ(CountRow(0, kGreen), kViewWidth - 2);
    EXPECT_EQ(CountRow(150 - 24, kGreen), kViewWidth - 2);
    EXPECT_EQ(CountRow(98, kGreen), 0);
}

TEST_F(ViewTest, MonoDrawsTheSameTraceInBothBands)
{
    Record(CHANNEL_MONO);
    ReturnBlock(Samples({16384}, 4096));
    EXPECT_EQ(CountRow(49 + 24, kGreen), kViewWidth - 2);
    EXPECT_EQ(CountRow(150 + 24, kGreen), kViewWidth - 2);
}

TEST_F(ViewTest, ABlockWithNoSamplesDrawsNothing)
{
    Record(CHANNEL_MONO);
    ReturnBlock(Samples({16384}, 4096));
    ReturnBlock({});
    ReturnBlock({0x01});
    EXPECT_EQ(CountRow(49 + 24, kGreen), kViewWidth - 2);
}

TEST_F(ViewTest, AnAloneChannelWithoutAnOutputKeepsAnEmptyBand)
{
    Record(CHANNEL_ALONE);
    ASSERT_TRUE(engine.OpenOutputFile(0, "test_left.wav"));
    ReturnBlock(Samples({16384, 16384}, 4096));
    EXPECT_EQ(CountRow(49 + 24, kGreen), kViewWidth - 2);
    EXPECT_EQ(CountColor(CRect(1, 101, kViewWidth - 1, 199), kGreen), 0);
}

TEST_F(ViewTest, StopErasesTheTraceAndANewColourRepaintsTheBands)
{
    Record(CHANNEL_MONO);
    ReturnBlock(Samples({16384}, 4096));
    engine.Stop();
    Drain();
    EXPECT_EQ(CountColor(CRect(1, 1, kViewWidth - 1, kViewHeight - 1), kGreen), 0);

    engine.SetBkColor(RGB(0, 0, 128));
    Drain();
    EXPECT_EQ(Pixel(200, 50), Hex(RGB(0, 0, 128)));
    EXPECT_EQ(Pixel(200, 150), Hex(RGB(0, 0, 128)));
    EXPECT_EQ(Pixel(200, 100), Hex(kBrown));
}
