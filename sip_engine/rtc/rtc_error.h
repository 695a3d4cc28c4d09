#pragma once
// The one failure every member of the RTC boundary reports: a call that did
// not do what it says throws RTCError instead of returning an error code.

#include <stdexcept>
#include <string>

namespace pelex::sip_engine::rtc {

class RTCError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace pelex::sip_engine::rtc
