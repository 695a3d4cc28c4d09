// The sound tests' signal tools on signals whose answers are known.
#include "tests/rig/signal_analysis.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cmath>
#include <fstream>
#include <random>

namespace pelex::testing {
namespace {

std::vector<std::int16_t> concat(std::initializer_list<std::vector<std::int16_t>> parts) {
    std::vector<std::int16_t> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

std::vector<std::int16_t> noise(double seconds, int rate, double peak, unsigned seed = 7) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> uniform(-peak, peak);
    std::vector<std::int16_t> out(static_cast<std::size_t>(seconds * rate));
    for (auto& s : out) s = static_cast<std::int16_t>(uniform(random));
    return out;
}

TEST(SignalAnalysis, ToneAmplitudeReadsThePeakOnAndBetweenBinsAndIgnoresOtherFrequencies) {
    constexpr int rate = 8000;
    // 1000 Hz sits on a bin of a 50 ms block; 1010 Hz lies halfway between two.
    for (double f : {1000.0, 1010.0, 437.0}) {
        const auto tone = makeTone(f, 0.05, rate, 8000);
        EXPECT_NEAR(toneAmplitude(tone, rate, f), 8000, 8000 * 0.15) << f;
    }
    const auto other = makeTone(1500, 0.05, rate, 8000);
    EXPECT_LT(toneAmplitude(other, rate, 1000), 8000 * 0.02);
    EXPECT_EQ(toneAmplitude(makeSilence(0.05, rate), rate, 1000), 0);
    // A resampling chain moves a tone by a few hertz: still found.
    EXPECT_GT(toneAmplitude(makeTone(1003, 0.05, rate, 8000), rate, 1000), 8000 * 0.8);
}

TEST(SignalAnalysis, SyllablesCarryTheToneTwoThirdsOfTheTimeInBurstsOfVaryingLoudness) {
    constexpr int rate = 8000;
    const auto speech = makeSyllables(700, 3.0, rate, 8000);
    ASSERT_EQ(speech.size(), 3u * rate);
    ToneCriteria quietToo;
    quietToo.minAmplitude = 2000;
    EXPECT_NEAR(toneSeconds(speech, rate, 700, quietToo), 2.0, 0.25);
    // Pauses between the syllables, and no syllable as loud as the next.
    const auto blocks = toneBlocks(speech, rate, 700);
    int pauses = 0;
    double loudest = 0, quietest = 1e9;
    for (const auto& b : blocks) {
        if (b.amplitude < 100) ++pauses;
        else if (b.share > 0.9) loudest = std::max(loudest, b.amplitude), quietest = std::min(quietest, b.amplitude);
    }
    EXPECT_GE(pauses, 9) << "a pause after each of the ten syllables";
    EXPECT_NEAR(loudest, 8000, 8000 * 0.15);
    EXPECT_LT(quietest, 0.6 * loudest);
    EXPECT_EQ(toneSeconds(speech, rate, 1500), 0);
    // Its level: a steady tone's peak, less for pauses and quieter syllables;
    // 6 dB down halves it.
    EXPECT_NEAR(toneLevel(makeTone(700, 1.0, rate, 8000), rate, 700), 8000, 8000 * 0.05);
    const double level = toneLevel(speech, rate, 700);
    EXPECT_GT(level, 8000 * 0.4);
    EXPECT_LT(level, 8000 * 0.8);
    EXPECT_NEAR(toneLevel(makeSyllables(700, 3.0, rate, 4000), rate, 700), level / 2, level * 0.05);
    EXPECT_LT(toneLevel(speech, rate, 1500), 8000 * 0.02);

    // Spoken, the same syllables carry the tone at half their loudness and a
    // voice across the band, silent in the same pauses.
    const auto voiced = makeVoicedSyllables(700, 3.0, rate, 8000);
    ASSERT_EQ(voiced.size(), speech.size());
    EXPECT_NEAR(toneLevel(voiced, rate, 700), level / 2, level * 0.1);
    for (std::size_t pause = rate / 5; pause < voiced.size(); pause += rate * 3 / 10)
        EXPECT_EQ(rms(std::span(voiced).subspan(pause, rate / 10)), 0) << "a pause at sample " << pause;
    const double whole = rms(voiced), toneOnly = rms(makeSyllables(700, 3.0, rate, 4000));
    EXPECT_GT(whole, toneOnly * 1.2) << "more than the tone";
    EXPECT_GT(toneLevel(voiced, rate, 250) + toneLevel(voiced, rate, 2500), 100) << "sound low and high in the band";
    EXPECT_LE(*std::ranges::max_element(voiced, {}, [](std::int16_t v) { return std::abs(v); }), 8000);
}

TEST(SignalAnalysis, EchoReductionIsTheLevelsRatioAndTheShareOfQuarterSecondsFarEnoughDown) {
    constexpr int rate = 8000;
    const auto echo = makeTone(1000, 4.0, rate, 2000);
    // Cancelled 40 dB except for a burst of one second at full strength.
    auto cancelled = makeTone(1000, 4.0, rate, 20);
    std::copy_n(echo.begin() + 2 * rate, rate, cancelled.begin() + 2 * rate);
    const auto without = echoLevel(echo, rate, 1000, 0.5, 4.0), with = echoLevel(cancelled, rate, 1000, 0.5, 4.0);
    EXPECT_NEAR(without.level, 2000, 100);
    ASSERT_EQ(with.quarters.size(), 14u) << "quarter seconds from 0.5 s to 4 s";
    const auto r = echoReduction(without, with);
    EXPECT_NEAR(r.db, 10 * std::log10(3.5), 0.5) << "one second of full echo in three and a half";
    EXPECT_NEAR(r.quietShare, 10.0 / 14, 0.01);
    EXPECT_NEAR(echoReduction(without, without).db, 0, 0.01);
    EXPECT_EQ(echoReduction(without, without).quietShare, 0);
    // A recording shorter than asked, or none, measures what there is.
    EXPECT_TRUE(echoLevel(echo, rate, 1000, 5.0, 6.0).quarters.empty());
    EXPECT_EQ(echoReduction(echoLevel({}, rate, 1000, 0, 1), with).db, 0);
}

TEST(SignalAnalysis, OnsetIsFoundWithinOneBlockAndNeedsARunOfBlocks) {
    constexpr int rate = 8000;
    const auto signal = concat({makeSilence(0.73, rate), makeTone(1000, 1.0, rate, 4000), makeSilence(0.5, rate)});
    const auto onset = toneOnset(signal, rate, 1000);
    ASSERT_TRUE(onset.has_value());
    EXPECT_NEAR(double(*onset) / rate, 0.73, 0.05 + 1e-9);
    EXPECT_NEAR(toneSeconds(signal, rate, 1000), 1.0, 0.1);

    // A 100 ms blip is shorter than three 50 ms blocks: no onset.
    const auto blip = concat({makeSilence(0.5, rate), makeTone(1000, 0.1, rate, 4000), makeSilence(0.5, rate)});
    EXPECT_FALSE(toneOnset(blip, rate, 1000).has_value());
    ToneCriteria once;
    once.minBlocks = 1;
    EXPECT_TRUE(toneOnset(blip, rate, 1000, once).has_value());
    // The wrong frequency is not the tone.
    EXPECT_FALSE(toneOnset(signal, rate, 440).has_value());
}

TEST(SignalAnalysis, ToneUnderNoiseIsFoundButNoiseAloneAndQuietTonesAreNot) {
    constexpr int rate = 8000;
    auto noisy = makeTone(1000, 1.0, rate, 6000);
    const auto hiss = noise(1.0, rate, 1500);
    for (std::size_t i = 0; i < noisy.size(); ++i) noisy[i] = static_cast<std::int16_t>(noisy[i] + hiss[i]);
    EXPECT_TRUE(toneOnset(noisy, rate, 1000).has_value());
    EXPECT_FALSE(toneOnset(noise(1.0, rate, 12000), rate, 1000).has_value()) << "broadband noise is no tone";
    EXPECT_FALSE(toneOnset(makeTone(1000, 1.0, rate, 100), rate, 1000).has_value()) << "below the level asked for";
    // Two tones of equal level (a ring-back) each hold half the power.
    auto pair = makeTone(440, 0.5, rate, 3000);
    const auto second = makeTone(480, 0.5, rate, 3000);
    for (std::size_t i = 0; i < pair.size(); ++i) pair[i] = static_cast<std::int16_t>(pair[i] + second[i]);
    const auto blocks = toneBlocks(pair, rate, 440);
    ASSERT_FALSE(blocks.empty());
    EXPECT_NEAR(blocks[3].share, 0.5, 0.15);
}

TEST(SignalAnalysis, ContinuityCountsEachUnconcealedLostPacketAsOneBrokenBlock) {
    auto tone = makeTone(1000, 10, 8000);
    EXPECT_DOUBLE_EQ(toneContinuity(tone, 8000, 1000), 1.0);
    // Every tenth 20 ms packet lost and played as silence, out of step with the blocks.
    for (std::size_t packet = 3; packet * 160 + 216 < tone.size(); packet += 10)
        std::fill_n(tone.begin() + static_cast<long>(packet * 160 + 56), 160, 0);
    EXPECT_NEAR(toneContinuity(tone, 8000, 1000), 0.9, 0.01);
    EXPECT_EQ(toneContinuity(makeSilence(2, 8000), 8000, 1000), 0);
    EXPECT_EQ(toneContinuity(makeTone(700, 2, 8000), 8000, 1000), 0) << "another tone is not this one";
}

TEST(SignalAnalysis, FirstAboveFindsAClickAfterAGivenSample) {
    auto signal = makeSilence(1.0, 8000);
    signal[1234] = -9000;
    signal[5000] = 9000;
    EXPECT_EQ(firstAbove(signal, 5000), 1234u);
    EXPECT_EQ(firstAbove(signal, 5000, 1235), 5000u);
    EXPECT_FALSE(firstAbove(signal, 9001).has_value());
    EXPECT_DOUBLE_EQ(rms(std::vector<std::int16_t>{3, -3, 3, -3}), 3.0);
}

TEST(SignalAnalysis, WaveFilesRoundTripAndForeignFormatsAreReadOrRefused) {
    QTemporaryDir dir;
    const std::filesystem::path path = dir.filePath("a.wav").toStdString();
    const Audio written{16000, makeTone(700, 0.3, 16000, 12000)};
    writeWav(path, written);
    const Audio read = readWav(path);
    EXPECT_EQ(read.rate, 16000);
    EXPECT_EQ(read.samples, written.samples);
    EXPECT_NEAR(read.seconds(), 0.3, 1e-9);

    // 8-bit stereo with an extra chunk before the data and a data size that
    // runs past the end (a recorder stopped early): channels averaged, the
    // samples that are there read.
    const std::filesystem::path stereo = dir.filePath("b.wav").toStdString();
    {
        std::ofstream out(stereo, std::ios::binary);
        auto u32 = [&](std::uint32_t v) { for (int i = 0; i < 4; ++i) out.put(char(v >> (8 * i))); };
        auto u16 = [&](std::uint16_t v) { out.put(char(v & 0xff)), out.put(char(v >> 8)); };
        out.write("RIFF", 4), u32(0), out.write("WAVEfmt ", 8), u32(16), u16(1), u16(2), u32(8000), u32(16000),
            u16(2), u16(8);
        out.write("LIST", 4), u32(3), out.write("abc\0", 4);
        out.write("data", 4), u32(1000);
        for (int i = 0; i < 3; ++i) out.put(char(128 + 64)), out.put(char(128));
    }
    const Audio mixed = readWav(stereo);
    ASSERT_EQ(mixed.samples.size(), 3u);
    EXPECT_EQ(mixed.samples[0], 64 * 256 / 2);

    const std::filesystem::path bad = dir.filePath("c.wav").toStdString();
    std::ofstream(bad) << "RIFF....WAVEjunk";
    EXPECT_THROW(readWav(bad), std::runtime_error);
    EXPECT_THROW(readWav(dir.filePath("missing.wav").toStdString()), std::runtime_error);
}

}  // namespace
}  // namespace pelex::testing
