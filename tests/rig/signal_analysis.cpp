#include "tests/rig/signal_analysis.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numbers>
#include <stdexcept>
#include <string>

namespace pelex::testing {
namespace {

std::uint32_t le32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24); }
std::uint16_t le16(const unsigned char* p) { return std::uint16_t(p[0] | (p[1] << 8)); }

void put(std::ofstream& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xff));
}

}  // namespace

Audio readWav(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path.string());
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto fail = [&](const std::string& why) { return std::runtime_error(path.string() + ": " + why); };
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
        throw fail("not a RIFF/WAVE file");
    int channels = 0, bits = 0;
    Audio audio;
    const unsigned char* data = nullptr;
    std::size_t dataBytes = 0;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const unsigned char* chunk = bytes.data() + at;
        std::size_t size = le32(chunk + 4);
        const std::size_t available = bytes.size() - at - 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (size < 16 || size > available) throw fail("bad format chunk");
            if (le16(chunk + 8) != 1) throw fail("not PCM");
            channels = le16(chunk + 10);
            audio.rate = static_cast<int>(le32(chunk + 12));
            bits = le16(chunk + 22);
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            // A recorder that was stopped early may leave the size unset or too big.
            size = std::min(size, available);
            data = chunk + 8;
            dataBytes = size;
        }
        at += 8 + size + (size & 1);
    }
    if (channels <= 0 || audio.rate <= 0 || (bits != 8 && bits != 16)) throw fail("unsupported format");
    if (data == nullptr) throw fail("no data chunk");
    const std::size_t frameBytes = std::size_t(channels) * (bits / 8);
    const std::size_t frames = dataBytes / frameBytes;
    audio.samples.reserve(frames);
    for (std::size_t f = 0; f < frames; ++f) {
        long sum = 0;
        for (int c = 0; c < channels; ++c) {
            const unsigned char* s = data + f * frameBytes + std::size_t(c) * (bits / 8);
            sum += bits == 8 ? (long(s[0]) - 128) * 256 : long(std::int16_t(le16(s)));
        }
        audio.samples.push_back(static_cast<std::int16_t>(sum / channels));
    }
    return audio;
}

void writeWav(const std::filesystem::path& path, const Audio& audio) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot write " + path.string());
    const auto dataBytes = static_cast<std::uint32_t>(audio.samples.size() * 2);
    out.write("RIFF", 4);
    put(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    put(out, 16, 4);
    put(out, 1, 2);
    put(out, 1, 2);
    put(out, static_cast<std::uint32_t>(audio.rate), 4);
    put(out, static_cast<std::uint32_t>(audio.rate) * 2, 4);
    put(out, 2, 2);
    put(out, 16, 2);
    out.write("data", 4);
    put(out, dataBytes, 4);
    for (std::int16_t s : audio.samples) put(out, static_cast<std::uint16_t>(s), 2);
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::vector<std::int16_t> makeTone(double frequency, double seconds, int rate, double peak) {
    const auto count = static_cast<std::size_t>(std::lround(seconds * rate));
    std::vector<std::int16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i)
        samples[i] = static_cast<std::int16_t>(std::lround(peak * std::sin(2 * std::numbers::pi * frequency * double(i) / rate)));
    return samples;
}

namespace {

// The loudness of sample `i` of speech-like syllables: 200 ms on with soft
// 20 ms edges, 100 ms off, stressed and unstressed in turn.
double syllableEnvelope(std::size_t i, int rate) {
    const auto syllable = static_cast<std::size_t>(rate / 5), period = static_cast<std::size_t>(rate * 3 / 10);
    const auto edge = static_cast<std::size_t>(rate / 50);
    constexpr double kLevels[] = {1.0, 0.6, 0.85, 0.5, 0.75};
    const std::size_t at = i % period;
    if (at >= syllable) return 0;
    const std::size_t fromEdge = std::min(at, syllable - 1 - at);
    const double envelope =
        fromEdge >= edge ? 1.0 : 0.5 - 0.5 * std::cos(std::numbers::pi * double(fromEdge) / double(edge));
    return kLevels[(i / period) % std::size(kLevels)] * envelope;
}

}  // namespace

std::vector<std::int16_t> makeSyllables(double frequency, double seconds, int rate, double peak) {
    const auto count = static_cast<std::size_t>(std::lround(seconds * rate));
    std::vector<std::int16_t> samples(count, 0);
    for (std::size_t i = 0; i < count; ++i)
        samples[i] = static_cast<std::int16_t>(std::lround(
            peak * syllableEnvelope(i, rate) * std::sin(2 * std::numbers::pi * frequency * double(i) / rate)));
    return samples;
}

std::vector<std::int16_t> makeVoicedSyllables(double frequency, double seconds, int rate, double peak) {
    const auto count = static_cast<std::size_t>(std::lround(seconds * rate));
    // A voice: harmonics falling off as 1/h under a pitch that glides around
    // 125 Hz, up to 3.4 kHz (a telephone's band); half of each syllable's loudness, the tone the other half.
    std::vector<double> voice(count);
    double phase = 0, loudest = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double t = double(i) / rate, pitch = 125 * (1 + 0.1 * std::sin(2 * std::numbers::pi * 1.3 * t));
        phase += 2 * std::numbers::pi * pitch / rate;
        double v = 0;
        for (int h = 1; h * pitch < 3400; ++h) v += std::sin(h * phase) / h;
        voice[i] = v;
        loudest = std::max(loudest, std::abs(v));
    }
    std::vector<std::int16_t> samples(count, 0);
    for (std::size_t i = 0; i < count; ++i) {
        const double tone = std::sin(2 * std::numbers::pi * frequency * double(i) / rate);
        samples[i] = static_cast<std::int16_t>(
            std::lround(peak * syllableEnvelope(i, rate) * (0.5 * tone + 0.5 * voice[i] / loudest)));
    }
    return samples;
}

