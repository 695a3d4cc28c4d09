// The one set of rules for dialable numbers (the call links, the control and
// the engine each have their own tests of how they use it).

#include "phone_number/phone_number.h"

#include <gtest/gtest.h>

namespace pelex::phone_number {
namespace {

TEST(PhoneNumber, SeparatorsAreDroppedAndTheRestMustBeANumber) {
    EXPECT_EQ(check(u"+1 (555) 010-0100").number, u"+15550100100");
    EXPECT_EQ(check(u"\t*31#.0049").number, u"*31#0049");
    EXPECT_EQ(check(u"+1-555").fault, Fault::None);
    EXPECT_EQ(check(u"").fault, Fault::NoNumber);
    EXPECT_EQ(check(u" - ").fault, Fault::NoNumber);
    EXPECT_EQ(check(u"+").fault, Fault::NoNumber);
    EXPECT_EQ(check(u"12+3").fault, Fault::PlusNotFirst);
    EXPECT_EQ(check(std::u16string(kLongest, u'1')).fault, Fault::None);
    EXPECT_EQ(check(std::u16string(kLongest + 1, u'1')).fault, Fault::TooLong);
    EXPECT_EQ(check(u"1-2-" + std::u16string(kLongest - 2, u'1')).fault, Fault::None) << "separators do not count";
}

TEST(PhoneNumber, TheFirstCharacterAtFaultIsNamedWhole) {
    const Checked letter = check(u"1-800-FLOWERS");
    EXPECT_EQ(letter.fault, Fault::Character);
    EXPECT_EQ(letter.character, U'F');
    EXPECT_TRUE(letter.number.empty());
    EXPECT_EQ(check(u"12\U0001F600").character, U'\U0001F600');
    EXPECT_EQ(check(u"1\n2").character, U'\n');
}

TEST(PhoneNumber, DialableMeansANumberExactlyAsItStands) {
    EXPECT_TRUE(isDialable(u"+15550100"));
    EXPECT_TRUE(isDialable(u"*100#"));
    EXPECT_FALSE(isDialable(u"1-2"));
    EXPECT_FALSE(isDialable(u"12a"));
    EXPECT_FALSE(isDialable(u""));
    EXPECT_EQ(withoutSeparators(u"(0)30 12.3-4ab"), u"0301234ab") << "other characters stay";
}

}  // namespace
}  // namespace pelex::phone_number
