#pragma once
// Records every event clsRTC raises, as one short text each, in order.

#include <functional>
#include <string>
#include <vector>

#include "sip_engine/cls_rtc_events.h"
#include "sip_engine/memory/memory_rtc.h"

namespace pelex::sip_engine::testing {

class RecordingEvents : public ClsRTCEvents {
public:
    std::vector<std::string> raised;
    /// Runs inside every onStatus, after recording (to throw or re-enter).
    std::function<void(const std::u16string&)> statusHook;
    /// Runs after every event is recorded (a waiting test checks its condition).
    std::function<void()> raisedHook;

    void onStatus(const std::u16string& s) override {
        add("Status " + memory::narrow(s));
        if (statusHook) statusHook(s);
    }
    void onRegOK(std::int16_t state) override { add("RegOK " + std::to_string(state)); }
    void onSessionStateText(const std::u16string& s) override { add("SessionStateText " + memory::narrow(s)); }
    void onIncomingCall(const std::u16string& s) override { add("IncomingCall " + memory::narrow(s)); }
    void onCallTerminate(bool b) override { add(std::string("CallTerminate ") + (b ? "true" : "false")); }
    void onCallAnswer(bool b) override { add(std::string("CallAnswer ") + (b ? "true" : "false")); }
    void onCallConnect(bool b) override { add(std::string("CallConnect ") + (b ? "true" : "false")); }
    void onCallDisconnect() override { add("CallDisconnect"); }
    void onSignOut() override { add("SignOut"); }
    void onRinging() override { add("Ringing"); }
    void onProcessing() override { add("Processing"); }
    void onConnected() override { add("Connected"); }
    void onAnswered() override { add("Answered"); }
    void onRegFail(const std::u16string& s) override { add("RegFail " + memory::narrow(s)); }
    void onAudioReceived() override { add("AudioReceived"); }

private:
    void add(std::string text) {
        raised.push_back(std::move(text));
        if (raisedHook) raisedHook();
    }
};

}  // namespace pelex::sip_engine::testing
