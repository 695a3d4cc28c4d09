#pragma once
// The three ways a handler of the engine treats a failing step. Each handler
// names its policy at its top, so the policy is visible where it applies.
//
//   skipStep(...)     skip a failing step and run the next one
//   endQuietly(...)   end the whole handler quietly at the first failure
//   trapNothing(...)  let the failure travel back to the caller
//
// A failure is any std::exception: a failing platform call (RTCError), a
// missing object, or a failure thrown by an owner's event handler.

#include <exception>
#include <utility>

namespace pelex::sip_engine {

/// Runs one step; a failure is dropped. Returns true when the step succeeded.
template <class Step>
bool skipStep(Step&& step) noexcept {
    try {
        std::forward<Step>(step)();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

/// Runs a whole handler body; the first failure ends it, nothing is reported.
template <class Body>
void endQuietly(Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (const std::exception&) {
    }
}

/// Runs a handler body that traps nothing: a failure is the caller's.
template <class Body>
void trapNothing(Body&& body) {
    std::forward<Body>(body)();
}

}  // namespace pelex::sip_engine
