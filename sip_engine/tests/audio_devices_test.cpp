// Which devices the phone offers and uses, and what it tells the user.
#include "sip_engine/linphone/audio_devices.h"

#include <gtest/gtest.h>

namespace pelex::sip_engine::linphone_rtc {
namespace {

SoundDevice pulse(const std::string& name, bool capture, bool play) {
    return {"PulseAudio Unknown: " + name, name, "PulseAudio", capture, play};
}
const SoundDevice kSpeaker = pulse("Speaker", false, true);
const SoundDevice kHeadset = pulse("Headset", true, true);
const SoundDevice kWebcamMic = pulse("Webcam", true, false);
const SoundDevice kAlsaDefault{"ALSA Unknown: default", "default", "ALSA", true, true};
const SoundDevice kNothing{"ALSA Unknown: odd", "odd", "ALSA", false, false};

ServerState server(std::string speaker = "", std::string microphone = "") {
    ServerState s;
    s.known = s.running = s.answering = true;
    for (const char* name : {"Speaker", "Headset"}) s.speakers.push_back({name, name});
    for (const char* name : {"Headset", "Webcam"}) s.microphones.push_back({name, name});
    s.defaultSpeaker = std::move(speaker);
    s.defaultMicrophone = std::move(microphone);
    return s;
}
ServerState noServer(std::string speaker = "", std::string microphone = "") {
    ServerState s = server(std::move(speaker), std::move(microphone));
    s.running = s.answering = false;
    return s;
}

TEST(AudioDevices, WithASoundServerOnlyItsDevicesAreOfferedWithoutOneEveryUsableDevice) {
    const std::vector<SoundDevice> all{kSpeaker, kAlsaDefault, kHeadset, kNothing};
    EXPECT_EQ(offeredDevices(all, server()), (std::vector<SoundDevice>{kSpeaker, kHeadset}));
    EXPECT_EQ(offeredDevices(all, noServer()), (std::vector<SoundDevice>{kSpeaker, kAlsaDefault, kHeadset}));
    EXPECT_TRUE(offeredDevices({}, server()).empty());
    // What the server no longer has (the stack has not looked again yet) is
    // not offered, or only in the direction the server still has.
    auto unplugged = server();
    unplugged.speakers = {{"Speaker", "Speaker"}};
    auto headsetMicrophone = kHeadset;
    headsetMicrophone.canPlay = false;
    EXPECT_EQ(offeredDevices(all, unplugged), (std::vector<SoundDevice>{kSpeaker, headsetMicrophone}));
    unplugged.microphones.clear();
    EXPECT_EQ(offeredDevices(all, unplugged), (std::vector<SoundDevice>{kSpeaker}));
    // A stack that lists none of the server's own devices (its connection
    // did not survive the server's restart) reaches it through the others.
    EXPECT_EQ(offeredDevices({kAlsaDefault, kNothing}, server()), (std::vector<SoundDevice>{kAlsaDefault}));
}

TEST(AudioDevices, TheChoiceWinsWhileItIsThereThenTheServersDefaultThenTheFirstThatFits) {
    const std::vector<SoundDevice> offered{kSpeaker, kHeadset, kWebcamMic};
    // Nothing chosen: the desktop's defaults, whatever their place in the list.
    auto pick = pickDevices(offered, {}, server("Headset", "Webcam"));
    EXPECT_EQ(pick.microphone, kWebcamMic);
    EXPECT_EQ(pick.speaker, kHeadset);
    // A choice overrides the defaults.
    pick = pickDevices(offered, {kHeadset.id, kSpeaker.id, ""}, server("Headset", "Webcam"));
    EXPECT_EQ(pick.microphone, kHeadset);
    EXPECT_EQ(pick.speaker, kSpeaker);
    // A chosen device that is gone (unplugged) falls back on the default.
    pick = pickDevices({kSpeaker, kWebcamMic}, {kHeadset.id, kHeadset.id, ""}, server("Speaker", "Webcam"));
    EXPECT_EQ(pick.microphone, kWebcamMic);
    EXPECT_EQ(pick.speaker, kSpeaker);
    // A device chosen for the wrong direction is not used for it.
    pick = pickDevices(offered, {kSpeaker.id, kWebcamMic.id, ""}, server("Speaker", "Webcam"));
    EXPECT_EQ(pick.microphone, kWebcamMic);
    EXPECT_EQ(pick.speaker, kSpeaker);
    // A default the stack does not list (a monitor, another driver): the first that fits.
    pick = pickDevices(offered, {}, server("Elsewhere", ""));
    EXPECT_EQ(pick.microphone, kHeadset);
    EXPECT_EQ(pick.speaker, kSpeaker);
    // The server's default names a PulseAudio device, never an ALSA one of the same name.
    const SoundDevice alsaHeadset{"ALSA Unknown: Headset", "Headset", "ALSA", true, true};
    pick = pickDevices({alsaHeadset, kSpeaker}, {}, noServer("Headset", "Headset"));
    EXPECT_EQ(pick.speaker, alsaHeadset) << "first that fits, not a name match";
    pick = pickDevices({kSpeaker}, {}, server("Speaker", "Speaker"));
    EXPECT_FALSE(pick.microphone.has_value());
}

TEST(AudioDevices, TheNoteSaysWhatIsMissing) {
    EXPECT_EQ(soundNote({kHeadset, kHeadset}, server()), u"");
    EXPECT_EQ(soundNote({std::nullopt, kSpeaker}, server()), u"No microphone was found: the other side cannot hear you.");
    EXPECT_EQ(soundNote({kWebcamMic, std::nullopt}, server()), u"No speaker was found: you cannot hear the other side.");
    EXPECT_EQ(soundNote({}, server()), u"No sound devices were found: calls are silent.");
    EXPECT_EQ(soundNote({}, noServer()), u"No sound server is running: calls are silent.");
    // A desktop without PulseAudio may still have a sound card the stack reaches directly.
    EXPECT_EQ(soundNote({kAlsaDefault, kAlsaDefault}, noServer()),
              u"No sound server is running: calls use the sound card directly.");
    // A server that runs but stopped answering holds every device on it.
    auto stopped = server();
    stopped.answering = false;
    EXPECT_EQ(soundNote({kHeadset, kHeadset}, stopped),
              u"The sound server is not answering: calls are silent until it answers again.");
}

}  // namespace
}  // namespace pelex::sip_engine::linphone_rtc
