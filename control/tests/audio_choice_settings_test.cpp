// The user's microphone and speaker in the settings store, beside the options.
#include <gtest/gtest.h>

#include "control/audio_choice_settings.h"
#include "control/testing/memory_settings_store.h"

namespace pelex::control {
namespace {

TEST(AudioChoiceSettings, AreThreeNewOptionValuesThatLeaveTheOthersAsTheyWere) {
    auto store = std::make_shared<testing::MemorySettingsStore>();
    SettingsAudioChoices choices(store);
    // Nothing stored yet: the desktop's defaults.
    EXPECT_EQ(choices.load(), (sip_engine::AudioChoice{}));

    store->preset(kAudioOptionKey, u"ALogin", u"1");
    store->preset(kAudioOptionKey, u"SProfile", u"0");
    store->preset(kAudioOptionKey, u"New", u"1");
    choices.save({"PulseAudio Unknown: Headset", "PulseAudio Unknown: Böse Lautsprecher", ""});
    EXPECT_EQ(store->writes, (std::vector<std::u16string>{u"AudioIn", u"AudioOut", u"AudioRing", u"EchoCancel"}));
    EXPECT_EQ(store->values.at({kAudioOptionKey, u"EchoCancel"}), u"1");
    EXPECT_EQ(store->values.at({kAudioOptionKey, u"AudioIn"}), u"PulseAudio Unknown: Headset");
    EXPECT_EQ(store->values.at({kAudioOptionKey, u"ALogin"}), u"1");
    EXPECT_EQ(store->values.at({kAudioOptionKey, u"SProfile"}), u"0");
    EXPECT_EQ(store->values.at({kAudioOptionKey, u"New"}), u"1");

    // A new reader (the next run) finds the same choice, names and all.
    SettingsAudioChoices nextRun(store);
    const auto loaded = nextRun.load();
    EXPECT_EQ(loaded.microphone, "PulseAudio Unknown: Headset");
    EXPECT_EQ(loaded.speaker, "PulseAudio Unknown: Böse Lautsprecher");
    EXPECT_EQ(loaded.ring, "") << "the ring stays on the desktop's default output";
    EXPECT_EQ(sip_engine::deviceDescriptionOfId(loaded.speaker), "Böse Lautsprecher");
    EXPECT_EQ(sip_engine::deviceDescriptionOfId("plain"), "plain");
    nextRun.save({"", "", "PulseAudio Unknown: Desk speakers"});
    EXPECT_EQ(SettingsAudioChoices(store).load().ring, "PulseAudio Unknown: Desk speakers");

    // Back to the defaults.
    nextRun.save({});
    EXPECT_EQ(SettingsAudioChoices(store).load(), (sip_engine::AudioChoice{}));
}

TEST(AudioChoiceSettings, EchoCancellationIsOnUnlessSwitchedOff) {
    auto store = std::make_shared<testing::MemorySettingsStore>();
    // A store from before the switch existed, with devices chosen: on.
    store->preset(kAudioOptionKey, u"AudioIn", u"PulseAudio Unknown: Headset");
    EXPECT_TRUE(SettingsAudioChoices(store).load().echoCancel);

    sip_engine::AudioChoice off{"PulseAudio Unknown: Headset", "", ""};
    off.echoCancel = false;
    SettingsAudioChoices(store).save(off);
    EXPECT_EQ(store->values.at({kAudioOptionKey, u"EchoCancel"}), u"0");
    EXPECT_EQ(SettingsAudioChoices(store).load(), off) << "kept between runs, devices and all";

    // Anything but "0" (a value edited by hand, garbage) keeps it on.
    for (const auto* text : {u"1", u"", u"yes"}) {
        store->preset(kAudioOptionKey, u"EchoCancel", text);
        EXPECT_TRUE(SettingsAudioChoices(store).load().echoCancel);
    }
}

}  // namespace
}  // namespace pelex::control
