// The skin file: every key and default of the frame's description, caption-button sections,
// colours, image paths beside the skin file, and the push buttons' section.
#include "SkinTestSupport.h"
#include "SkinWin/SkinButton.h"
#include "SkinWin/SkinWin.h"
#include <gtest/gtest.h>

namespace {

COLORREF Fill(int x, int y)
{
    return RGB(x % 256, y % 256, 77);
}

class SkinFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        const struct { const char* name; int w, h; } images[] = {
            {"top.bmp", 100, 60}, {"left.bmp", 9, 50}, {"right.bmp", 6, 41}, {"bottom.bmp", 60, 7},
            {"close.bmp", 63, 21}, {"max.bmp", 45, 15}, {"restore.bmp", 30, 12}, {"min.bmp", 12, 10},
            {"other.bmp", 24, 8}, {"dialog.bmp", 5, 5}, {"button.bmp", 500, 20},
        };
        for (const auto& image : images)
            folder.Write(image.name, MakeBmp(24, image.w, image.h, Fill));
    }
    std::string Theme(const std::string& text) const { return folder.WriteText("theme.ini", text); }
    static std::string Edges() { return "[Personality]\nTop=top.bmp\nLeft=left.bmp\nRight=right.bmp\nBottom=bottom.bmp\n"; }
    CTempFolder folder;
};

} // namespace

// Each field beside the value it must hold, so a table names the one that differs.
#define FIELD(f, v) {#f, static_cast<long>(skin.f), static_cast<long>(v)}

namespace {
struct Field {
    const char* name;
    long got, want;
};
void ExpectFields(std::initializer_list<Field> fields)
{
    for (const Field& f : fields) {
        if (std::string(f.name).compare(0, 4, "m_cr") == 0)
            EXPECT_EQ(Hex(f.want), Hex(f.got)) << f.name;
        else
            EXPECT_EQ(f.want, f.got) << f.name;
    }
}
} // namespace

TEST_F(SkinFile, EveryKeyFillsItsField)
{
    std::string ini = Theme(
        "[Personality]\nDialogBmp=dialog.bmp\nTop=top.bmp\nLeft=left.bmp\nRight=right.bmp\nBottom=bottom.bmp\n"
        "TopTopHeight=20\nTopBotHeight=20\nLeftTopHeight=30\nLeftBotHeight=5\nRightTopHeight=28\nRightBotHeight=4\n"
        "BottomTopHeight=6\nBottomBotHeight=7\nButtonCount=3\nButtonImgCount=3\nTextShift=26\nTextShiftVert=2\n"
        "UsesTran=1\n"
        "[Button0]\nButtonImage=close.bmp\nAction=0\nXCoord=30\nYCoord=5\n"
        "[Button1]\nButtonImage=max.bmp\nAction=1\nXCoord=60\nYCoord=6\n"
        "[Button2]\nButtonImage=min.bmp\nAction=2\nXCoord=90\nYCoord=7\n"
        "[Colours]\nTitleText=255 255 255\nInactiveTitleText=128 128 128\nTransColor=0 255 0\nBarColor=1 2 3\n"
        "MenuColor=4 5 6\nButtonFace=7 8 9\nButtonText=10 11 12\nButtonHilight=13 14 15\nButtonFocus=16 17 18\n");
    CSkinWin skin;
    ASSERT_TRUE(skin.LoadSkin(ini.c_str()));
    ExpectFields({
        FIELD(m_bLoaded, TRUE), FIELD(m_bmpDialog.GetWidth(), 5), FIELD(m_nTopHeight, 30), FIELD(m_nBottomHeight, 3),
        FIELD(m_nLeftWidth, 4), FIELD(m_nRightWidth, 3), FIELD(m_nTopLeftEnd, 20), FIELD(m_nTopRightStart, 80),
        FIELD(m_nLeftTopEnd, 30), FIELD(m_nLeftBottomStart, 45), FIELD(m_nRightTopEnd, 28),
        FIELD(m_nRightBottomStart, 37), FIELD(m_nBottomLeftEnd, 6), FIELD(m_nBottomRightStart, 53),
        FIELD(m_nTextShift, 26), FIELD(m_nTextShiftVert, 2), FIELD(m_bUsesTran, TRUE),
        FIELD(m_crTitleText, RGB(255, 255, 255)), FIELD(m_crInactiveTitleText, RGB(128, 128, 128)),
        FIELD(m_crTrans, RGB(0, 255, 0)), FIELD(m_crBar, RGB(1, 2, 3)), FIELD(m_crMenu, RGB(4, 5, 6)),
        FIELD(m_crButtonFace, RGB(7, 8, 9)), FIELD(m_crButtonText, RGB(10, 11, 12)),
        FIELD(m_crButtonHilight, RGB(13, 14, 15)), FIELD(m_crButtonFocus, RGB(16, 17, 18)),
    });
    EXPECT_EQ(CRect(9, 5, 30, 26), skin.m_rcCloseBtn);
    EXPECT_EQ(CRect(45, 6, 60, 21), skin.m_rcMaxBtn);
    EXPECT_EQ(CRect(86, 7, 90, 17), skin.m_rcMinBtn);
    EXPECT_EQ(nullptr, skin.m_bmpRestoreBtn.GetSafeHandle());
}

