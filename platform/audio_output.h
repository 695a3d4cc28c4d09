#pragma once
// Playing a short sound from memory, as a seam: the control plays its two
// alert sounds through it (and cuts them off when the call is answered or
// ends); tests record what would have been played.

#include <cstddef>
#include <span>

namespace pelex::platform {

/// What a sound is for: the desktop plays each where it belongs.
enum class SoundUse {
    /// An incoming call's ring: an alert, heard where the desktop's alerts
    /// are (or on the ring device the user chose).
    Ring,
    /// An outgoing call's ring-back: part of the call, heard on its speaker.
    RingBack,
};

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    /// Starts playing `wave` (a complete RIFF/WAVE image in PCM format) for
    /// `use` and returns at once. A sound still playing is cut off by the
    /// new one. Never fails: without a usable sound device nothing is heard.
    virtual void playAsync(std::span<const std::byte> wave, SoundUse use) = 0;
    /// Cuts off the sound still playing, if any.
    virtual void stop() = 0;
};

}  // namespace pelex::platform
