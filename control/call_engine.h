#pragma once
// What the control needs of its SIP call engine (`RTC1`): the account values,
// the call operations and the events it shows. The production implementation
// stands on sip_engine's clsRTC; tests use a scripted engine.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace pelex::control {

/// The engine's events that the control handles. Raised synchronously on the
/// user-interface thread; the handler runs to its end before the engine goes on.
class CallEngineEvents {
public:
    virtual ~CallEngineEvents() = default;
    virtual void Status(const std::u16string& strStatus) = 0;
    virtual void RegOK(std::int16_t state) = 0;
    virtual void RegFail(const std::u16string& status) = 0;
    virtual void SessionStateText(const std::u16string& stateText) = 0;
    virtual void Processing() = 0;
    virtual void Ringing() = 0;
    virtual void Answered() = 0;
    virtual void Connected() = 0;
    virtual void CallDisconnect() = 0;
    virtual void SignOut() = 0;
};

/// One engine: holds the SIP account, registers, places and answers calls.
/// Operations return nothing; outcomes arrive as events. An operation that
/// cannot run throws (std::exception); the control applies its own policy.
class CallEngine {
public:
    virtual ~CallEngine() = default;

    virtual void setLineNumber(const std::u16string& v) = 0;
    virtual void setRegServerIP(const std::u16string& v) = 0;
    virtual void setRegPassword(const std::u16string& v) = 0;
    virtual void setRegUserName(const std::u16string& v) = 0;
    virtual void setRegSIPPort(const std::u16string& v) = 0;
    virtual void setHerName(const std::u16string& v) = 0;
    virtual void setURIher(const std::u16string& v) = 0;
    /// Returns the SIP account name set before `Init`.
    virtual std::u16string regUserName() const = 0;
    /// Returns the SIP server address set before `Init`.
    virtual std::u16string regServerIP() const = 0;

    /// Starts the platform client and the registration (audio only unless `video`).
    virtual void Init(bool video) = 0;
    /// Places a call to the address set with setURIher. Throws when the call
    /// cannot even be placed (its progress and outcome arrive as events).
    virtual void Connect() = 0;
    /// Answers the offered incoming call.
    virtual void Answer() = 0;
    /// Ends (or rejects) the current call.
    virtual void Terminate() = 0;
    /// Starts signing out; throws when the client is already released.
    virtual void ShutDown() = 0;
    /// Sends the touch tone of keypad index 0-11, or the flash tone for 12.
    virtual void Key(std::int16_t index) = 0;
};

/// Creates a new engine whose events go to `events` (which outlives it).
using CallEngineFactory = std::function<std::unique_ptr<CallEngine>(CallEngineEvents& events)>;

}  // namespace pelex::control
