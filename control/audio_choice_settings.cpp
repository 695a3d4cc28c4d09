#include "control/audio_choice_settings.h"

#include <QString>

namespace pelex::control {
namespace {

std::string readId(SettingsStore& store, const char16_t* name) {
    const auto value = store.ReadRegValue(kAudioOptionKey, name);
    if (value == u"Error") return {};
    return QString::fromStdU16String(value).toStdString();
}

void writeId(SettingsStore& store, const char16_t* name, const std::string& id) {
    store.SetRegValue(kAudioOptionKey, name, QString::fromStdString(id).toStdU16String());
}

}  // namespace

sip_engine::AudioChoice SettingsAudioChoices::load() {
    return {readId(*store_, kAudioInValue), readId(*store_, kAudioOutValue), readId(*store_, kAudioRingValue)};
}

void SettingsAudioChoices::save(const sip_engine::AudioChoice& choice) {
    store_->CreateRegKey(kAudioOptionKey);
    writeId(*store_, kAudioInValue, choice.microphone);
    writeId(*store_, kAudioOutValue, choice.speaker);
    writeId(*store_, kAudioRingValue, choice.ring);
}

}  // namespace pelex::control
