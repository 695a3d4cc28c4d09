#pragma once
// The three small objects through which the engine, the socket and the
// protocol object reach the control's handlers. Private to the control.

#include "control/pelex_msn.h"

namespace pelex::control {

// Engine events reach the control only while this relay is the live one:
// a released engine is silenced before it is destroyed.
class Pelex_MSN::EngineRelay : public CallEngineEvents {
public:
    explicit EngineRelay(Pelex_MSN& owner) : owner_(&owner) {}
    void silence() { owner_ = nullptr; }

    void Status(const std::u16string& s) override { if (owner_) owner_->RTC1_Status(s); }
    void RegOK(std::int16_t state) override { if (owner_) owner_->RTC1_RegOK(state); }
    void RegFail(const std::u16string& s) override { if (owner_) owner_->RTC1_RegFail(s); }
    void SessionStateText(const std::u16string& s) override { if (owner_) owner_->RTC1_SessionStateText(s); }
    void Processing() override { if (owner_) owner_->RTC1_Processing(); }
    void Ringing() override { if (owner_) owner_->RTC1_Ringing(); }
    void Answered() override { if (owner_) owner_->RTC1_Answered(); }
    void Connected() override { if (owner_) owner_->RTC1_Connected(); }
    void CallDisconnect() override { if (owner_) owner_->RTC1_CallDisconnect(); }
    void SignOut() override { if (owner_) owner_->RTC1_SignOut(); }

private:
    Pelex_MSN* owner_;
};

class Pelex_MSN::SocketRelay : public account_protocol::SocketEvents {
public:
    explicit SocketRelay(Pelex_MSN& owner) : owner_(owner) {}
    void Connect() override { owner_.TCP1_Connect(); }
    void DataArrival(std::size_t) override { owner_.TCP1_DataArrival(); }
    void Close() override { owner_.TCP1_Close(); }
    void Error(int, const QString& description) override { owner_.TCP1_Error(description); }

private:
    Pelex_MSN& owner_;
};

class Pelex_MSN::ProtocolRelay : public account_protocol::CorvoProtocolEvents {
public:
    explicit ProtocolRelay(Pelex_MSN& owner) : owner_(owner) {}
    void LoginCode(const QString& text) override { owner_.cvp_LoginCode(text); }
    void InvalidLogin() override { owner_.cvp_InvalidLogin(); }

private:
    Pelex_MSN& owner_;
};

}  // namespace pelex::control
