#include "crypto/credential_text.h"
#include "crypto/scramble_key.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

using namespace pelex::crypto;

namespace {

const ScrambleKey kKey{{'1', 'A', '2', 'B', '3', 'C', '4', 'D'}, 0x00};

ScrambleKey withPlacement(std::uint8_t placement) {
    ScrambleKey key = kKey;
    key.placement = placement;
    return key;
}

bool isUpperHex(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); });
}

// Random text without the bytes that cannot come back (see SurvivesScramble).
template <class Random>
std::string survivingText(Random& random, std::size_t size) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        unsigned c = random() % 256;
        if (i % 2 == 0 && c == 255) c = 254;
        if (i % 2 == 1 && c == 0) c = 1;
        text[i] = static_cast<char>(c);
    }
    return text;
}

}  // namespace

TEST(ScrambleText, PlacementByteDecidesWhereEachKeyDigitStands) {
    // "H" + '1' (49) = 121 = 79; "i" - 'A' (65) = 40 = 28.
    EXPECT_EQ(ScrambleTextWith("Hi", withPlacement(0x00)), "00" "7928" "1A2B3C4D");
    EXPECT_EQ(ScrambleTextWith("Hi", withPlacement(0xFF)), "FF" "D4C3B2A1" "7928");
    // A5 = 1010 0101: K1, K3, K6, K8 in front (K8 first), the rest behind (K2 first).
    EXPECT_EQ(ScrambleTextWith("Hi", withPlacement(0xA5)), "A5" "DC21" "7928" "AB34");
}

TEST(ScrambleText, WrapAddsOrTakesAway255) {
    ScrambleKey key = kKey;
    key.digits = {'F', '9', 'F', '9', 'F', '9', 'F', '9'};
    // 240 + 'F' (70) = 310 - 255 = 55; 16 - '9' (57) = -41 + 255 = 214;
    // 185 + 70 = 255 stays; 57 - 57 = 0 stays.
    EXPECT_EQ(ScrambleTextWith("\xF0\x10\xB9\x39", key), "00" "37D6FF00" "F9F9F9F9");
    EXPECT_EQ(UnscrambleText("00" "37D6FF00" "F9F9F9F9"), "\xF0\x10\xB9\x39");
}

TEST(ScrambleText, KeyDigitsRepeatEveryEightCharacters) {
    const std::string out = ScrambleTextWith("AAAAAAAAAA", kKey);
    // Characters 1 and 9 use K1, characters 2 and 10 use K2.
    EXPECT_EQ(out.substr(2, 4), out.substr(2 + 16, 4));
    EXPECT_NE(out.substr(2, 2), out.substr(4, 2));
}

TEST(ScrambleText, LengthIsTwiceTheTextPlusTenInUpperCaseHex) {
    EXPECT_EQ(ScrambleText(""), "");
    EXPECT_EQ(ScrambleText("x").size(), 12u);
    EXPECT_EQ(ScrambleText("12345678").size(), 26u);
    for (std::size_t n = 1; n < 40; ++n) {
        const std::string out = ScrambleText(std::string(n, '\xff'));
        EXPECT_EQ(out.size(), 2 * n + 10);
        EXPECT_TRUE(isUpperHex(out)) << out;
    }
}

TEST(ScrambleText, EveryCallDrawsAFreshKey) {
    std::set<std::string> results;
    std::set<char> digitsSeen[8];
    int placementBitsSet[8] = {};
    for (int n = 0; n < 400; ++n) {
        const std::string out = ScrambleText("password");
        EXPECT_EQ(UnscrambleText(out), "password");
        results.insert(out);
        const ScrambleKey key = randomScrambleKey();
        for (int j = 0; j < 8; ++j) {
            digitsSeen[j].insert(key.digits[j]);
            placementBitsSet[j] += key.placement >> j & 1;
        }
    }
    EXPECT_GT(results.size(), 390u);
    for (int j = 0; j < 8; ++j) {
        EXPECT_EQ(digitsSeen[j].size(), 16u) << "key digit " << j + 1;
        EXPECT_GT(placementBitsSet[j], 100) << "bit " << j;
        EXPECT_LT(placementBitsSet[j], 300) << "bit " << j;
    }
}

