#pragma once
// The phone's own sounds (the ring, the ring-back) on the sound server's
// connection: one sound at a time, played once from memory; a new sound cuts
// the one still playing. play() and stop() return at once whatever the
// server does: the stream is made and fed on the connection's thread, so a
// stopped server only hears of it later, and a sound cut off meanwhile never
// plays. Without a server nothing is heard.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "sound/sound_server.h"

namespace pelex::sound {

/// A PCM sound as a wave file holds it.
struct PcmSound {
    int channels = 1;
    int sampleRate = 22050;
    int bitsPerSample = 16;  ///< 8 (unsigned) or 16 (signed, little-endian)
    std::vector<std::byte> samples;
};

/// How a stream presents itself to the sound server: the desktop routes,
/// ducks and lists streams by these (PulseAudio stream properties).
struct StreamTags {
    std::string role;     ///< media.role: "event" for alerts, "phone" for a call's sound
    std::string name;     ///< media.name: what the desktop's mixer shows
    std::string eventId;  ///< event.id, the desktop sound theme's name ("phone-incoming-call"), or empty
};

class AlertPlayer {
public:
    explicit AlertPlayer(std::shared_ptr<SoundServer> server);
    /// Cuts the sound still playing.
    ~AlertPlayer();
    AlertPlayer(const AlertPlayer&) = delete;
    AlertPlayer& operator=(const AlertPlayer&) = delete;

    /// Plays `sound` once on the sink named `device` (empty, or one the
    /// server does not have: the server's default), tagged with `tags`.
    /// Cuts the sound still playing. A sound the server cannot take (format)
    /// is not heard.
    void play(std::shared_ptr<const PcmSound> sound, const StreamTags& tags, const std::string& device = {});
    /// Cuts the sound still playing, if any.
    void stop();

private:
    struct Playback;
    friend struct Playback;
    void start(std::shared_ptr<const PcmSound> sound, const StreamTags& tags, const std::string& device);
    void finish(Playback& playback);

    std::shared_ptr<SoundServer> server_;
    std::unique_ptr<Playback> current_;  // under the loop's lock
};

}  // namespace pelex::sound
