#include "control/audio_choice_settings.h"

namespace pelex::control {
namespace {

std::string readId(SettingsStore& store, const char16_t* name) {
    const auto value = store.ReadRegValue(kAudioOptionKey, name);
    if (value == u"Error") return {};
    return QString::fromStdU16String(value).toStdString();
}

}  // namespace

sip_engine::linphone_rtc::AudioChoice SettingsAudioChoices::load() {
    return {readId(*store_, kAudioInValue), readId(*store_, kAudioOutValue)};
}

void SettingsAudioChoices::save(const sip_engine::linphone_rtc::AudioChoice& choice) {
    store_->CreateRegKey(kAudioOptionKey);
    store_->SetRegValue(kAudioOptionKey, kAudioInValue, QString::fromStdString(choice.microphone).toStdU16String());
    store_->SetRegValue(kAudioOptionKey, kAudioOutValue, QString::fromStdString(choice.speaker).toStdU16String());
}

QString deviceNameOfId(const std::string& id) {
    const auto colon = id.find(": ");
    return QString::fromStdString(colon == std::string::npos ? id : id.substr(colon + 2));
}

}  // namespace pelex::control
