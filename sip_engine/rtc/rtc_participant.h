#pragma once
// The remote party of a session.

#include <string>

namespace pelex::sip_engine::rtc {

class IRTCParticipant {
public:
    virtual ~IRTCParticipant() = default;
    /// The party's address as the signalling carries it, e.g. "sip:1001@10.0.0.1".
    virtual std::u16string UserURI() const = 0;
};

}  // namespace pelex::sip_engine::rtc
