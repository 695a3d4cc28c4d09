#include "crypto/skipjack.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace pelex::crypto;

namespace {

CipherKey::Bytes keyOf(std::string_view text) { return CipherKey::FromText(text).bytes(); }

}  // namespace

TEST(Skipjack, PublishedTestVectorBothWays) {
    const Skipjack cipher(CipherKey({0x00, 0x99, 0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11}));
    const Block plain = {0x33, 0x22, 0x11, 0x00, 0xdd, 0xcc, 0xbb, 0xaa};
    const Block expected = {0x25, 0x87, 0xca, 0xe2, 0x7a, 0x12, 0xd3, 0x00};
    EXPECT_EQ(cipher.EncryptBlock(plain), expected);
    EXPECT_EQ(cipher.DecryptBlock(expected), plain);
    // The same key written as a key text of twenty digits, either case.
    EXPECT_EQ(SetCipherKey("00998877665544332211").EncryptBlock(plain), expected);
    EXPECT_EQ(SetCipherKey("00998877665544332211").DecryptBlock(expected), plain);
}

TEST(Skipjack, DecryptUndoesEncryptForManyKeysAndBlocks) {
    std::mt19937_64 random(7);
    std::vector<std::string> keyTexts = {"", "0", "F", "12/8/2026 4:35:49 PM", "ffffffffffffffffffff"};
    for (int i = 0; i < 50; ++i) {
        std::string text(random() % 25, '\0');
        for (char& c : text) c = static_cast<char>(random());
        keyTexts.push_back(text);
    }
    for (const std::string& keyText : keyTexts) {
        const Skipjack cipher = SetCipherKey(keyText);
        for (int n = 0; n < 20; ++n) {
            Block b;
            for (auto& byte : b) byte = static_cast<std::uint8_t>(random());
            const Block e = cipher.EncryptBlock(b);
            EXPECT_NE(e, b);
            EXPECT_EQ(cipher.DecryptBlock(e), b);
        }
    }
}

TEST(Skipjack, BlockRunsMatchSingleBlocksAtEveryLength) {
    // Runs are processed several blocks side by side with a one-by-one tail;
    // every length up to past two full groups must give the same blocks.
    const Skipjack cipher = SetCipherKey("0123456789abcdefABCD");
    std::mt19937_64 random(11);
    for (std::size_t count = 0; count <= 11; ++count) {
        std::vector<Block> plain(count);
        for (auto& b : plain)
            for (auto& byte : b) byte = static_cast<std::uint8_t>(random());
        std::vector<Block> run = plain;
        cipher.EncryptBlocks(run);
        for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(run[i], cipher.EncryptBlock(plain[i])) << count << ":" << i;
        cipher.DecryptBlocks(run);
        EXPECT_EQ(run, plain) << count;
    }
}

TEST(KeyText, PairsOfDigitsGiveTheBytes) {
    EXPECT_EQ(keyOf("3F")[0], 0x3F);
    EXPECT_EQ(keyOf("a5")[0], 0xA5);
    EXPECT_EQ(keyOf("/7")[0], 0x07);
    EXPECT_EQ(keyOf(" P")[0], 0x00);
    EXPECT_EQ(keyOf("G1")[0], 0x01);
    EXPECT_EQ(keyOf("0123456789ABCDEF0011"),
              (CipherKey::Bytes{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0x00, 0x11}));
}

TEST(KeyText, CaseDoesNotMatter) {
    EXPECT_EQ(CipherKey::FromText("abcdef0123456789abcd"), CipherKey::FromText("ABCDEF0123456789ABCD"));
    EXPECT_EQ(CipherKey::FromText("aBcDeF"), CipherKey::FromText("AbCdEf"));
}

TEST(KeyText, EmptyAndShortTextsFillWithZero) {
    EXPECT_EQ(CipherKey::FromText(""), CipherKey());
    EXPECT_EQ(keyOf(""), CipherKey::Bytes{});
    // A lone last character fills the low four bits, not the high ones.
    EXPECT_EQ(keyOf("F"), (CipherKey::Bytes{0x0F}));
    EXPECT_EQ(keyOf("123"), (CipherKey::Bytes{0x12, 0x03}));
    // Non-hex bytes of Windows-1252 (here e-acute and the euro sign) count as 0.
    EXPECT_EQ(keyOf("\xe9" "1\x80" "2"), (CipherKey::Bytes{0x01, 0x02}));
}

TEST(KeyText, DateAndTimeTextsCountSeparatorsAndLettersAfterFAsZero) {
    // Pairs: 12 /8 /2 02 6_ 4: 35 :4 9_ PM
    EXPECT_EQ(keyOf("12/8/2026 4:35:49 PM"),
              (CipherKey::Bytes{0x12, 0x08, 0x02, 0x02, 0x60, 0x40, 0x35, 0x04, 0x90, 0x00}));
    // "A" of AM counts as 10, its "M" as 0.
    EXPECT_EQ(keyOf("12/8/2026 4:35:49 AM"),
              (CipherKey::Bytes{0x12, 0x08, 0x02, 0x02, 0x60, 0x40, 0x35, 0x04, 0x90, 0xA0}));
}

TEST(KeyText, NineteenCharactersLeaveTheLastByteToOneDigit) {
    // Pairs: 1/ 8/ 20 26 _4 :3 5: 49 _A and the lone 19th character.
    EXPECT_EQ(keyOf("1/8/2026 4:35:49 AC"),
              (CipherKey::Bytes{0x10, 0x80, 0x20, 0x26, 0x04, 0x03, 0x50, 0x49, 0x0A, 0x0C}));
    EXPECT_EQ(keyOf("1/8/2026 4:35:49 AM")[9], 0x00);
    EXPECT_EQ(keyOf("1/8/2026 4:35:49 Af")[9], 0x0F);
}

TEST(KeyText, CharactersAfterTheTwentiethAreIgnored) {
    const CipherKey twenty = CipherKey::FromText("12/18/2026 4:35:49 P");
    EXPECT_EQ(CipherKey::FromText("12/18/2026 4:35:49 PM"), twenty);
    EXPECT_EQ(CipherKey::FromText("12/18/2026 4:35:49 PFFFFFFFF"), twenty);
    EXPECT_EQ(twenty.bytes(), (CipherKey::Bytes{0x12, 0x01, 0x80, 0x20, 0x26, 0x04, 0x03, 0x50, 0x49, 0x00}));
    const Block b = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(SetCipherKey("12/18/2026 4:35:49 PM").EncryptBlock(b), SetCipherKey("12/18/2026 4:35:49 PX").EncryptBlock(b));
}