TEST_F(SkinFile, ConstructorValuesAndDefaultsOfAMinimalSkin)
{
    CSkinWin skin;
    ExpectFields({FIELD(m_bLoaded, FALSE), FIELD(m_nWinState, 0), FIELD(m_crBar, 0xCFCFCF), FIELD(m_crMenu, 0xCFCFCF),
                  FIELD(IsHooked(), FALSE)});
    ASSERT_TRUE(skin.LoadSkin(Theme(Edges()).c_str()));
    ExpectFields({
        FIELD(m_nButtonImgCount, 3), FIELD(m_nTopLeftEnd, 0), FIELD(m_nTopRightStart, 100),
        FIELD(m_nLeftBottomStart, 50), FIELD(m_nTextShift, 0), FIELD(m_bUsesTran, FALSE),
        FIELD(m_bmpCloseBtn.GetSafeHandle() == nullptr, TRUE), FIELD(m_bmpDialog.GetSafeHandle() == nullptr, TRUE),
        FIELD(m_crTitleText, GetSysColor(COLOR_CAPTIONTEXT)), FIELD(m_crInactiveTitleText, GetSysColor(COLOR_CAPTIONTEXT)),
        FIELD(m_crBar, 0xCFCFCF), FIELD(m_crButtonFace, GetSysColor(COLOR_BTNFACE)),
        FIELD(m_crButtonText, GetSysColor(COLOR_BTNTEXT)), FIELD(m_crButtonFocus, GetSysColor(COLOR_BTNFACE)),
    });
}

TEST_F(SkinFile, ImagesAreTakenFromBesideTheSkinFileWhateverDirectoryTheValueNames)
{
    std::string ini = Theme("[Personality]\nTop=pictures\\top.bmp\nLeft=C:\\nowhere\\left.bmp\nRight=a/b/right.bmp\n"
                            "Bottom=\\bottom.bmp\nDialogBmp=missing.bmp\n");
    CSkinWin skin;
    ASSERT_TRUE(skin.LoadSkin(ini.c_str()));
    EXPECT_EQ(100, skin.m_bmpTop.GetWidth());
    EXPECT_EQ(9, skin.m_bmpLeft.GetWidth());
}

TEST_F(SkinFile, EndSlicesAreRaisedToKeepAMiddlePixel)
{
    std::string ini = Theme(Edges() + "TopTopHeight=40\nTopBotHeight=90\nLeftTopHeight=50\nLeftBotHeight=0\n"
                                      "BottomTopHeight=30\nBottomBotHeight=30\n");
    CSkinWin skin;
    ASSERT_TRUE(skin.LoadSkin(ini.c_str()));
    ExpectFields({FIELD(m_nTopRightStart, 41), FIELD(m_nLeftBottomStart, 51), FIELD(m_nBottomRightStart, 31)});
}

