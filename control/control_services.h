#pragma once
// Everything the control needs from outside itself, handed to it when it is
// made: production code passes the real desktop, store, socket and engine;
// tests pass in-memory ones and keep their own references to look at them.

#include <QString>

#include <chrono>
#include <memory>

#include "account_protocol/socket.h"
#include "control/call_engine.h"
#include "control/service_endpoints.h"
#include "control/settings_store.h"
#include "control/sound_notes.h"
#include "platform/audio_output.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/process_starter.h"
#include "platform/url_opener.h"

namespace pelex::control {

struct ControlServices {
    std::shared_ptr<platform::MessageBox> messageBox;
    std::shared_ptr<platform::AudioOutput> audio;
    std::shared_ptr<platform::UrlOpener> urlOpener;
    std::shared_ptr<platform::Clock> clock;
    std::shared_ptr<platform::ProcessStarter> processStarter;  ///< starts the updater
    std::shared_ptr<SettingsStore> store;
    std::unique_ptr<account_protocol::Socket> socket;  ///< the account-server socket `TCP1`
    CallEngineFactory engineFactory;                   ///< makes each new `RTC1`
    ServiceEndpoints endpoints;
    QString controlFolder;  ///< folder of the control's library file (the updater lives there)
    /// Notes of the engine about missing sound devices; null: none come.
    std::shared_ptr<SoundNotes> soundNotes;
    /// How long a sign-in may wait for the account server before the user is
    /// told and gets the sign-in button back.
    std::chrono::milliseconds signInTimeout{20000};
};

}  // namespace pelex::control
