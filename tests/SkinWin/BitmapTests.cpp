// Image loading through the picture decoder, the drawing operations, and regions from bitmaps.
#include "SkinTestSupport.h"
#include "SkinWin/mybitmap.h"
#include "support/Sinks.h"
#include <gtest/gtest.h>

namespace {

const COLORREF KEY = RGB(255, 0, 255);
const COLORREF RED = RGB(200, 16, 24);
const COLORREF GREEN = RGB(0, 160, 0);

// A key pixel in the top-left corner, then colours that differ from their neighbours.
COLORREF Checker(int x, int y)
{
    return x + y == 0 ? KEY : (x + y) % 3 == 0 ? RED : (x + y) % 3 == 1 ? RGB(16, 40, 240) : RGB(x * 20, y * 30, 90);
}

// 6 x 4: column x has colour (x * 40, y * 60, 100), key pixels on the diagonal.
COLORREF Source(int x, int y)
{
    return x == y ? KEY : RGB(x * 40, y * 60, 100);
}

void ExpectPixels(const CSurface& surface, int x0, int y0, int w, int h, const PixelFn& expected, const char* what)
{
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(Hex(expected(x, y)), Hex(surface.Pixel(x0 + x, y0 + y))) << what << " at " << x << "," << y;
}

} // namespace

class LoadBitmapFile : public ::testing::TestWithParam<int> {};

TEST_P(LoadBitmapFile, ReplacesTheImageWithTheFilesPixelsAndIsCutAlongItsKey)
{
    int bpp = GetParam();
    CTempFolder folder;
    std::string small = folder.Write("small.bmp", MakeBmp(24, 3, 2, Checker));
    std::string path = folder.Write("image.bmp", MakeBmp(bpp, 7, 5, Checker));
    CMyBitmap image;
    ASSERT_TRUE(image.LoadBitmapFile(small.c_str()));
    ASSERT_TRUE(image.LoadBitmapFile(path.c_str()));
    EXPECT_EQ(7, image.GetWidth());
    EXPECT_EQ(5, image.GetHeight());
    CSurface surface(7, 5, GREEN);
    image.Draw(&surface.dc, 0, 0, nullptr);
    ExpectPixels(surface, 0, 0, 7, 5, [bpp](int x, int y) { return bpp == 16 ? Through565(Checker(x, y)) : Checker(x, y); },
                 "loaded");
    HRGN region = image.CreateRgnFromBitmap(KEY);
    EXPECT_EQ("(1,0,7,1)(0,1,7,5)", RegionText(region));
    DeleteObject(region);
}

INSTANTIATE_TEST_SUITE_P(Depths, LoadBitmapFile, ::testing::Values(8, 16, 24, 32));

TEST(LoadBitmapFileFailures, EmptyFileNonImageAndMissingFileLeaveTheObjectEmpty)
{
    CTempFolder folder;
    for (const std::string& path : {folder.Write("empty.bmp", {}), folder.WriteText("text.bmp", "[Personality]\n"),
                                    folder.Path("missing.bmp")}) {
        CMyBitmap image;
        EXPECT_FALSE(image.LoadBitmapFile(path.c_str())) << path;
        EXPECT_EQ(nullptr, image.GetSafeHandle()) << path;
        EXPECT_EQ(0, image.GetWidth() + image.GetHeight()) << path;
    }
}

TEST(LoadFromFile, IntoAnObjectThatHoldsABitmapFailsAndKeepsIt)
{
    CTempFolder folder;
    std::string small = folder.Write("small.bmp", MakeBmp(24, 3, 2, Checker));
    std::string large = folder.Write("large.bmp", MakeBmp(24, 9, 9, Checker));
    CEnBitmap image;
    ASSERT_TRUE(image.LoadFromFile(small.c_str(), ENBITMAP_NO_BACKGROUND));
    HGDIOBJ held = image.GetSafeHandle();
    CapturedMessageBoxes asserts;
    EXPECT_FALSE(image.LoadFromFile(large.c_str(), ENBITMAP_NO_BACKGROUND));
    EXPECT_EQ(held, image.GetSafeHandle());
    BITMAP info{};
    image.GetBitmap(&info);
    EXPECT_EQ(3, info.bmWidth);
}

class DrawingTest : public ::testing::Test {
protected:
    void SetUp() override { image.Attach(MakeDib(32, 6, 4, Source)); }
    CMyBitmap image;
    CSurface surface{20, 20, GREEN};
};

TEST_F(DrawingTest, DrawOfTheWholeBitmapOrAPart)
{
    EXPECT_TRUE(image.Draw(&surface.dc, 2, 3, nullptr));
    ExpectPixels(surface, 2, 3, 6, 4, Source, "whole");
    EXPECT_EQ(Hex(GREEN), Hex(surface.Pixel(8, 3)));
    EXPECT_EQ(Hex(GREEN), Hex(surface.Pixel(2, 7)));
    CRect part(2, 1, 5, 3);
    image.Draw(&surface.dc, 10, 10, &part);
    ExpectPixels(surface, 10, 10, 3, 2, [](int x, int y) { return Source(x + 2, y + 1); }, "part");
    EXPECT_EQ(Hex(GREEN), Hex(surface.Pixel(13, 10)));
}

