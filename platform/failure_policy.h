#pragma once
// The three ways a handler treats a failure (a thrown std::exception). Each
// handler names its policy where it is written, so the policy is visible at
// a glance:
//
//   skipStep(step)     the step may fail; the handler goes on with its next
//                      step as if this one had run to its end.
//   endQuietly(body)   the first failure ends the body; nobody hears of it.
//   trapNothing(body)  any failure ends the body and travels on up to the
//                      caller.

#include <exception>
#include <utility>

namespace pelex::platform {

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
/// Returns what the body returns.
template <class Body>
decltype(auto) trapNothing(Body&& body) {
    return std::forward<Body>(body)();
}

}  // namespace pelex::platform
