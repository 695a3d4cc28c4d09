#pragma once
// Plain values behind the event and collection interfaces, shared by every
// client implementation: a client fills one in and hands it to its sink.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sip_engine/rtc/rtc_collection.h"
#include "sip_engine/rtc/rtc_error.h"
#include "sip_engine/rtc/rtc_events.h"

namespace pelex::sip_engine::rtc {

struct ClientEvent final : IRTCClientEvent {
    ClientEventType type{};
    explicit ClientEvent(ClientEventType t) : type(t) {}
    ClientEventType EventType() const override { return type; }
};

struct RegistrationEvent final : IRTCRegistrationStateChangeEvent {
    std::shared_ptr<IRTCProfile> profile;
    RegistrationState state{};
    std::int32_t code = 0;
    std::u16string text;
    RegistrationEvent() = default;
    RegistrationEvent(std::shared_ptr<IRTCProfile> p, RegistrationState s) : profile(std::move(p)), state(s) {}
    std::shared_ptr<IRTCProfile> Profile() const override { return profile; }
    RegistrationState State() const override { return state; }
    std::int32_t StatusCode() const override { return code; }
    std::u16string StatusText() const override { return text; }
};

struct SessionEvent final : IRTCSessionStateChangeEvent {
    std::shared_ptr<IRTCSession> session;
    SessionState state{};
    std::int32_t code = 0;
    std::u16string text;
    std::shared_ptr<IRTCSession> Session() const override { return session; }
    SessionState State() const override { return state; }
    std::int32_t StatusCode() const override { return code; }
    std::u16string StatusText() const override { return text; }
};

struct MediaEvent final : IRTCMediaEvent {
    std::int32_t media = 0;
    MediaEventType type{};
    std::int32_t MediaType() const override { return media; }
    MediaEventType EventType() const override { return type; }
};

/// A session's participants, counted from 1 as the collection interface
/// wants; an index outside 1..Count() throws RTCError.
class ParticipantCollection final : public IRTCCollection {
public:
    explicit ParticipantCollection(std::vector<std::shared_ptr<IRTCParticipant>> items) : items_(std::move(items)) {}
    std::int32_t Count() const override { return static_cast<std::int32_t>(items_.size()); }
    std::shared_ptr<IRTCParticipant> Item(std::int32_t index) const override {
        if (index < 1 || index > Count()) throw RTCError("collection index out of range");
        return items_[static_cast<std::size_t>(index - 1)];
    }

private:
    std::vector<std::shared_ptr<IRTCParticipant>> items_;
};

}  // namespace pelex::sip_engine::rtc
