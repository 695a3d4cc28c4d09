#pragma once
// An engine over an in-memory client, with its events recorded.

#include <gtest/gtest.h>

#include <memory>

#include "sip_engine/cls_rtc.h"
#include "sip_engine/memory/memory_rtc.h"
#include "sip_engine/tests/recording_events.h"

namespace pelex::sip_engine::testing {

class EngineTest : public ::testing::Test {
protected:
    EngineTest() {
        engine = std::make_unique<clsRTC>(
            ClsRTCPlatform{[this] {
                               ++clientsCreated;
                               return std::static_pointer_cast<rtc::IRTCClient>(client);
                           },
                           timers.factory()},
            &events);
        engine->LineNumber = u"Line 1";
        engine->RegServerIP = u"10.0.0.5";
        engine->RegUserName = u"1000";
        engine->RegPassword = u"secret";
        engine->RegSIPPort = u"5060";
    }

    /// Init, then forget the calls and events it caused.
    void started() {
        engine->Init();
        client->script->calls.clear();
        events.raised.clear();
    }
    std::vector<std::string>& calls() { return client->script->calls; }
    /// Started and registered, with a call from 1001 answered and connected;
    /// the events so far cleared.
    std::shared_ptr<memory::MemorySession> connectedIncomingCall() {
        started();
        client->fireRegistration(rtc::RegistrationState::Registered);
        auto call = client->fireIncoming(u"sip:1001@10.0.0.5");
        engine->Answer();
        client->fireSessionState(call, rtc::SessionState::Connected);
        events.raised.clear();
        return call;
    }

    std::shared_ptr<memory::MemoryClient> client = std::make_shared<memory::MemoryClient>();
    memory::ManualTimers timers;
    RecordingEvents events;
    int clientsCreated = 0;
    std::unique_ptr<clsRTC> engine;
};

using Calls = std::vector<std::string>;

}  // namespace pelex::sip_engine::testing
