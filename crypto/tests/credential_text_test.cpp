#include "crypto/credential_text.h"

#include "crypto/hex.h"
#include "crypto/skipjack.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <random>

using namespace pelex::crypto;

namespace {

constexpr std::string_view kKey = "12/8/2026 4:35:49 PM";

std::string hexOf(const Block& b) {
    std::string out;
    for (auto byte : b) appendHexByte(out, byte);
    return out;
}

Block blockOf(std::string_view bytes) {
    Block b{};
    std::copy(bytes.begin(), bytes.end(), b.begin());
    return b;
}

bool isUpperHex(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); });
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

TEST(EncryptText, EmptyTextGivesEmptyText) {
    EXPECT_EQ(EncryptText("", kKey), "");
    EXPECT_EQ(EncryptText("", ""), "");
}

TEST(EncryptText, EachChunkOfSixIsOneSpaceFilledBlockWithTwoZeroBytes) {
    const Skipjack cipher = SetCipherKey(kKey);
    const std::string six = EncryptText("secret", kKey);
    EXPECT_EQ(six, hexOf(cipher.EncryptBlock(blockOf(std::string_view("secret\0\0", 8)))));
    const std::string seven = EncryptText("secrets", kKey);
    ASSERT_EQ(seven.size(), 32u);
    EXPECT_EQ(seven.substr(0, 16), six);
    EXPECT_EQ(seven.substr(16), hexOf(cipher.EncryptBlock(blockOf(std::string_view("s     \0\0", 8)))));
    EXPECT_EQ(EncryptText("ab", kKey), hexOf(cipher.EncryptBlock(blockOf(std::string_view("ab    \0\0", 8)))));
}

TEST(EncryptText, LengthIsSixteenDigitsPerStartedChunkInUpperCase) {
    for (std::size_t n = 1; n <= 25; ++n) {
        const std::string out = EncryptText(std::string(n, 'x'), kKey);
        EXPECT_EQ(out.size(), 16 * ((n + 5) / 6)) << n;
        EXPECT_TRUE(isUpperHex(out)) << out;
    }
}

TEST(EncryptText, NoChainingBetweenBlocks) {
    // Equal chunks encipher to equal blocks (codebook use).
    const std::string out = EncryptText("123456123456", kKey);
    EXPECT_EQ(out.substr(0, 16), out.substr(16));
}

TEST(DecryptText, PublishedVectorStopsAtItsZeroByte) {
    // The published ciphertext under its key deciphers to 33 22 11 00 DD CC
    // BB AA; the zero byte ends the block's text after three bytes.
    EXPECT_EQ(DecryptText("2587CAE27A12D300", "00998877665544332211"), "\x33\x22\x11");
    EXPECT_EQ(DecryptText("2587cae27a12d300", "00998877665544332211"), "\x33\x22\x11");
}

TEST(DecryptText, UndoesEncryptTextUpToTheFillerSpaces) {
    std::mt19937_64 random(5);
    for (int n = 0; n < 300; ++n) {
        std::string plain(random() % 40, '\0');
        for (char& c : plain) c = static_cast<char>(1 + random() % 255);  // any byte but 0
        std::string key(random() % 22, '\0');
        for (char& c : key) c = static_cast<char>(random());
        std::string padded = plain;
        padded.append((6 - plain.size() % 6) % 6, ' ');
        EXPECT_EQ(DecryptText(EncryptText(plain, key), key), padded);
    }
}

TEST(DecryptText, AcceptsLowerCaseDigits) {
    const std::string hex = EncryptText("caf\xe9 \x80uro", kKey);
    ASSERT_NE(lower(hex), hex);
    EXPECT_EQ(DecryptText(lower(hex), kKey), "caf\xe9 \x80uro   ");
}

TEST(DecryptText, OnlyWholeGroupsOfSixteenCount) {
    const std::string hex = EncryptText("abcdef", kKey);
    EXPECT_EQ(DecryptText(hex + "ABCD", kKey), "abcdef");
    EXPECT_EQ(DecryptText(hex.substr(0, 15), kKey), "");
    EXPECT_EQ(DecryptText("", kKey), "");
}

TEST(DecryptText, FirstZeroByteEndsTheBlock) {
    const Skipjack cipher = SetCipherKey(kKey);
    const std::string hex = hexOf(cipher.EncryptBlock(blockOf(std::string_view("abc\0ef\0\0", 8)))) +
                            hexOf(cipher.EncryptBlock(blockOf(std::string_view("\0xyz\0\0\0\0", 8)))) +
                            hexOf(cipher.EncryptBlock(blockOf("12345678")));
    // The second block starts with zero and gives nothing; the next block still counts.
    EXPECT_EQ(DecryptText(hex, kKey), "abc12345678");
}

TEST(DecryptText, NonHexCharactersCountAsZero) {
    const std::string hex = EncryptText("abcdef", kKey);
    std::string damaged = hex, zeroed = hex;
    for (std::size_t i : {0u, 5u, 15u}) {
        damaged[i] = "Gz -"[i % 4];
        zeroed[i] = '0';
    }
    EXPECT_EQ(DecryptText(damaged, kKey), DecryptText(zeroed, kKey));
    EXPECT_NE(DecryptText(zeroed, kKey), "abcdef");
}

TEST(DecryptText, AnotherKeyTextGivesAnotherText) {
    const std::string hex = EncryptText("password", "12/8/2026 4:35:49 PM");
    EXPECT_EQ(DecryptText(hex, "12/8/2026 4:35:49 PM"), "password    ");
    EXPECT_EQ(DecryptText(hex, "12/8/2026 4:35:49 pm"), "password    ");  // p and m both count 0
    EXPECT_NE(DecryptText(hex, "12/8/2026 4:35:49 AM"), "password    ");
}
