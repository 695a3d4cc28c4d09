// Our Skipjack against Crypto++'s, an independent implementation. Crypto++
// takes the key bytes and the block bytes in the reverse order, so both are
// reversed around every call.

#include "crypto/skipjack.h"

#include <cryptopp/skipjack.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

using namespace pelex::crypto;

namespace {

class Reference {
public:
    explicit Reference(const CipherKey::Bytes& key) {
        CipherKey::Bytes reversed = key;
        std::reverse(reversed.begin(), reversed.end());
        enc_.SetKey(reversed.data(), reversed.size());
        dec_.SetKey(reversed.data(), reversed.size());
    }
    Block encrypt(const Block& b) const { return run(enc_, b); }
    Block decrypt(const Block& b) const { return run(dec_, b); }

private:
    static Block run(const CryptoPP::BlockTransformation& t, Block b) {
        std::reverse(b.begin(), b.end());
        Block out;
        t.ProcessBlock(b.data(), out.data());
        std::reverse(out.begin(), out.end());
        return out;
    }
    CryptoPP::SKIPJACK::Encryption enc_;
    CryptoPP::SKIPJACK::Decryption dec_;
};

template <class Random>
Block randomBlock(Random& random) {
    Block b;
    for (auto& byte : b) byte = static_cast<std::uint8_t>(random());
    return b;
}

}  // namespace

TEST(SkipjackAgainstCryptopp, ReversalTurnsTheirVectorIntoThePublishedOne) {
    // Their own test data, read backwards, is the published vector.
    const Reference ref({0x00, 0x99, 0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11});
    EXPECT_EQ(ref.encrypt({0x33, 0x22, 0x11, 0x00, 0xdd, 0xcc, 0xbb, 0xaa}),
              (Block{0x25, 0x87, 0xca, 0xe2, 0x7a, 0x12, 0xd3, 0x00}));
}

TEST(SkipjackAgainstCryptopp, ThousandsOfRandomKeysAndBlocksAgree) {
    std::mt19937_64 random(20261208);
    int compared = 0;
    for (int k = 0; k < 4000; ++k) {
        CipherKey::Bytes key;
        for (auto& byte : key) byte = static_cast<std::uint8_t>(random());
        const Skipjack ours{CipherKey(key)};
        const Reference ref(key);
        std::vector<Block> run;
        for (int n = 0; n < 5; ++n) {
            const Block plain = randomBlock(random);
            const Block cipher = ours.EncryptBlock(plain);
            ASSERT_EQ(cipher, ref.encrypt(plain)) << "key " << k << " block " << n;
            const Block other = randomBlock(random);
            ASSERT_EQ(ours.DecryptBlock(other), ref.decrypt(other)) << "key " << k << " block " << n;
            run.push_back(plain);
            compared += 2;
        }
        // The side-by-side path as well.
        std::vector<Block> expected;
        for (const Block& b : run) expected.push_back(ref.encrypt(b));
        ours.EncryptBlocks(run);
        ASSERT_EQ(run, expected) << "key " << k;
    }
    EXPECT_EQ(compared, 40000);
}

TEST(SkipjackAgainstCryptopp, KeyTextsAgreeThroughTheKeyRule) {
    // Date-and-time key texts as the phone makes them, through both ciphers.
    const char* texts[] = {"12/8/2026 4:35:49 PM", "1/1/2000 12:00:00 AM", "31.12.2026 23:59:59", ""};
    std::mt19937_64 random(3);
    for (const char* text : texts) {
        const Skipjack ours = SetCipherKey(text);
        const Reference ref(CipherKey::FromText(text).bytes());
        for (int n = 0; n < 100; ++n) {
            const Block b = randomBlock(random);
            ASSERT_EQ(ours.EncryptBlock(b), ref.encrypt(b)) << text;
        }
    }
}
