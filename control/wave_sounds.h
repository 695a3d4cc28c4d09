#pragma once
// The control's two alert sounds, made by the control itself as complete
// RIFF/WAVE images in PCM format (mono, 22050 samples per second):
//   129: the incoming-call ring, 16-bit, 38886 bytes of samples (~0.88 s);
//   130: the ring-back tone while the called party is alerted, 8-bit,
//        14532 bytes of samples (~0.66 s).

#include <cstddef>
#include <span>

namespace pelex::control {

inline constexpr int kRingSound = 129;
inline constexpr int kRingBackSound = 130;

/// Returns the RIFF/WAVE image of sound `id` (129 or 130), built once on
/// first use and kept for the life of the process; an empty span for any
/// other id.
std::span<const std::byte> waveResource(int id);

}  // namespace pelex::control

#include <cstdint>
#include <optional>

namespace pelex::control {

/// The format and sample data of a mono or stereo PCM RIFF/WAVE image.
struct PcmWave {
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    std::span<const std::byte> samples;  ///< the "data" chunk's bytes
};

/// Reads a RIFF/WAVE image; nothing when it is not a complete PCM image
/// (wrong magic, no "fmt " or "data" chunk, a chunk running past the end,
/// a RIFF size that disagrees with the image's length).
std::optional<PcmWave> parsePcmWave(std::span<const std::byte> image);

}  // namespace pelex::control
