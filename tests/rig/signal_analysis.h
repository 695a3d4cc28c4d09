#pragma once
// Small signal tools for sound tests: make tones and clicks, read and write
// wave files, and find a tone or a click in a recording.
//
// Tones are found block by block (about 50 ms each) with a Hann-windowed
// Goertzel filter: short blocks tolerate the few hertz a resampling chain
// moves a tone, and the window keeps the level within 15 % when the tone
// falls between two filter bins.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace pelex::testing {

/// Mono 16-bit PCM.
struct Audio {
    int rate = 8000;
    std::vector<std::int16_t> samples;
    double seconds() const { return rate > 0 ? double(samples.size()) / rate : 0.0; }
};

/// Reads a PCM wave file (8 or 16 bits, any number of channels; channels are
/// averaged to mono). Throws std::runtime_error for anything else.
Audio readWav(const std::filesystem::path& path);
/// Writes `audio` as a 16-bit mono PCM wave file. Throws std::runtime_error.
void writeWav(const std::filesystem::path& path, const Audio& audio);

/// A sine of `frequency` Hz, `peak` amplitude (0 to 32767), `seconds` long.
std::vector<std::int16_t> makeTone(double frequency, double seconds, int rate, double peak = 8000);
/// Speech-like bursts of `frequency` Hz, `seconds` long: syllables of 200 ms
/// (soft 20 ms edges, peaks varying between `peak` and half of it) with
/// 100 ms pauses, so that a noise suppressor cannot take them for a steady
/// noise. About two thirds of the time carries the tone.
std::vector<std::int16_t> makeSyllables(double frequency, double seconds, int rate, double peak = 8000);
/// The same syllables spoken: half their loudness a voice (harmonics of a
/// gliding pitch near 125 Hz, up to 3.4 kHz), half the tone of `frequency`
/// Hz. Broadband like speech, which an echo canceller learns from, and still
/// measurable by its tone.
std::vector<std::int16_t> makeVoicedSyllables(double frequency, double seconds, int rate, double peak = 8000);
/// `seconds` of silence.
std::vector<std::int16_t> makeSilence(double seconds, int rate);

/// Root mean square of the samples (0 for none).
double rms(std::span<const std::int16_t> samples);

/// Peak amplitude of the `frequency` component in `samples` (Hann-windowed
/// Goertzel), in sample units: a full-block sine of peak P reads about P.
double toneAmplitude(std::span<const std::int16_t> samples, int rate, double frequency);

/// One analysis block.
struct ToneBlock {
    std::size_t start = 0;  ///< first sample of the block
    double amplitude = 0;   ///< peak amplitude of the tone in the block
    double share = 0;       ///< share of the block's power that is the tone (0 to 1)
};

/// The tone's level in consecutive blocks of `blockMs` milliseconds.
std::vector<ToneBlock> toneBlocks(std::span<const std::int16_t> samples, int rate, double frequency,
                                  int blockMs = 50);

/// The tone's level over the whole of `samples`: the root mean square of its
/// block amplitudes (pauses count as silence), in sample units.
double toneLevel(std::span<const std::int16_t> samples, int rate, double frequency, int blockMs = 50);

/// The echo of a far end's tone in what the far end hears back, from `from`
/// to `to` seconds of the recording: its level (as toneLevel) and its
/// amplitude in each quarter second.
struct EchoLevel {
    double level = 0;
    std::vector<double> quarters;
};
EchoLevel echoLevel(std::span<const std::int16_t> heard, int rate, double frequency, double from, double to);

/// How much less echo `with` is than `without`: in dB over the whole time
/// (0 when `without` heard none), and the share of `with`'s quarter seconds
/// at least `quietDb` below `without`'s level (0 for none).
struct EchoReduction {
    double db = 0;
    double quietShare = 0;
};
EchoReduction echoReduction(const EchoLevel& without, const EchoLevel& with, double quietDb = 20);

/// What counts as the tone being present in a block.
struct ToneCriteria {
    double minAmplitude = 500;  ///< peak amplitude at least this
    double minShare = 0.3;      ///< and at least this share of the block's power
    int minBlocks = 3;          ///< for this many blocks in a row
    int blockMs = 50;
};

/// The first sample of the first run of blocks in which the tone is present,
/// or nothing.
std::optional<std::size_t> toneOnset(std::span<const std::int16_t> samples, int rate, double frequency,
                                     const ToneCriteria& criteria = {});
/// How many seconds in total the tone is present (blocks meeting the
/// amplitude and share criteria, counted singly).
double toneSeconds(std::span<const std::int16_t> samples, int rate, double frequency,
                   const ToneCriteria& criteria = {});
/// How continuously a steady tone arrived: the share (0 to 1) of blocks of
/// `blockMs` in which the tone holds at least `minRatio` of its usual level
/// (the median of the blocks; by default half, -6 dB) and at least half of
/// the block's power. A 20 ms packet lost and not concealed silences more
/// than half of at least one 20 ms block, so it fails that block. 0 when the
/// tone is not there at all.
double toneContinuity(std::span<const std::int16_t> samples, int rate, double frequency, int blockMs = 20,
                      double minRatio = 0.5);
/// The first sample at or after `from` whose magnitude reaches `threshold`
/// (the start of a click or burst), or nothing.
std::optional<std::size_t> firstAbove(std::span<const std::int16_t> samples, int threshold, std::size_t from = 0);

}  // namespace pelex::testing
