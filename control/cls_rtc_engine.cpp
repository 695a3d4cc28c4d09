#include "control/cls_rtc_engine.h"

#include <stdexcept>

namespace pelex::control {

namespace {

class Events : public sip_engine::ClsRTCEvents {
public:
    explicit Events(CallEngineEvents& to) : to_(to) {}
    void onStatus(const std::u16string& s) override { to_.Status(s); }
    void onRegOK(std::int16_t state) override { to_.RegOK(state); }
    void onRegFail(const std::u16string& s) override { to_.RegFail(s); }
    void onSessionStateText(const std::u16string& s) override { to_.SessionStateText(s); }
    void onProcessing() override { to_.Processing(); }
    void onRinging() override { to_.Ringing(); }
    void onAnswered() override { to_.Answered(); }
    void onConnected() override { to_.Connected(); }
    void onCallDisconnect() override { to_.CallDisconnect(); }
    void onSignOut() override { to_.SignOut(); }

private:
    CallEngineEvents& to_;
};

class ClsRtcEngine : public CallEngine {
public:
    ClsRtcEngine(sip_engine::ClsRTCPlatform platform, CallEngineEvents& events)
        : events_(events), rtc_(std::move(platform), &events_) {}

    void setLineNumber(const std::u16string& v) override { rtc_.LineNumber = v; }
    void setRegServerIP(const std::u16string& v) override { rtc_.RegServerIP = v; }
    void setRegPassword(const std::u16string& v) override { rtc_.RegPassword = v; }
    void setRegUserName(const std::u16string& v) override { rtc_.RegUserName = v; }
    void setRegSIPPort(const std::u16string& v) override { rtc_.RegSIPPort = v; }
    void setHerName(const std::u16string& v) override { rtc_.HerName = v; }
    void setURIher(const std::u16string& v) override { rtc_.URIher = v; }
    std::u16string regUserName() const override { return rtc_.RegUserName; }
    std::u16string regServerIP() const override { return rtc_.RegServerIP; }

    void Init(bool video) override { rtc_.Init(video); }
    void Connect() override {
        rtc_.Connect();
        if (!rtc_.HasParticipant()) throw std::runtime_error("the call could not be placed");
    }
    void Answer() override { rtc_.Answer(); }
    void Terminate() override { rtc_.Terminate(); }
    void ShutDown() override { rtc_.ShutDown(); }
    void Key(std::int16_t index) override { rtc_.Key(index); }
    void setRegistrationWait(std::chrono::milliseconds wait) { rtc_.RegistrationTimeout = wait; }

private:
    Events events_;  // declared first: outlives the engine that raises into it
    sip_engine::clsRTC rtc_;
};

}  // namespace

CallEngineFactory clsRtcEngineFactory(sip_engine::ClsRTCPlatform platform,
                                      std::optional<std::chrono::milliseconds> registrationWait) {
    return [platform = std::move(platform), registrationWait](CallEngineEvents& events) -> std::unique_ptr<CallEngine> {
        auto engine = std::make_unique<ClsRtcEngine>(platform, events);
        if (registrationWait) engine->setRegistrationWait(*registrationWait);
        return engine;
    };
}

}  // namespace pelex::control
