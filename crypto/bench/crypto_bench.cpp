// Our Skipjack beside Crypto++'s SKIPJACK, in the same run: single blocks,
// runs of blocks, and the whole enciphered-text form (key setup, chunking,
// hex) for a typical credential and a long text.

#include "crypto/credential_text.h"
#include "crypto/hex.h"
#include "crypto/skipjack.h"

#include <benchmark/benchmark.h>
#include <cryptopp/skipjack.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace pelex::crypto;

constexpr std::string_view kKeyText = "12/8/2026 4:35:49 PM";
const std::string kShortText = "voip1000pass";  // two blocks, like a password
const std::string kLongText(600, 'x');          // a hundred blocks

// The same text form as EncryptText, built on Crypto++ (which takes key and
// block bytes in reverse order).
std::string cryptoppEncryptText(std::string_view plain, std::string_view keyText) {
    if (plain.empty()) return {};
    CipherKey::Bytes key = CipherKey::FromText(keyText).bytes();
    std::reverse(key.begin(), key.end());
    CryptoPP::SKIPJACK::Encryption cipher(key.data(), key.size());
    std::string out;
    out.reserve((plain.size() + 5) / 6 * 16);
    for (std::size_t at = 0; at < plain.size(); at += 6) {
        Block block{};
        std::fill_n(block.begin(), 6, std::uint8_t{' '});
        const std::string_view chunk = plain.substr(at, 6);
        std::copy(chunk.begin(), chunk.end(), block.begin());
        std::reverse(block.begin(), block.end());
        Block enciphered;
        cipher.ProcessBlock(block.data(), enciphered.data());
        for (auto i = enciphered.rbegin(); i != enciphered.rend(); ++i) appendHexByte(out, *i);
    }
    return out;
}

void Ours_EncryptBlock(benchmark::State& state) {
    const Skipjack cipher = SetCipherKey(kKeyText);
    Block block = {1, 2, 3, 4, 5, 6, 7, 8};
    for (auto _ : state) {
        block = cipher.EncryptBlock(block);
        benchmark::DoNotOptimize(block);
    }
    state.SetBytesProcessed(state.iterations() * 8);
}

void Cryptopp_EncryptBlock(benchmark::State& state) {
    CryptoPP::SKIPJACK::Encryption cipher(CipherKey::FromText(kKeyText).bytes().data(), 10);
    Block block = {1, 2, 3, 4, 5, 6, 7, 8};
    for (auto _ : state) {
        cipher.ProcessBlock(block.data());
        benchmark::DoNotOptimize(block);
    }
    state.SetBytesProcessed(state.iterations() * 8);
}

void Ours_DecryptBlock(benchmark::State& state) {
    const Skipjack cipher = SetCipherKey(kKeyText);
    Block block = {1, 2, 3, 4, 5, 6, 7, 8};
    for (auto _ : state) {
        block = cipher.DecryptBlock(block);
        benchmark::DoNotOptimize(block);
    }
    state.SetBytesProcessed(state.iterations() * 8);
}

void Cryptopp_DecryptBlock(benchmark::State& state) {
    CryptoPP::SKIPJACK::Decryption cipher(CipherKey::FromText(kKeyText).bytes().data(), 10);
    Block block = {1, 2, 3, 4, 5, 6, 7, 8};
    for (auto _ : state) {
        cipher.ProcessBlock(block.data());
        benchmark::DoNotOptimize(block);
    }
    state.SetBytesProcessed(state.iterations() * 8);
}

// 64 independent blocks (electronic codebook).
void Ours_EncryptBlocks64(benchmark::State& state) {
    const Skipjack cipher = SetCipherKey(kKeyText);
    std::vector<Block> blocks(64, Block{1, 2, 3, 4, 5, 6, 7, 8});
    for (auto _ : state) {
        cipher.EncryptBlocks(blocks);
        benchmark::DoNotOptimize(blocks.data());
    }
    state.SetBytesProcessed(state.iterations() * 64 * 8);
}

void Cryptopp_EncryptBlocks64(benchmark::State& state) {
    CryptoPP::SKIPJACK::Encryption cipher(CipherKey::FromText(kKeyText).bytes().data(), 10);
    std::vector<Block> blocks(64, Block{1, 2, 3, 4, 5, 6, 7, 8});
    auto* bytes = blocks.front().data();
    for (auto _ : state) {
        cipher.AdvancedProcessBlocks(bytes, nullptr, bytes, blocks.size() * 8, 0);
        benchmark::DoNotOptimize(blocks.data());
    }
    state.SetBytesProcessed(state.iterations() * 64 * 8);
}

void Ours_KeySetup(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(SetCipherKey(kKeyText));
}

void Cryptopp_KeySetup(benchmark::State& state) {
    const auto key = CipherKey::FromText(kKeyText).bytes();
    CryptoPP::SKIPJACK::Encryption cipher;
    for (auto _ : state) {
        cipher.SetKey(key.data(), key.size());
        benchmark::ClobberMemory();
    }
}

template <const std::string* text>
void Ours_EncryptText(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(EncryptText(*text, kKeyText));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text->size()));
}

template <const std::string* text>
void Cryptopp_EncryptText(benchmark::State& state) {
    if (cryptoppEncryptText(*text, kKeyText) != EncryptText(*text, kKeyText)) {
        state.SkipWithError("the two text forms differ");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(cryptoppEncryptText(*text, kKeyText));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text->size()));
}

template <const std::string* text>
void Ours_DecryptText(benchmark::State& state) {
    const std::string hex = EncryptText(*text, kKeyText);
    for (auto _ : state) benchmark::DoNotOptimize(DecryptText(hex, kKeyText));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text->size()));
}

}  // namespace

BENCHMARK(Ours_EncryptBlock);
BENCHMARK(Cryptopp_EncryptBlock);
BENCHMARK(Ours_DecryptBlock);
BENCHMARK(Cryptopp_DecryptBlock);
BENCHMARK(Ours_EncryptBlocks64);
BENCHMARK(Cryptopp_EncryptBlocks64);
BENCHMARK(Ours_KeySetup);
BENCHMARK(Cryptopp_KeySetup);
BENCHMARK_TEMPLATE(Ours_EncryptText, &kShortText)->Name("Ours_EncryptText/12chars");
BENCHMARK_TEMPLATE(Cryptopp_EncryptText, &kShortText)->Name("Cryptopp_EncryptText/12chars");
BENCHMARK_TEMPLATE(Ours_EncryptText, &kLongText)->Name("Ours_EncryptText/600chars");
BENCHMARK_TEMPLATE(Cryptopp_EncryptText, &kLongText)->Name("Cryptopp_EncryptText/600chars");
BENCHMARK_TEMPLATE(Ours_DecryptText, &kShortText)->Name("Ours_DecryptText/12chars");

BENCHMARK_MAIN();
