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
    sip_engine::AudioChoice choice{readId(*store_, kAudioInValue), readId(*store_, kAudioOutValue),
                                   readId(*store_, kAudioRingValue)};
    // Only an explicit "0" switches the canceller off: a missing or unreadable
    // value (every store from before the switch existed) keeps it on.
    choice.echoCancel = store_->ReadRegValue(kAudioOptionKey, kEchoCancelValue) != u"0";
    return choice;
}

void SettingsAudioChoices::save(const sip_engine::AudioChoice& choice) {
    store_->CreateRegKey(kAudioOptionKey);
    writeId(*store_, kAudioInValue, choice.microphone);
    writeId(*store_, kAudioOutValue, choice.speaker);
    writeId(*store_, kAudioRingValue, choice.ring);
    store_->SetRegValue(kAudioOptionKey, kEchoCancelValue, choice.echoCancel ? u"1" : u"0");
}

}  // namespace pelex::control
