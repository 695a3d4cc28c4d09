// The user's microphone and speaker in the settings store, beside the options.
#include <gtest/gtest.h>

#include "control/audio_choice_settings.h"
#include "control/testing/memory_settings_store.h"

namespace pelex::control {
namespace {

TEST(AudioChoiceSettings, AreTwoNewOptionValuesThatLeaveTheOthersAsTheyWere) {
    auto store = std::make_shared<testing::MemorySettingsStore>();
    SettingsAudioChoices choices(store);
    // Nothing stored yet: the desktop's defaults.
    EXPECT_EQ(choices.load(), (sip_engine::linphone_rtc::AudioChoice{}));

    store->preset(kAudioOptionKey, u"ALogin", u"1");
    store->preset(kAudioOptionKey, u"SProfile", u"0");
    store->preset(kAudioOptionKey, u"New", u"1");
    choices.save({"PulseAudio Unknown: Headset", "PulseAudio Unknown: Böse Lautsprecher"});
    EXPECT_EQ(store->writes, (std::vector<std::u16string>{u"AudioIn", u"AudioOut"}));
    EXPECT_EQ(store->values.at({kAudioOptionKey, u"AudioIn"}), u"PulseAudio Unknown: Headset");
    EXPECT_EQ(store->values.at({kAudioOptionKey, u"ALogin"}), u"1");
    EXPECT_EQ(store->values.at({kAudioOptionKey, u"SProfile"}), u"0");
    EXPECT_EQ(store->values.at({kAudioOptionKey, u"New"}), u"1");

    // A new reader (the next run) finds the same choice, names and all.
    SettingsAudioChoices nextRun(store);
    const auto loaded = nextRun.load();
    EXPECT_EQ(loaded.microphone, "PulseAudio Unknown: Headset");
    EXPECT_EQ(loaded.speaker, "PulseAudio Unknown: Böse Lautsprecher");
    EXPECT_EQ(deviceNameOfId(loaded.speaker), QStringLiteral("Böse Lautsprecher"));
    EXPECT_EQ(deviceNameOfId("plain"), QStringLiteral("plain"));

    // Back to the defaults.
    nextRun.save({});
    EXPECT_EQ(SettingsAudioChoices(store).load(), (sip_engine::linphone_rtc::AudioChoice{}));
}

}  // namespace
}  // namespace pelex::control
