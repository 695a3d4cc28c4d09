#pragma once
// The three ways a handler treats a failure (a thrown std::exception), each
// a helper whose name says the policy where the handler is written:
//
//   skipOnFailure(step)      the step may fail; the handler goes on with its
//                            next step as if the step had not run to its end.
//   endQuietlyOnFailure(body) the first failure ends the body; nobody hears
//                            of it.
//   trapNothing(body)        any failure ends the body and goes on up to the
//                            caller.

#include <exception>
#include <utility>

namespace pelex::account_protocol {

template <class Step>
void skipOnFailure(Step&& step) noexcept {
    try {
        std::forward<Step>(step)();
    } catch (const std::exception&) {
    }
}

template <class Body>
void endQuietlyOnFailure(Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (const std::exception&) {
    }
}

template <class Body>
decltype(auto) trapNothing(Body&& body) {
    return std::forward<Body>(body)();
}

}  // namespace pelex::account_protocol
