#pragma once
// Using an object reference that may be unset: an unset one is a failure
// (RTCError) like any failing call, so the failure policies apply to it.

#include <memory>

#include "sip_engine/rtc/rtc_error.h"

namespace pelex::sip_engine {

/// The object `reference` points to; throws RTCError when it is unset.
template <class T>
T& deref(const std::shared_ptr<T>& reference) {
    if (!reference) throw rtc::RTCError("object reference not set");
    return *reference;
}

}  // namespace pelex::sip_engine
