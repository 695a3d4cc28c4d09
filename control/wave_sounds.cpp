#include "control/wave_sounds.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string_view>
#include <vector>

namespace pelex::control {

namespace {

constexpr std::uint32_t kRate = 22050;

class WaveWriter {
public:
    void text(std::string_view s) { for (char c : s) bytes.push_back(static_cast<std::byte>(c)); }
    void u16(std::uint32_t v) { for (int i = 0; i < 2; ++i) bytes.push_back(static_cast<std::byte>(v >> (8 * i))); }
    void u32(std::uint32_t v) { for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::byte>(v >> (8 * i))); }
    std::vector<std::byte> bytes;
};

// Header of a mono PCM image whose sample data follow directly.
std::vector<std::byte> waveHeader(std::uint32_t dataBytes, std::uint32_t bitsPerSample) {
    const std::uint32_t blockAlign = bitsPerSample / 8;
    WaveWriter w;
    w.text("RIFF");
    w.u32(36 + dataBytes);
    w.text("WAVE");
    w.text("fmt ");
    w.u32(16);
    w.u16(1);  // PCM
    w.u16(1);  // mono
    w.u32(kRate);
    w.u32(kRate * blockAlign);
    w.u16(blockAlign);
    w.u16(bitsPerSample);
    w.text("data");
    w.u32(dataBytes);
    return std::move(w.bytes);
}

// Gain of a short linear fade at both ends of a burst, 0 outside it.
double burstGain(double t, double start, double end, double fade) {
    if (t < start || t >= end) return 0.0;
    return std::min({1.0, (t - start) / fade, (end - t) / fade});
}

// A telephone bell: two bursts of a trill between 1200 and 960 Hz.
std::vector<std::byte> makeRing() {
    constexpr std::uint32_t samples = 38886 / 2;
    auto image = waveHeader(samples * 2, 16);
    double phase = 0.0;
    for (std::uint32_t i = 0; i < samples; ++i) {
        const double t = double(i) / kRate;
        const double freq = std::fmod(t, 0.05) < 0.025 ? 1200.0 : 960.0;
        phase += 2 * std::numbers::pi * freq / kRate;
        const double gain = burstGain(t, 0.0, 0.40, 0.005) + burstGain(t, 0.46, 0.86, 0.005);
        const auto v = static_cast<std::int16_t>(std::lround(0.45 * 32767 * gain * std::sin(phase)));
        const auto u = static_cast<std::uint16_t>(v);
        image.push_back(static_cast<std::byte>(u & 0xFF));
        image.push_back(static_cast<std::byte>(u >> 8));
    }
    return image;
}

// The ring-back tone: 440 Hz and 480 Hz together, faded in and out.
std::vector<std::byte> makeRingBack() {
    constexpr std::uint32_t samples = 14532;
    auto image = waveHeader(samples, 8);
    for (std::uint32_t i = 0; i < samples; ++i) {
        const double t = double(i) / kRate;
        const double gain = burstGain(t, 0.0, double(samples) / kRate, 0.01);
        const double v = 0.35 * gain *
                         (std::sin(2 * std::numbers::pi * 440 * t) + std::sin(2 * std::numbers::pi * 480 * t));
        image.push_back(static_cast<std::byte>(std::clamp<long>(std::lround(128 + 127 * v), 0, 255)));
    }
    return image;
}

}  // namespace

std::span<const std::byte> waveResource(int id) {
    static const std::vector<std::byte> ring = makeRing();
    static const std::vector<std::byte> ringBack = makeRingBack();
    if (id == kRingSound) return ring;
    if (id == kRingBackSound) return ringBack;
    return {};
}

}  // namespace pelex::control

namespace pelex::control {

namespace {
std::uint32_t le(std::span<const std::byte> b, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | std::to_integer<std::uint32_t>(b[at + i]);
    return v;
}
bool tagAt(std::span<const std::byte> b, std::size_t at, std::string_view tag) {
    for (std::size_t i = 0; i < 4; ++i)
        if (b[at + i] != static_cast<std::byte>(tag[i])) return false;
    return true;
}
}  // namespace

std::optional<PcmWave> parsePcmWave(std::span<const std::byte> image) {
    if (image.size() < 12 || !tagAt(image, 0, "RIFF") || !tagAt(image, 8, "WAVE")) return std::nullopt;
    if (le(image, 4, 4) + 8 != image.size()) return std::nullopt;
    PcmWave wave;
    bool haveFormat = false;
    for (std::size_t at = 12; at + 8 <= image.size();) {
        const std::size_t size = le(image, at + 4, 4);
        if (size > image.size() - at - 8) return std::nullopt;
        if (tagAt(image, at, "fmt ")) {
            if (size < 16 || le(image, at + 8, 2) != 1) return std::nullopt;  // PCM only
            wave.channels = int(le(image, at + 10, 2));
            wave.sampleRate = int(le(image, at + 12, 4));
            wave.bitsPerSample = int(le(image, at + 22, 2));
            haveFormat = true;
        } else if (tagAt(image, at, "data")) {
            if (!haveFormat) return std::nullopt;
            wave.samples = image.subspan(at + 8, size);
            return wave;
        }
        at += 8 + size + (size & 1);
    }
    return std::nullopt;
}

}  // namespace pelex::control
