#pragma once
// A read-only, one-based list of participants.

#include <cstdint>
#include <memory>

#include "sip_engine/rtc/rtc_participant.h"

namespace pelex::sip_engine::rtc {

class IRTCCollection {
public:
    virtual ~IRTCCollection() = default;
    /// Number of items.
    virtual std::int32_t Count() const = 0;
    /// Item `index`, counted from 1. Throws RTCError outside 1..Count().
    virtual std::shared_ptr<IRTCParticipant> Item(std::int32_t index) const = 0;
};

}  // namespace pelex::sip_engine::rtc