TEST(UnscrambleText, UndoesScrambleTextForRandomTexts) {
    std::mt19937_64 random(9);
    for (int n = 0; n < 2000; ++n) {
        const std::string text = survivingText(random, 1 + random() % 30);
        ASSERT_TRUE(SurvivesScramble(text));
        ASSERT_EQ(UnscrambleText(ScrambleText(text)), text);
    }
    // Every placement byte, with one text.
    for (int p = 0; p < 256; ++p) {
        EXPECT_EQ(UnscrambleText(ScrambleTextWith("VOIP 1000", withPlacement(static_cast<std::uint8_t>(p)))),
                  "VOIP 1000");
    }
}

TEST(UnscrambleText, ZeroAtEvenAnd255AtOddPositionsDoNotComeBack) {
    // Position 1 is odd: 255 comes back as 0; position 2 is even: 0 as 255.
    EXPECT_EQ(UnscrambleText(ScrambleText(std::string("\xff\x00", 2))), std::string("\x00\xff", 2));
    // The other way round they survive.
    EXPECT_EQ(UnscrambleText(ScrambleText(std::string("\x00\xff", 2))), std::string("\x00\xff", 2));
    EXPECT_FALSE(SurvivesScramble("\xff"));
    EXPECT_FALSE(SurvivesScramble(std::string("a\0", 2)));
    EXPECT_FALSE(SurvivesScramble("pass\xffword"));  // position 5
    EXPECT_TRUE(SurvivesScramble("pas\xffword"));    // position 4
    EXPECT_TRUE(SurvivesScramble(std::string("\0a", 2)));
    EXPECT_TRUE(SurvivesScramble(""));
}

TEST(UnscrambleText, LowerCaseHexReadsLikeUpperCase) {
    const std::string out = ScrambleTextWith("\xC9t\xE9", withPlacement(0xAB));
    std::string lowered = out;
    // Lower-case the placement byte and the body, not the key digits (their
    // character codes are part of the arithmetic).
    for (std::size_t i : {0u, 1u}) lowered[i] = static_cast<char>(std::tolower(lowered[i]));
    const std::size_t front = 5;  // AB = 1010 1011 puts five digits in front
    for (std::size_t i = 2 + front; i < 2 + front + 6; ++i) lowered[i] = static_cast<char>(std::tolower(lowered[i]));
    ASSERT_NE(lowered, out);
    EXPECT_EQ(UnscrambleText(lowered), "\xC9t\xE9");
}

TEST(UnscrambleText, MalformedInputGivesTheEmptyText) {
    const std::string good = ScrambleTextWith("secret", withPlacement(0x5A));
    ASSERT_EQ(UnscrambleText(good), "secret");
    EXPECT_EQ(UnscrambleText(""), "");
    EXPECT_EQ(UnscrambleText("0"), "");
    EXPECT_EQ(UnscrambleText("001A2B3C4D"), "");         // exactly ten characters: no body
    EXPECT_EQ(UnscrambleText("001A2B3C4"), "");          // fewer than eight key digits
    EXPECT_EQ(UnscrambleText("G0" + good.substr(2)), "");  // placement byte not hex
    EXPECT_EQ(UnscrambleText("0 " + good.substr(2)), "");
    EXPECT_EQ(UnscrambleText(good + "0"), "");             // odd length
    EXPECT_EQ(UnscrambleText(good.substr(1)), "");
    // A bad pair anywhere in the body: nothing, never a partial text.
    for (std::size_t i = 0; i < 12; ++i) {
        std::string bad = good;
        bad[2 + 4 + i] = 'x';  // 5A = 0101 1010: four key digits in front
        EXPECT_EQ(UnscrambleText(bad), "") << i;
    }
    // A key digit that is not a hex digit is damage too.
    for (std::size_t i : {std::size_t{2}, std::size_t{5}, good.size() - 1}) {
        std::string bad = good;
        bad[i] = '*';
        EXPECT_EQ(UnscrambleText(bad), "") << i;
    }
}
