#pragma once
// The user's choice of microphone and speaker in the settings store, as two
// values beside the sign-in options:
//   HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\VOIP\Option
//     "AudioIn"   the microphone's device id, "" for the desktop's default
//     "AudioOut"  the speaker's device id, "" for the desktop's default
// A value that cannot be read stands for the desktop's default.

#include <QString>

#include <memory>

#include "control/settings_store.h"
#include "sip_engine/linphone/audio_devices.h"

namespace pelex::control {

inline constexpr char16_t kAudioOptionKey[] = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\VOIP\\Option";
inline constexpr char16_t kAudioInValue[] = u"AudioIn";
inline constexpr char16_t kAudioOutValue[] = u"AudioOut";

class SettingsAudioChoices : public sip_engine::linphone_rtc::AudioChoiceStore {
public:
    explicit SettingsAudioChoices(std::shared_ptr<SettingsStore> store) : store_(std::move(store)) {}
    sip_engine::linphone_rtc::AudioChoice load() override;
    void save(const sip_engine::linphone_rtc::AudioChoice& choice) override;

private:
    std::shared_ptr<SettingsStore> store_;
};

/// The name a device id shows the user: the part after the stack's
/// "<driver> <kind>: " prefix ("PulseAudio Unknown: Headset" gives "Headset").
QString deviceNameOfId(const std::string& id);

}  // namespace pelex::control
