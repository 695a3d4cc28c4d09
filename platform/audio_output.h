#pragma once
// Playing a short sound from memory, as a seam: the control plays its two
// alert sounds through it; tests record what would have been played.

#include <cstddef>
#include <span>

namespace pelex::platform {

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    /// Starts playing `wave` (a complete RIFF/WAVE image in PCM format) and
    /// returns at once. A sound still playing is cut off by the new one.
    /// Never fails: without a usable sound device nothing is heard.
    virtual void playAsync(std::span<const std::byte> wave) = 0;
};

}  // namespace pelex::platform
