#include "codepage/codepage.h"

#include <gtest/gtest.h>

using namespace pelex::codepage;

TEST(Codepage, AsciiAndLatin1PassThrough) {
    EXPECT_EQ(toAnsi(u"CORVO 1000"), "CORVO 1000");
    EXPECT_EQ(toAnsi(u"\u00e9\u00ff"), "\xe9\xff");
    EXPECT_EQ(fromAnsi("\xe9\xff"), u"\u00e9\u00ff");
}

TEST(Codepage, EuroAndOtherHighCharactersUseTheirWindowsBytes) {
    // These live at 0x80..0x9F in Windows-1252, not at their Unicode numbers.
    EXPECT_EQ(toAnsi(u"\u20ac"), "\x80");
    EXPECT_EQ(toAnsi(u"\u2122"), "\x99");
    EXPECT_EQ(toAnsi(u"\u0152"), "\x8c");
    EXPECT_EQ(fromAnsi("\x80\x99"), u"\u20ac\u2122");
    EXPECT_EQ(ansiByte(u'\u20ac'), 0x80);
}

TEST(Codepage, EveryByteSurvivesTheRoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    const std::u16string wide = fromAnsi(all);
    ASSERT_EQ(wide.size(), 256u);
    EXPECT_EQ(toAnsi(wide), all);
    // The undefined bytes come back as the C1 controls of the same number.
    EXPECT_EQ(wide[0x81], u'\u0081');
    EXPECT_EQ(wide[0x9d], u'\u009d');
}

TEST(Codepage, UnrepresentableCharactersAreRefusedNotReplaced) {
    // U+0080 is a C1 control whose byte 0x80 means the euro sign here.
    EXPECT_FALSE(isRepresentable(u"\u0080"));
    EXPECT_FALSE(isRepresentable(u"ab\u4e2d"));
    EXPECT_TRUE(isRepresentable(u"ab\u20ac"));
    try {
        toAnsi(u"ab\u4e2dcd");
        FAIL() << "expected UnrepresentableText";
    } catch (const UnrepresentableText& e) {
        EXPECT_EQ(e.character(), u'\u4e2d');
        EXPECT_EQ(e.position(), 2u);
    }
    // A character beyond the Basic Multilingual Plane (a surrogate pair).
    EXPECT_THROW(toAnsi(u"\U0001F600"), UnrepresentableText);
    EXPECT_EQ(ansiByte(u'\u4e2d'), -1);
}

TEST(Codepage, EmptyText) {
    EXPECT_EQ(toAnsi(u""), "");
    EXPECT_EQ(fromAnsi(""), u"");
}
