#pragma once
// A call engine for the control's tests: records every operation in order,
// keeps the values it was given, and lets the test raise its events.

#include <stdexcept>
#include <string>
#include <vector>

#include "control/call_engine.h"

namespace pelex::control::testing {

class ScriptedEngine : public CallEngine {
public:
    explicit ScriptedEngine(CallEngineEvents& events) : events(events) {}

    void setLineNumber(const std::u16string& v) override { record("LineNumber=", v); lineNumber = v; }
    void setRegServerIP(const std::u16string& v) override { record("RegServerIP=", v); serverIP = v; }
    void setRegPassword(const std::u16string& v) override { record("RegPassword=", v); password = v; }
    void setRegUserName(const std::u16string& v) override { record("RegUserName=", v); userName = v; }
    void setRegSIPPort(const std::u16string& v) override { record("RegSIPPort=", v); port = v; }
    void setHerName(const std::u16string& v) override { record("HerName=", v); herName = v; }
    void setURIher(const std::u16string& v) override { record("URIher=", v); uriHer = v; }
    std::u16string regUserName() const override { return userName; }
    std::u16string regServerIP() const override { return serverIP; }

    void Init(bool video) override { calls.push_back(video ? "Init(true)" : "Init(false)"); }
    void Connect() override {
        calls.push_back("Connect");
        if (connectFails) throw std::runtime_error("the call could not be placed");
    }
    void Answer() override { calls.push_back("Answer"); }
    void Terminate() override { calls.push_back("Terminate"); }
    void ShutDown() override {
        calls.push_back("ShutDown");
        if (clientReleased) throw std::runtime_error("the client is released");
    }
    void Key(std::int16_t index) override { calls.push_back("Key(" + std::to_string(index) + ")"); }

    /// The Key indexes sent, in order.
    std::vector<int> keys() const {
        std::vector<int> out;
        for (const auto& c : calls)
            if (c.rfind("Key(", 0) == 0) out.push_back(std::stoi(c.substr(4)));
        return out;
    }

    CallEngineEvents& events;
    std::vector<std::string> calls;
    std::u16string lineNumber, serverIP, password, userName, port, herName, uriHer;
    bool clientReleased = false;  ///< ShutDown throws while set
    bool connectFails = false;    ///< Connect throws while set

private:
    void record(const char* what, const std::u16string& v) {
        std::string narrow;
        for (char16_t c : v) narrow += c < 128 ? char(c) : '?';
        calls.push_back(what + narrow);
    }
};

}  // namespace pelex::control::testing
