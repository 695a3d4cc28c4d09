// Call links: what number each kind of link gives, and what is refused.

#include "host/call_link.h"

#include <gtest/gtest.h>

namespace pelex::host {
namespace {

std::string number(const char* link) {
    const CallLink parsed = parseCallLink(QString::fromUtf8(link));
    EXPECT_TRUE(parsed.ok()) << link << ": " << parsed.error.toStdString();
    return parsed.number.toStdString();
}

std::string refusal(const char* link) {
    const CallLink parsed = parseCallLink(QString::fromUtf8(link));
    EXPECT_FALSE(parsed.ok()) << link << " gave " << parsed.number.toStdString();
    EXPECT_TRUE(parsed.number.isEmpty()) << link;
    return parsed.error.toStdString();
}

TEST(CallLink, TelLinksLoseVisualSeparatorsAndParameters) {
    EXPECT_EQ(number("tel:+1-555-0100"), "+15550100");
    EXPECT_EQ(number("tel:+1-201-555-0123;phone-context=example.com"), "+12015550123");
    EXPECT_EQ(number("tel:7042;phone-context=+1-201-555"), "7042");
    EXPECT_EQ(number("tel:(030) 123.456;ext=12"), "030123456");
    EXPECT_EQ(number("TEL:0049301234"), "0049301234");
    EXPECT_EQ(number("  tel:1001  "), "1001");
    EXPECT_EQ(number("tel:*100%23"), "*100#");
    EXPECT_EQ(number("tel:*100#"), "*100#");
    EXPECT_EQ(number("tel:%2B44%2020%207946%200000"), "+442079460000");
}

TEST(CallLink, SipLinksGiveTheirUserPart) {
    EXPECT_EQ(number("sip:1001@127.0.0.1"), "1001");
    EXPECT_EQ(number("sip:+1-212-555-1212:secret@gateway.example.com;user=phone"), "+12125551212");
    EXPECT_EQ(number("sip:1001;isub=5@pbx.example.com;transport=tcp?subject=hi"), "1001");
    EXPECT_EQ(number("sips:00441234@pbx.example.com:5061"), "00441234");
    EXPECT_EQ(number("SIP:1001"), "1001");
    EXPECT_EQ(number("sip:%2B4930123@pbx.example.com"), "+4930123");
}

TEST(CallLink, CalltoAndPlainNumbers) {
    EXPECT_EQ(number("callto:+4930123456"), "+4930123456");
    EXPECT_EQ(number("callto://+49-30-123456"), "+4930123456");
    EXPECT_EQ(number("callto:1001?call"), "1001");
    EXPECT_EQ(number("+1 (555) 0100"), "+15550100");
    EXPECT_EQ(number("1001"), "1001");
}

TEST(CallLink, WhatIsNoNumberIsRefusedWithTheReason) {
    EXPECT_NE(refusal("tel:1-800-FLOWERS").find("is a letter"), std::string::npos);
    EXPECT_NE(refusal("sip:alice@example.com").find("names no telephone number"), std::string::npos);
    EXPECT_NE(refusal("callto:echo123").find("names no telephone number"), std::string::npos);
    EXPECT_NE(refusal("http://example.com/1001").find("only tel:, sip: and callto:"), std::string::npos);
    EXPECT_NE(refusal("mailto:1001@example.com").find("only tel:, sip: and callto:"), std::string::npos);
    EXPECT_NE(refusal("tel:").find("holds no number"), std::string::npos);
    EXPECT_NE(refusal("tel:---").find("holds no number"), std::string::npos);
    EXPECT_NE(refusal("tel:+").find("holds no number"), std::string::npos);
    EXPECT_NE(refusal("").find("empty"), std::string::npos);
    EXPECT_NE(refusal("tel:12+34").find("may only begin"), std::string::npos);
    EXPECT_NE(refusal("tel:12%2").find("broken %-escape"), std::string::npos);
    EXPECT_NE(refusal("tel:12%zz").find("broken %-escape"), std::string::npos);
    EXPECT_NE(refusal("tel:%FF%FE").find("broken %-escape"), std::string::npos);  // not UTF-8
    EXPECT_NE(refusal("tel:12%0A34").find("control character"), std::string::npos);
    EXPECT_NE(refusal("tel:1%1B[31m").find("control character"), std::string::npos);
    EXPECT_NE(refusal("tel:12,34").find("is not a digit"), std::string::npos);
    EXPECT_NE(refusal("1001@pbx").find("is not a digit"), std::string::npos);
    EXPECT_NE(refusal(("tel:" + std::string(65, '1')).c_str()).find("longer than 64"), std::string::npos);
    EXPECT_NE(refusal(("tel:1;x=" + std::string(3000, 'a')).c_str()).find("too long"), std::string::npos);
}

TEST(CallLink, TheRefusalQuotesTheLinkShortened) {
    const std::string why = refusal(("tel:" + std::string(200, 'x')).c_str());
    EXPECT_EQ(why.rfind("\"tel:xxx", 0), 0u) << why;
    EXPECT_NE(why.find("...\" cannot be dialled"), std::string::npos) << why;
    EXPECT_LT(why.size(), 200u);
}

}  // namespace
}  // namespace pelex::host