TEST_F(SkinFile, RequiredImagesAndRefusedValues)
{
    const struct { const char* what; std::string text; } cases[] = {
        {"no Top", "[Personality]\nLeft=left.bmp\nRight=right.bmp\nBottom=bottom.bmp\n"},
        {"missing Left", "[Personality]\nTop=top.bmp\nLeft=none.bmp\nRight=right.bmp\nBottom=bottom.bmp\n"},
        {"Right not an image", "[Personality]\nTop=top.bmp\nLeft=left.bmp\nRight=theme.ini\nBottom=bottom.bmp\n"},
        {"no Bottom", "[Personality]\nTop=top.bmp\nLeft=left.bmp\nRight=right.bmp\n"},
        {"ButtonImgCount 0", Edges() + "ButtonImgCount=0\n"},
        {"ButtonImgCount -2", Edges() + "ButtonImgCount=-2\n"},
        {"file name too long", "[Personality]\nTop=" + std::string(300, 'x') + "\\top.bmp\nLeft=left.bmp\n"},
        {"colour field too long", Edges() + "[Colours]\nTitleText=" + std::string(256, '1') + " 0 0\n"},
        {"caption button image missing", Edges() + "ButtonCount=1\n[Button0]\nAction=2\nButtonImage=none.bmp\n"},
        {"caption button image empty", Edges() + "ButtonCount=1\n[Button0]\nAction=0\n"},
    };
    for (const auto& c : cases) {
        CSkinWin skin;
        ASSERT_TRUE(skin.LoadSkin(Theme(Edges()).c_str()));
        EXPECT_FALSE(skin.LoadSkin(Theme(c.text).c_str())) << c.what;
        EXPECT_FALSE(skin.m_bLoaded) << c.what;
    }
    CSkinWin skin;
    EXPECT_FALSE(skin.LoadSkin(folder.Path("absent.ini").c_str()));
    std::string longPath = folder.Dir() + "\\" + std::string(270, 'p') + ".ini";
    EXPECT_FALSE(skin.LoadSkin(longPath.c_str()));
}

TEST_F(SkinFile, CaptionButtonSections)
{
    std::string ini = Theme(Edges() + "ButtonCount=5\nButtonImgCount=3\n"
                                      "[Button0]\nAction=1\nButtonImage=max.bmp\nXCoord=50\nYCoord=1\n"
                                      "[Button1]\nAction=3\nButtonImage=none.bmp\n"
                                      "[Button2]\nAction=1\nButtonImage=restore.bmp\nXCoord=40\nYCoord=2\n"
                                      "[Button3]\nAction=1\nButtonImage=other.bmp\nXCoord=70\nYCoord=3\n"
                                      "[Button4]\nAction=-1\n"
                                      "[Button5]\nAction=0\nButtonImage=none.bmp\n");
    CSkinWin skin;
    ASSERT_TRUE(skin.LoadSkin(ini.c_str()));
    EXPECT_EQ(45, skin.m_bmpMaxBtn.GetWidth());
    EXPECT_EQ(CRect(35, 1, 50, 16), skin.m_rcMaxBtn);
    EXPECT_EQ(24, skin.m_bmpRestoreBtn.GetWidth());
    EXPECT_EQ(CRect(62, 3, 70, 11), skin.m_rcRestoreBtn);
    EXPECT_EQ(nullptr, skin.m_bmpCloseBtn.GetSafeHandle());

    // Reloading starts the maximize role afresh, also after a failed load.
    Theme(Edges() + "ButtonCount=2\n[Button0]\nAction=1\nButtonImage=max.bmp\n[Button1]\nAction=0\nButtonImage=none.bmp\n");
    EXPECT_FALSE(skin.LoadSkin(ini.c_str()));
    Theme(Edges() + "ButtonCount=1\n[Button0]\nAction=1\nButtonImage=restore.bmp\nXCoord=10\n");
    ASSERT_TRUE(skin.LoadSkin(ini.c_str()));
    EXPECT_EQ(30, skin.m_bmpMaxBtn.GetWidth());
    EXPECT_EQ(nullptr, skin.m_bmpRestoreBtn.GetSafeHandle());
}

