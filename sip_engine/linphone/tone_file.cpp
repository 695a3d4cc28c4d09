#include "sip_engine/linphone/tone_file.h"

#include <cmath>
#include <cstdint>
#include <fstream>
#include <numbers>
#include <vector>

#include "sip_engine/rtc/rtc_error.h"

namespace pelex::sip_engine::linphone_rtc {
namespace {

void put16(std::ofstream& out, std::uint16_t v) {
    const char bytes[2] = {static_cast<char>(v & 0xff), static_cast<char>(v >> 8)};
    out.write(bytes, 2);
}
void put32(std::ofstream& out, std::uint32_t v) {
    put16(out, static_cast<std::uint16_t>(v & 0xffff));
    put16(out, static_cast<std::uint16_t>(v >> 16));
}

void writeWave(const std::filesystem::path& path, double frequency, double amplitude) {
    constexpr std::uint32_t kRate = 8000, kSeconds = 10, kSamples = kRate * kSeconds;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw rtc::RTCError("cannot write " + path.string());
    out.write("RIFF", 4);
    put32(out, 36 + kSamples * 2);
    out.write("WAVEfmt ", 8);
    put32(out, 16);
    put16(out, 1);  // PCM
    put16(out, 1);  // mono
    put32(out, kRate);
    put32(out, kRate * 2);
    put16(out, 2);
    put16(out, 16);
    out.write("data", 4);
    put32(out, kSamples * 2);
    for (std::uint32_t i = 0; i < kSamples; ++i) {
        const double sample = amplitude * std::sin(2.0 * std::numbers::pi * frequency * i / kRate);
        put16(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(sample))));
    }
    if (!out) throw rtc::RTCError("cannot write " + path.string());
}

}  // namespace

void writeToneFile(const std::filesystem::path& path) { writeWave(path, 440.0, 6000.0); }
void writeSilenceFile(const std::filesystem::path& path) { writeWave(path, 0.0, 0.0); }

}  // namespace pelex::sip_engine::linphone_rtc
