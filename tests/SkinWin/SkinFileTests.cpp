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

TEST_F(SkinFile, ConstructorValues)
{
    CSkinWin skin;
    EXPECT_FALSE(skin.m_bLoaded);
    EXPECT_EQ(0, skin.m_nWinState);
    EXPECT_EQ(Hex(0xCFCFCF), Hex(skin.m_crBar));
    EXPECT_EQ(Hex(0xCFCFCF), Hex(skin.m_crMenu));
    EXPECT_FALSE(skin.IsHooked());
}

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
    EXPECT_TRUE(skin.m_bLoaded);
    EXPECT_EQ(5, skin.m_bmpDialog.GetWidth());
    EXPECT_EQ(30, skin.m_nTopHeight);
    EXPECT_EQ(3, skin.m_nBottomHeight);
    EXPECT_EQ(4, skin.m_nLeftWidth);
    EXPECT_EQ(3, skin.m_nRightWidth);
    EXPECT_EQ(20, skin.m_nTopLeftEnd);
    EXPECT_EQ(80, skin.m_nTopRightStart);
    EXPECT_EQ(30, skin.m_nLeftTopEnd);
    EXPECT_EQ(45, skin.m_nLeftBottomStart);
    EXPECT_EQ(28, skin.m_nRightTopEnd);
    EXPECT_EQ(37, skin.m_nRightBottomStart);
    EXPECT_EQ(6, skin.m_nBottomLeftEnd);
    EXPECT_EQ(53, skin.m_nBottomRightStart);
    EXPECT_EQ(26, skin.m_nTextShift);
    EXPECT_EQ(2, skin.m_nTextShiftVert);
    EXPECT_TRUE(skin.m_bUsesTran);
    EXPECT_EQ(CRect(9, 5, 30, 26), skin.m_rcCloseBtn);
    EXPECT_EQ(CRect(45, 6, 60, 21), skin.m_rcMaxBtn);
    EXPECT_EQ(CRect(86, 7, 90, 17), skin.m_rcMinBtn);
    EXPECT_EQ(nullptr, skin.m_bmpRestoreBtn.GetSafeHandle());
    EXPECT_EQ(Hex(RGB(255, 255, 255)), Hex(skin.m_crTitleText));
    EXPECT_EQ(Hex(RGB(128, 128, 128)), Hex(skin.m_crInactiveTitleText));
    EXPECT_EQ(Hex(RGB(0, 255, 0)), Hex(skin.m_crTrans));
    EXPECT_EQ(Hex(RGB(1, 2, 3)), Hex(skin.m_crBar));
    EXPECT_EQ(Hex(RGB(4, 5, 6)), Hex(skin.m_crMenu));
    EXPECT_EQ(Hex(RGB(7, 8, 9)), Hex(skin.m_crButtonFace));
    EXPECT_EQ(Hex(RGB(10, 11, 12)), Hex(skin.m_crButtonText));
    EXPECT_EQ(Hex(RGB(13, 14, 15)), Hex(skin.m_crButtonHilight));
    EXPECT_EQ(Hex(RGB(16, 17, 18)), Hex(skin.m_crButtonFocus));
}

TEST_F(SkinFile, DefaultsOfAMinimalSkin)
{
    std::string ini = Theme(Edges());
    CSkinWin skin;
    ASSERT_TRUE(skin.LoadSkin(ini.c_str()));
    EXPECT_EQ(3, skin.m_nButtonImgCount);
    EXPECT_EQ(0, skin.m_nTopLeftEnd);
    EXPECT_EQ(100, skin.m_nTopRightStart);
    EXPECT_EQ(50, skin.m_nLeftBottomStart);
    EXPECT_EQ(0, skin.m_nTextShift);
    EXPECT_FALSE(skin.m_bUsesTran);
    EXPECT_EQ(nullptr, skin.m_bmpCloseBtn.GetSafeHandle());
    EXPECT_EQ(nullptr, skin.m_bmpDialog.GetSafeHandle());
    EXPECT_EQ(Hex(GetSysColor(COLOR_CAPTIONTEXT)), Hex(skin.m_crTitleText));
    EXPECT_EQ(Hex(GetSysColor(COLOR_CAPTIONTEXT)), Hex(skin.m_crInactiveTitleText));
    EXPECT_EQ(Hex(0xCFCFCF), Hex(skin.m_crBar));
    EXPECT_EQ(Hex(GetSysColor(COLOR_BTNFACE)), Hex(skin.m_crButtonFace));
    EXPECT_EQ(Hex(GetSysColor(COLOR_BTNTEXT)), Hex(skin.m_crButtonText));
    EXPECT_EQ(Hex(GetSysColor(COLOR_BTNFACE)), Hex(skin.m_crButtonFocus));
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
    EXPECT_EQ(41, skin.m_nTopRightStart);
    EXPECT_EQ(51, skin.m_nLeftBottomStart);
    EXPECT_EQ(31, skin.m_nBottomRightStart);
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
        std::string ini = Theme(c.text);
        CSkinWin skin;
        EXPECT_FALSE(skin.LoadSkin(ini.c_str())) << c.what;
        EXPECT_FALSE(skin.m_bLoaded) << c.what;
    }
    CSkinWin skin;
    EXPECT_FALSE(skin.LoadSkin(folder.Path("absent.ini").c_str()));
    std::string longPath = folder.Dir() + "\\" + std::string(270, 'p') + ".ini";
    EXPECT_FALSE(skin.LoadSkin(longPath.c_str()));
}

TEST_F(SkinFile, AFailedReloadClearsTheLoadedFlag)
{
    CSkinWin skin;
    std::string ini = Theme(Edges());
    ASSERT_TRUE(skin.LoadSkin(ini.c_str()));
    Theme("[Personality]\nTop=none.bmp\n");
    EXPECT_FALSE(skin.LoadSkin(ini.c_str()));
    EXPECT_FALSE(skin.m_bLoaded);
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
    EXPECT_EQ(500, buttons.GetWidth());
    EXPECT_EQ(4, buttons.m_nTopHeight);
    EXPECT_EQ(5, buttons.m_nBottomHeight);
    EXPECT_EQ(6, buttons.m_nLeftWidth);
    EXPECT_EQ(7, buttons.m_nRightWidth);

    Theme("[Buttons]\nBitmap=none.bmp\nTopHeight=1\n");
    EXPECT_FALSE(buttons.LoadFromTheme(ini.c_str()));
    EXPECT_EQ(4, buttons.m_nTopHeight);
    EXPECT_TRUE(buttons.m_bLoaded);
}
