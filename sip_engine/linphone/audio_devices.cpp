#include "sip_engine/linphone/audio_devices.h"

#include <algorithm>

namespace pelex::sip_engine::linphone_rtc {
namespace {

constexpr const char* kPulse = "PulseAudio";

std::optional<SoundDevice> pickOne(const std::vector<SoundDevice>& offered, bool capture, const std::string& chosen,
                                   const std::string& serverDefault) {
    auto can = [capture](const SoundDevice& d) { return capture ? d.canCapture : d.canPlay; };
    auto find = [&](auto&& matches) -> std::optional<SoundDevice> {
        const auto it = std::find_if(offered.begin(), offered.end(), [&](const SoundDevice& d) { return can(d) && matches(d); });
        return it != offered.end() ? std::optional(*it) : std::nullopt;
    };
    if (!chosen.empty())
        if (auto d = find([&](const SoundDevice& x) { return x.id == chosen; })) return d;
    if (!serverDefault.empty())
        if (auto d = find([&](const SoundDevice& x) { return x.driver == kPulse && x.name == serverDefault; })) return d;
    return find([](const SoundDevice&) { return true; });
}

}  // namespace

std::vector<SoundDevice> offeredDevices(const std::vector<SoundDevice>& all, const ServerState& server) {
    auto listed = [](const std::vector<sound::Device>& devices, const std::string& description) {
        return std::any_of(devices.begin(), devices.end(),
                           [&](const sound::Device& d) { return d.description == description; });
    };
    // The stack's own connection to the server does not come back after the
    // server restarted: it then lists none of the server's devices, and its
    // others (ALSA's, through its PulseAudio plugin) are the way there.
    const bool stackReachesServer =
        std::any_of(all.begin(), all.end(), [](const SoundDevice& d) { return d.driver == kPulse; });
    std::vector<SoundDevice> offered;
    for (auto d : all) {
        if (server.running && stackReachesServer) {
            if (d.driver != kPulse) continue;
            // What the server no longer has (unplugged since the stack last
            // looked) opens nothing: its capture would send nothing at all.
            d.canCapture = d.canCapture && listed(server.microphones, d.name);
            d.canPlay = d.canPlay && listed(server.speakers, d.name);
        }
        if (d.canCapture || d.canPlay) offered.push_back(std::move(d));
    }
    return offered;
}

DevicePick pickDevices(const std::vector<SoundDevice>& offered, const AudioChoice& choice,
                       const ServerState& server) {
    return {pickOne(offered, true, choice.microphone, server.defaultMicrophone),
            pickOne(offered, false, choice.speaker, server.defaultSpeaker)};
}

std::u16string soundNote(const DevicePick& pick, const ServerState& server) {
    if (!server.running)
        return !pick.microphone && !pick.speaker ? u"No sound server is running: calls are silent."
                                                 : u"No sound server is running: calls use the sound card directly.";
    if (!server.answering)
        return u"The sound server is not answering: calls are silent until it answers again.";
    if (!pick.microphone && !pick.speaker) return u"No sound devices were found: calls are silent.";
    if (!pick.microphone) return u"No microphone was found: the other side cannot hear you.";
    if (!pick.speaker) return u"No speaker was found: you cannot hear the other side.";
    return {};
}

}  // namespace pelex::sip_engine::linphone_rtc