TEST_F(SkinFile, TransparentColourIsReadOnlyWhileInForce)
{
    CSkinWin skin;
    std::string ini = Theme(Edges() + "UsesTran=1\n[Colours]\nTransColor=1 2 3\n");
    ASSERT_TRUE(skin.LoadSkin(ini.c_str()));
    EXPECT_EQ(Hex(RGB(1, 2, 3)), Hex(skin.m_crTrans));
    Theme(Edges() + "UsesTran=0\n[Colours]\nTransColor=9 9 9\n");
    ASSERT_TRUE(skin.LoadSkin(ini.c_str()));
    EXPECT_FALSE(skin.m_bUsesTran);
    EXPECT_EQ(Hex(RGB(1, 2, 3)), Hex(skin.m_crTrans));
    Theme(Edges() + "UsesTran=1\n");
    ASSERT_TRUE(skin.LoadSkin(ini.c_str()));
    EXPECT_EQ(Hex(RGB(255, 0, 255)), Hex(skin.m_crTrans));
}

TEST_F(SkinFile, ColourValues)
{
    std::string ini = Theme("[C]\nmagenta=255 0 255\nwrap=300 0 0\nalone=255\ntwoBlanks=10  20 30\n"
                            "tabs=1\t2\t3\nempty=\nnegative=-1 0 0\nletters=x y z\n");
    const struct { const char* key; COLORREF expected; } cases[] = {
        {"magenta", 0xFF00FF}, {"wrap", RGB(44, 0, 0)}, {"alone", RGB(255, 0, 0)}, {"twoBlanks", RGB(10, 0, 20)},
        {"tabs", RGB(1, 2, 3)}, {"empty", RGB(9, 8, 7)}, {"missing", RGB(9, 8, 7)}, {"negative", RGB(255, 0, 0)},
        {"letters", 0},
    };
    for (const auto& c : cases) {
        BOOL valid = TRUE;
        EXPECT_EQ(Hex(c.expected), Hex(ReadSkinColor("C", c.key, ini.c_str(), RGB(9, 8, 7), &valid))) << c.key;
        EXPECT_TRUE(valid) << c.key;
    }
}

TEST_F(SkinFile, ButtonsSection)
{
    CButtonSkin buttons;
    std::string ini = Theme("[Buttons]\nTopHeight=4\nBottomHeight=5\nLeftWidth=6\nRightWidth=7\n");
    EXPECT_FALSE(buttons.LoadFromTheme(ini.c_str()));
    EXPECT_FALSE(buttons.m_bLoaded);
    EXPECT_EQ(0, buttons.m_nTopHeight);

    Theme("[Buttons]\nBitmap=art\\button.bmp\nTopHeight=4\nBottomHeight=5\nLeftWidth=6\nRightWidth=7\nTrans=1\n");
    ASSERT_TRUE(buttons.LoadFromTheme(ini.c_str()));
    EXPECT_TRUE(buttons.m_bLoaded);
    EXPECT_EQ((std::vector<int>{500, 4, 5, 6, 7}), (std::vector<int>{buttons.GetWidth(), buttons.m_nTopHeight,
              buttons.m_nBottomHeight, buttons.m_nLeftWidth, buttons.m_nRightWidth}));

    Theme("[Buttons]\nBitmap=none.bmp\nTopHeight=1\n");
    EXPECT_FALSE(buttons.LoadFromTheme(ini.c_str()));
    EXPECT_EQ(4, buttons.m_nTopHeight);
    EXPECT_TRUE(buttons.m_bLoaded);
}
