#include "sip_engine/text.h"

#include <gtest/gtest.h>

namespace pelex::sip_engine {
namespace {

TEST(UserPart, TakesTheNumberOutOfEveryAddressForm) {
    EXPECT_EQ(userPart(u"sip:1001@10.0.0.5"), u"1001");
    EXPECT_EQ(userPart(u"sip:1001@10.0.0.5:5060"), u"1001");
    EXPECT_EQ(userPart(u"sip:1001"), u"1001");
    EXPECT_EQ(userPart(u"1001@host"), u"1001");
    EXPECT_EQ(userPart(u"1001"), u"1001");
    EXPECT_EQ(userPart(u""), u"");
}

TEST(TrimSpaces, RemovesOnlyOuterSpaces) {
    EXPECT_EQ(trimSpaces(u"  a b  "), u"a b");
    EXPECT_EQ(trimSpaces(u"\ta\t"), u"\ta\t");
    EXPECT_EQ(trimSpaces(u"   "), u"");
}

TEST(EscapeXmlAttribute, EscapesMarkupAndWhitespaceThatWouldBeNormalised) {
    EXPECT_EQ(escapeXmlAttribute(u"a&b<c>d\"e'f"), u"a&amp;b&lt;c&gt;d&quot;e&apos;f");
    EXPECT_EQ(escapeXmlAttribute(u"x\ty\nz\r"), u"x&#9;y&#10;z&#13;");
    EXPECT_EQ(escapeXmlAttribute(u"plain \u00e9"), u"plain \u00e9");
}

TEST(SipRequestAddress, CarriesEveryKeypadCharacterAndEscapesWhatTheUserPartCannotHold) {
    EXPECT_EQ(sipRequestAddress(u"1001@127.0.0.1:5070"), "sip:1001@127.0.0.1:5070");
    EXPECT_EQ(sipRequestAddress(u"*31#0049301234@sip.example"), "sip:*31%230049301234@sip.example");
    EXPECT_EQ(sipRequestAddress(u"+49 (30) 12-34@h"), "sip:+49301234@h") << "a number loses its separators";
    EXPECT_EQ(sipRequestAddress(u"a b@h"), "sip:a%20b@h") << "a name keeps them, escaped";
    EXPECT_EQ(sipRequestAddress(u"100%@h"), "sip:100%25@h") << "a percent sign is data, not an escape";
    EXPECT_EQ(sipRequestAddress(u"a\"b<c>@h"), "sip:a%22b%3Cc%3E@h");
    EXPECT_EQ(sipRequestAddress(u"j\u00f6rg@h"), "sip:j%C3%B6rg@h");
    // Split at the last "@": an "@" typed into the number is part of the user.
    EXPECT_EQ(sipRequestAddress(u"a@b@h"), "sip:a%40b@h");
}

TEST(SipRequestAddress, NothingToCallGivesEmptyAndFullAddressesStayAsTheyAre) {
    EXPECT_EQ(sipRequestAddress(u"@127.0.0.1"), "");
    EXPECT_EQ(sipRequestAddress(u"1001@"), "");
    EXPECT_EQ(sipRequestAddress(u"1001"), "");
    EXPECT_EQ(sipRequestAddress(u""), "");
    EXPECT_EQ(sipRequestAddress(u"sip:1001@h;transport=tcp"), "sip:1001@h;transport=tcp");
}

}  // namespace
}  // namespace pelex::sip_engine