std::vector<std::int16_t> makeSilence(double seconds, int rate) {
    return std::vector<std::int16_t>(static_cast<std::size_t>(std::lround(seconds * rate)), 0);
}

double toneLevel(std::span<const std::int16_t> samples, int rate, double frequency, int blockMs) {
    const auto blocks = toneBlocks(samples, rate, frequency, blockMs);
    if (blocks.empty()) return 0;
    double power = 0;
    for (const auto& b : blocks) power += b.amplitude * b.amplitude;
    return std::sqrt(power / double(blocks.size()));
}

EchoLevel echoLevel(std::span<const std::int16_t> heard, int rate, double frequency, double from, double to) {
    const auto first = std::min(heard.size(), static_cast<std::size_t>(std::max(0.0, from) * rate));
    const auto last = std::clamp(static_cast<std::size_t>(std::max(0.0, to) * rate), first, heard.size());
    const auto part = heard.subspan(first, last - first);
    EchoLevel echo;
    echo.level = toneLevel(part, rate, frequency);
    for (const auto& b : toneBlocks(part, rate, frequency, 250)) echo.quarters.push_back(b.amplitude);
    return echo;
}

EchoReduction echoReduction(const EchoLevel& without, const EchoLevel& with, double quietDb) {
    EchoReduction r;
    if (without.level <= 0) return r;
    r.db = 20 * std::log10(without.level / std::max(with.level, 1.0));
    const double quiet = without.level * std::pow(10.0, -quietDb / 20);
    if (!with.quarters.empty())
        r.quietShare = double(std::ranges::count_if(with.quarters, [&](double a) { return a <= quiet; })) /
                       double(with.quarters.size());
    return r;
}

double rms(std::span<const std::int16_t> samples) {
    if (samples.empty()) return 0;
    double sum = 0;
    for (std::int16_t s : samples) sum += double(s) * s;
    return std::sqrt(sum / double(samples.size()));
}

double toneAmplitude(std::span<const std::int16_t> samples, int rate, double frequency) {
    const std::size_t n = samples.size();
    if (n < 2) return 0;
    const double omega = 2 * std::numbers::pi * frequency / rate;
    const double coeff = 2 * std::cos(omega);
    double s1 = 0, s2 = 0, windowSum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * double(i) / double(n - 1));
        windowSum += w;
        const double s0 = w * samples[i] + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = std::max(0.0, s1 * s1 + s2 * s2 - coeff * s1 * s2);
    return 2 * std::sqrt(power) / windowSum;
}

std::vector<ToneBlock> toneBlocks(std::span<const std::int16_t> samples, int rate, double frequency, int blockMs) {
    const std::size_t block = std::max<std::size_t>(2, std::size_t(rate) * std::size_t(blockMs) / 1000);
    std::vector<ToneBlock> blocks;
    for (std::size_t start = 0; start + block <= samples.size(); start += block) {
        const auto part = samples.subspan(start, block);
        ToneBlock b;
        b.start = start;
        b.amplitude = toneAmplitude(part, rate, frequency);
        const double level = rms(part);
        b.share = level > 0 ? std::min(1.0, (b.amplitude * b.amplitude / 2) / (level * level)) : 0.0;
        blocks.push_back(b);
    }
    return blocks;
}

namespace {
bool present(const ToneBlock& b, const ToneCriteria& c) { return b.amplitude >= c.minAmplitude && b.share >= c.minShare; }
}  // namespace

std::optional<std::size_t> toneOnset(std::span<const std::int16_t> samples, int rate, double frequency,
                                     const ToneCriteria& criteria) {
    const auto blocks = toneBlocks(samples, rate, frequency, criteria.blockMs);
    int run = 0;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        run = present(blocks[i], criteria) ? run + 1 : 0;
        if (run >= std::max(1, criteria.minBlocks)) return blocks[i + 1 - std::size_t(run)].start;
    }
    return std::nullopt;
}

double toneSeconds(std::span<const std::int16_t> samples, int rate, double frequency, const ToneCriteria& criteria) {
    const auto blocks = toneBlocks(samples, rate, frequency, criteria.blockMs);
    const auto hits = std::count_if(blocks.begin(), blocks.end(), [&](const ToneBlock& b) { return present(b, criteria); });
    return double(hits) * criteria.blockMs / 1000.0;
}

double toneContinuity(std::span<const std::int16_t> samples, int rate, double frequency, int blockMs,
                      double minRatio) {
    const auto blocks = toneBlocks(samples, rate, frequency, blockMs);
    if (blocks.empty()) return 0;
    std::vector<double> levels;
    for (const auto& b : blocks) levels.push_back(b.amplitude);
    std::nth_element(levels.begin(), levels.begin() + levels.size() / 2, levels.end());
    const double usual = levels[levels.size() / 2];
    if (usual < 500) return 0;
    const auto held = std::count_if(blocks.begin(), blocks.end(), [&](const ToneBlock& b) {
        return b.amplitude >= minRatio * usual && b.share >= 0.5;
    });
    return double(held) / double(blocks.size());
}

std::optional<std::size_t> firstAbove(std::span<const std::int16_t> samples, int threshold, std::size_t from) {
    for (std::size_t i = from; i < samples.size(); ++i)
        if (std::abs(int(samples[i])) >= threshold) return i;
    return std::nullopt;
}

}  // namespace pelex::testing
