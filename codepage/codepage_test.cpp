#include "codepage/codepage.h"
#include "codepage/utf8.h"

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

TEST(Utf8, EveryPlaneRoundTripsAndBrokenSurrogatesBecomeReplacements) {
    const std::u16string wide = u"a\u00e9\u20ac\U0001F600";
    EXPECT_EQ(toUtf8(wide), "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80");
    EXPECT_EQ(fromUtf8(toUtf8(wide)), wide);
    EXPECT_EQ(toUtf8(u"x\xd800y"), "x\xef\xbf\xbdy") << "a lone high surrogate";
    EXPECT_EQ(toUtf8(std::u16string(1, u'\xdc00')), "\xef\xbf\xbd") << "a lone low surrogate";
    EXPECT_EQ(fromUtf8(""), u"");
}

TEST(Utf8, BrokenBytesAreRefusedOrReplacedOneByOne) {
    for (const std::string bad : {"\x80", "\xc3", "\xc0\xaf" /* overlong "/" */, "\xed\xa0\x80" /* a surrogate */,
                                  "\xf4\x90\x80\x80" /* beyond U+10FFFF */, "\xe2\x82", "\xff"})
        EXPECT_FALSE(fromUtf8("ok" + bad)) << bad;
    EXPECT_EQ(fromUtf8Lossy("a\xff\xc3\xa9\xc3"), u"a\ufffd\u00e9\ufffd");
    EXPECT_EQ(fromUtf8Lossy("\xe2\x82z"), u"\ufffd\ufffdz") << "a truncated sequence loses its bytes, not what follows";
}

TEST(Utf8, WindowsBytesGoThroughUtf8) {
    EXPECT_EQ(ansiToUtf8("\x80\xe9"), "\xe2\x82\xac\xc3\xa9");
    EXPECT_EQ(utf8ToAnsi("\xe2\x82\xac\xc3\xa9"), "\x80\xe9");
    EXPECT_FALSE(utf8ToAnsi("\xe4\xb8\xad")) << "no Windows-1252 byte";
    EXPECT_FALSE(utf8ToAnsi("\xff"));
}