TEST_F(DrawingTest, DrawRectNeverScalesAndStartsAtTheOrigin)
{
    CRect dest(5, 6, 8, 8);
    EXPECT_TRUE(image.DrawRect(&surface.dc, &dest));
    ExpectPixels(surface, 5, 6, 3, 2, Source, "drawrect");
    EXPECT_EQ(Hex(GREEN), Hex(surface.Pixel(8, 6)));
    EXPECT_EQ(Hex(GREEN), Hex(surface.Pixel(5, 8)));
}

TEST_F(DrawingTest, StretchDrawScalesAndRefusesANullDestination)
{
    CRect src(0, 0, 6, 4), dest(0, 0, 12, 8);
    EXPECT_FALSE(image.StretchDraw(&surface.dc, nullptr, &src));
    EXPECT_EQ(Hex(GREEN), Hex(surface.Pixel(0, 0)));
    EXPECT_TRUE(image.StretchDraw(&surface.dc, &dest, &src));
    ExpectPixels(surface, 0, 0, 12, 8, [](int x, int y) { return Source(x / 2, y / 2); }, "stretched");
    EXPECT_EQ(COLORONCOLOR, GetStretchBltMode(surface.dc));
}

TEST_F(DrawingTest, DrawTransparentBitmapKeepsTheDestinationUnderKeyPixels)
{
    SetBkColor(surface.dc, RGB(1, 2, 3));
    SetTextColor(surface.dc, RGB(4, 5, 6));
    DrawTransparentBitmap(surface.dc, 1, 1, 5, 4, image, 1, 0, KEY, nullptr);
    ExpectPixels(surface, 0, 0, 7, 6, [](int x, int y) {
        return x < 1 || x > 5 || y < 1 || y > 4 || Source(x, y - 1) == KEY ? GREEN : Source(x, y - 1);
    }, "transparent");
    EXPECT_EQ(Hex(RGB(255, 255, 255)), Hex(GetBkColor(surface.dc)));
    EXPECT_EQ(Hex(RGB(0, 0, 0)), Hex(GetTextColor(surface.dc)));
}

// Regions: one rectangle per run per row, at every depth.
class RegionFromBitmap : public ::testing::TestWithParam<int> {};

TEST_P(RegionFromBitmap, OneRectanglePerRunPerRow)
{
    int bpp = GetParam();
    const struct { const char* name; std::vector<const char*> rows; std::vector<RECT> runs; } cases[] = {
        {"no key", {"###", "###"}, {{0, 0, 3, 1}, {0, 1, 3, 2}}},
        {"all key", {"...", "..."}, {}},
        {"run to the right edge", {"..###"}, {{2, 0, 5, 1}}},
        {"one-pixel runs", {"#.#.#"}, {{0, 0, 1, 1}, {2, 0, 3, 1}, {4, 0, 5, 1}}},
        {"two runs, rows differ", {"##..##", "......", ".####."}, {{0, 0, 2, 1}, {4, 0, 6, 1}, {1, 2, 5, 3}}},
        {"width not a multiple of four", {"#######", "......#"}, {{0, 0, 7, 1}, {6, 1, 7, 2}}},
    };
    for (const auto& c : cases) {
        CMyBitmap image;
        image.Attach(MakeDib(bpp, static_cast<int>(strlen(c.rows[0])), static_cast<int>(c.rows.size()),
                             [&c](int x, int y) { return c.rows[y][x] == '#' ? RGB(10 + x, 20 * y, 30) : KEY; }));
        HRGN region = image.CreateRgnFromBitmap(KEY);
        ASSERT_NE(nullptr, region) << c.name;
        HRGN expected = CreateRectRgn(0, 0, 0, 0);
        for (const RECT& r : c.runs) {
            HRGN one = CreateRectRgnIndirect(&r);
            CombineRgn(expected, expected, one, RGN_OR);
            DeleteObject(one);
        }
        EXPECT_EQ(RegionText(expected), RegionText(region)) << c.name << " at " << bpp << " bits";
        DeleteObject(expected);
        DeleteObject(region);
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, RegionFromBitmap, ::testing::Values(8, 16, 24, 32));

TEST(RegionFromBitmapEdges, KeyMatchesInItsFiveSixFiveFormAndShallowOrNoBitmapGivesNothing)
{
    // Both colours store 0xF81F; pure red does not.
    CMyBitmap wide, mono, empty;
    wide.Attach(MakeDib(16, 3, 1, [](int x, int) { return x == 0 ? KEY : x == 1 ? RGB(250, 2, 252) : RGB(255, 0, 0); }));
    mono.Attach(CreateBitmap(16, 4, 1, 1, nullptr));
    const std::pair<CMyBitmap*, const char*> cases[] = {{&wide, "(2,0,3,1)"}, {&mono, ""}, {&empty, ""}};
    for (const auto& c : cases) {
        HRGN region = c.first->CreateRgnFromBitmap(KEY);
        ASSERT_NE(nullptr, region);
        EXPECT_EQ(c.second, RegionText(region));
        DeleteObject(region);
    }
}
