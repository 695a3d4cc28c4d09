#pragma once
// The user's choice of sound devices in the settings store, as three values
// beside the sign-in options:
//   HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\VOIP\Option
//     "AudioIn"   the microphone's device id, "" for the desktop's default
//     "AudioOut"  the speaker's device id, "" for the desktop's default
//     "AudioRing" the ring's device id, "" for the desktop's default output
//     "EchoCancel" "0" when the user switched echo cancellation off, else "1"
// A value that cannot be read stands for the desktop's default (for
// "EchoCancel": on).

#include <memory>

#include "control/settings_store.h"
#include "sip_engine/audio_choice.h"

namespace pelex::control {

inline constexpr char16_t kAudioOptionKey[] = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\VOIP\\Option";
inline constexpr char16_t kAudioInValue[] = u"AudioIn";
inline constexpr char16_t kAudioOutValue[] = u"AudioOut";
inline constexpr char16_t kAudioRingValue[] = u"AudioRing";
inline constexpr char16_t kEchoCancelValue[] = u"EchoCancel";

class SettingsAudioChoices : public sip_engine::AudioChoiceStore {
public:
    explicit SettingsAudioChoices(std::shared_ptr<SettingsStore> store) : store_(std::move(store)) {}
    sip_engine::AudioChoice load() override;
    void save(const sip_engine::AudioChoice& choice) override;

private:
    std::shared_ptr<SettingsStore> store_;
};

}  // namespace pelex::control
