#pragma once
// Playing a short sound from memory, as a seam: the control plays its two
// alert sounds through it (and cuts them off when the call is answered or
// ends); tests record what would have been played.

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
    /// Cuts off the sound still playing, if any.
    virtual void stop() = 0;
};

}  // namespace pelex::platform
