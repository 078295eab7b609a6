// Double-byte stepping, tokens, trimming, and the directory and name parts of paths.
#include "SkinWin/StringPath.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

TEST(DoubleByteCharacters, GetNextCharStepsAndStopsAtTheEndPutCharWritesOneOrTwoBytes)
{
    // A lead byte right before the terminator ends the string.
    const struct { char text[8]; std::vector<int> chars; int end; } cases[] = {
        {"\x41\x82\xA0\x80", {0x41, 0x82A0, 0x80, 0, 0}, 4},
        {"a\x82\0zz", {'a', 0, 0}, 1},
    };
    for (const auto& c : cases) {
        char text[8];
        memcpy(text, c.text, sizeof text);
        char* p = text;
        for (int expected : c.chars)
            EXPECT_EQ(expected, GetNextChar(&p)) << c.text;
        EXPECT_EQ(text + c.end, p) << c.text;
    }
    char buffer[4] = {};
    char* p = buffer;
    EXPECT_EQ(2, PutChar(&p, 0x82A0));
    EXPECT_EQ(1, PutChar(&p, 0x41));
    EXPECT_EQ(buffer + 3, p);
    EXPECT_EQ(std::string("\x82\xA0\x41"), std::string(buffer));
    char* null = nullptr;
    EXPECT_EQ(0, GetNextChar(nullptr));
    EXPECT_EQ(0, GetNextChar(&null));
    EXPECT_EQ(0, PutChar(nullptr, 'a'));
    EXPECT_EQ(0, PutChar(&null, 'a'));
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

TEST(CopyToken, SplitsAtEachSeparatorRepeatedOnesGivingEmptyTokens)
{
    const struct { const char* text; const char* stops; std::vector<std::string> tokens; } cases[] = {
        {"255 128 0", nullptr, {"255", "128", "0", ""}},
        {"255  7", nullptr, {"255", "", "7"}},
        {"\x82\xA0\x82\xA1,b", ",", {"\x82\xA0\x82\xA1", "b"}},
    };
    for (const auto& c : cases) {
        char text[16], token[16];
        strcpy(text, c.text);
        char* p = text;
        for (const std::string& expected : c.tokens) {
            p = CopyToken(p, token, c.stops);
            EXPECT_EQ(expected, token) << c.text;
        }
    }
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
    // Too long for a path buffer gives nothing.
    std::string tooLong = std::string(260, 'd') + "\\a.bmp";
    EXPECT_EQ(CString("a.bmp"), GetFileName((std::string(250, 'd') + "\\a.bmp").c_str()));
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
