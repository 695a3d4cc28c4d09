#include "sound/alert_player.h"

#include <pulse/pulseaudio.h>

#include "sound/pulse_loop.h"
#include "sound/stream_tags.h"

namespace pelex::sound {

/// One sound on its way to the server; callbacks run on the loop's thread.
struct AlertPlayer::Playback {
    AlertPlayer& owner;
    std::shared_ptr<const PcmSound> sound;
    StreamTags tags;
    std::string device;
    pa_stream* stream = nullptr;  // our reference
    pa_operation* drain = nullptr;  // our reference, once all is written
    std::size_t written = 0;

    /// Ends its callbacks: the stream goes to the loop, which ends it.
    void release(PulseLoop& loop) {
        if (drain) {
            pa_operation_cancel(drain);
            pa_operation_unref(drain);
            drain = nullptr;
        }
        loop.abandon(stream);
    }

    static void onWrite(pa_stream* s, std::size_t wanted, void* self) {
        auto& p = *static_cast<Playback*>(self);
        const auto& samples = p.sound->samples;
        const std::size_t n = std::min(wanted, samples.size() - p.written);
        if (n > 0 && pa_stream_write(s, samples.data() + p.written, n, nullptr, 0, PA_SEEK_RELATIVE) == 0)
            p.written += n;
        if (p.written < samples.size()) return;
        // All of it is with the server: let it play out (draining also
        // starts a sound shorter than the server's start-up buffer).
        pa_stream_set_write_callback(s, nullptr, nullptr);
        p.drain = pa_stream_drain(s, onDrained, self);
    }
    static void onDrained(pa_stream*, int, void* self) {
        auto& p = *static_cast<Playback*>(self);
        p.owner.finish(p);
    }
    static void onState(pa_stream* s, void* self) {
        auto& p = *static_cast<Playback*>(self);
        switch (pa_stream_get_state(s)) {
            case PA_STREAM_FAILED:
                if (!p.device.empty()) {
                    // The chosen device is gone: the server's default plays it.
                    auto sound = p.sound;
                    auto tags = p.tags;
                    auto& owner = p.owner;
                    owner.finish(p);
                    owner.start(std::move(sound), tags, {});
                    return;
                }
                p.owner.finish(p);
                break;
            case PA_STREAM_TERMINATED: p.owner.finish(p); break;
            default: break;
        }
    }
};

namespace {

pa_sample_format_t formatOf(const PcmSound& sound) {
    if (sound.bitsPerSample == 8) return PA_SAMPLE_U8;
    if (sound.bitsPerSample == 16) return PA_SAMPLE_S16LE;
    return PA_SAMPLE_INVALID;
}

}  // namespace

AlertPlayer::AlertPlayer(std::shared_ptr<SoundServer> server) : server_(std::move(server)) {}

AlertPlayer::~AlertPlayer() { stop(); }

void AlertPlayer::play(std::shared_ptr<const PcmSound> sound, const StreamTags& tags, const std::string& device) {
    PulseLoop::Lock lock(server_->loop());
    if (current_) finish(*current_);
    start(std::move(sound), tags, device);
}

void AlertPlayer::stop() {
    PulseLoop::Lock lock(server_->loop());
    if (current_) finish(*current_);
}

void AlertPlayer::start(std::shared_ptr<const PcmSound> sound, const StreamTags& tags, const std::string& device) {
    pa_context* context = server_->loop().context();
    if (!context || !sound || sound->samples.empty()) return;
    const pa_sample_spec sampleFormat{formatOf(*sound), static_cast<std::uint32_t>(sound->sampleRate),
                                      static_cast<std::uint8_t>(sound->channels)};
    if (!pa_sample_spec_valid(&sampleFormat)) return;
    const auto properties = proplistOf(tags);
    pa_stream* stream = pa_stream_new_with_proplist(context, tags.name.c_str(), &sampleFormat, nullptr, properties.get());
    if (!stream) return;
    current_.reset(new Playback{*this, std::move(sound), tags, device});
    current_->stream = stream;
    pa_stream_set_state_callback(stream, Playback::onState, current_.get());
    pa_stream_set_write_callback(stream, Playback::onWrite, current_.get());
    if (pa_stream_connect_playback(stream, device.empty() ? nullptr : device.c_str(), nullptr, PA_STREAM_NOFLAGS,
                                   nullptr, nullptr) < 0)
        finish(*current_);
}

void AlertPlayer::finish(Playback& playback) {
    if (current_.get() != &playback) return;
    playback.release(server_->loop());
    current_.reset();
}

}  // namespace pelex::sound
