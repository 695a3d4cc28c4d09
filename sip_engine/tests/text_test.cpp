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

}  // namespace
}  // namespace pelex::sip_engine
