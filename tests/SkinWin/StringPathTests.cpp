// Double-byte stepping, tokens, trimming, and the directory and name parts of paths.
#include "SkinWin/StringPath.h"
#include <gtest/gtest.h>
#include <string>

TEST(GetNextChar, StepsOverSingleAndDoubleByteCharacters)
{
    char text[] = "\x41\x82\xA0\x80\x00";
    char* p = text;
    EXPECT_EQ(0x41, GetNextChar(&p));
    EXPECT_EQ(0x82A0, GetNextChar(&p));
    EXPECT_EQ(0x80, GetNextChar(&p));
    EXPECT_EQ(0, GetNextChar(&p));
    EXPECT_EQ(text + 4, p);
    EXPECT_EQ(0, GetNextChar(&p));
    EXPECT_EQ(text + 4, p);
}

TEST(GetNextChar, LeadByteBeforeTheTerminatorEndsTheString)
{
    char text[] = "a\x82\0zz";
    char* p = text;
    EXPECT_EQ('a', GetNextChar(&p));
    EXPECT_EQ(0, GetNextChar(&p));
    EXPECT_EQ(text + 1, p);
    EXPECT_EQ(0, GetNextChar(&p));
}

TEST(GetNextChar, NullPointers)
{
    char* null = nullptr;
    EXPECT_EQ(0, GetNextChar(nullptr));
    EXPECT_EQ(0, GetNextChar(&null));
    EXPECT_EQ(0, PutChar(nullptr, 'a'));
    EXPECT_EQ(0, PutChar(&null, 'a'));
}

TEST(PutChar, WritesOneOrTwoBytes)
{
    char buffer[4] = {};
    char* p = buffer;
    EXPECT_EQ(2, PutChar(&p, 0x82A0));
    EXPECT_EQ(1, PutChar(&p, 0x41));
    EXPECT_EQ(buffer + 3, p);
    EXPECT_EQ(std::string("\x82\xA0\x41"), std::string(buffer));
}

TEST(TrimString, RemovesSeparatorsAtBothEndsOnly)
{
    const struct { const char* in; const char* out; } cases[] = {
        {"  a b \t", "a b"}, {" \t\n ", ""}, {"", ""}, {"x", "x"}, {"\n\x82\xA0 \x82\xA0\t", "\x82\xA0 \x82\xA0"},
    };
    for (const auto& c : cases) {
        char buffer[32];
        TrimString(c.in, buffer);
        EXPECT_STREQ(c.out, buffer) << "input \"" << c.in << "\"";
        strcpy(buffer, c.in);
        TrimString(buffer, buffer);
        EXPECT_STREQ(c.out, buffer) << "in place, input \"" << c.in << "\"";
    }
}

TEST(CopyToken, SplitsAtEachSeparator)
{
    char text[] = "255 128 0";
    char token[16];
    char* p = CopyToken(text, token);
    EXPECT_STREQ("255", token);
    p = CopyToken(p, token);
    EXPECT_STREQ("128", token);
    p = CopyToken(p, token);
    EXPECT_STREQ("0", token);
    EXPECT_EQ(0, *p);
    p = CopyToken(p, token);
    EXPECT_STREQ("", token);
}

TEST(CopyToken, RepeatedSeparatorsGiveAnEmptyToken)
{
    char text[] = "255  7";
    char token[16];
    char* p = CopyToken(text, token);
    p = CopyToken(p, token);
    EXPECT_STREQ("", token);
    CopyToken(p, token);
    EXPECT_STREQ("7", token);
}

TEST(CopyToken, OwnStopSetAndDoubleByteText)
{
    char text[] = "\x82\xA0\x82\xA1,b";
    char token[16];
    char* p = CopyToken(text, token, ",");
    EXPECT_STREQ("\x82\xA0\x82\xA1", token);
    EXPECT_STREQ("b", p);
}

TEST(Paths, DirectoryAndNameWithEitherSeparator)
{
    const struct { const char* path; const char* dir; const char* name; } cases[] = {
        {"skin\\orvane\\theme.ini", "skin\\orvane\\", "theme.ini"},
        {"skin/orvane/button.bmp", "skin/orvane/", "button.bmp"},
        {"skin\\orvane/mixed.bmp", "skin\\orvane/", "mixed.bmp"},
        {"theme.ini", "", "theme.ini"},
        {"\\theme.ini", "\\", "theme.ini"},
        {"dir\\", "dir\\", ""},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CString(c.dir), GetFileDir(c.path)) << c.path;
        EXPECT_EQ(CString(c.name), GetFileName(c.path)) << c.path;
    }
}

TEST(Paths, TooLongForAPathBufferGivesNothing)
{
    std::string fits = std::string(250, 'd') + "\\a.bmp";
    std::string tooLong = std::string(260, 'd') + "\\a.bmp";
    EXPECT_EQ(CString("a.bmp"), GetFileName(fits.c_str()));
    EXPECT_EQ(CString(), GetFileName(tooLong.c_str()));
    EXPECT_EQ(CString(), GetFileDir(tooLong.c_str()));
}

TEST(SkinImagePath, NameBesideTheSkinWhateverDirectoryTheValueNames)
{
    CString path;
    ASSERT_TRUE(GetSkinImagePath("skin\\orvane\\", "art\\top.bmp", &path));
    EXPECT_EQ(CString("skin\\orvane\\/top.bmp"), path);
    ASSERT_TRUE(GetSkinImagePath("", "C:\\x\\top.bmp", &path));
    EXPECT_EQ(CString("/top.bmp"), path);
    EXPECT_FALSE(GetSkinImagePath("skin\\", "", &path));
    EXPECT_FALSE(GetSkinImagePath("skin\\", std::string(260, 'n').c_str(), &path));
    EXPECT_FALSE(GetSkinImagePath(std::string(255, 'd').c_str(), "top.bmp", &path));
}
