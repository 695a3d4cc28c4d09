#pragma once
// The stack's calls and the client's sessions: each call state the stack
// reports reaches the session of its call, and a call nobody placed through
// a session (an incoming call, or one the stack placed by itself after a
// transfer) gets a session of its own, kept alive until the stack releases
// the call.

#include <linphone++/linphone.hh>

#include <memory>
#include <vector>

#include "sip_engine/linphone/linphone_objects.h"

namespace pelex::sip_engine::linphone_rtc {

class CallSessions {
public:
    explicit CallSessions(std::shared_ptr<Context> context) : context_(std::move(context)) {}

    /// The stack's call `call` moved to `state`.
    void onCallState(const std::shared_ptr<linphone::Call>& call, linphone::Call::State state);
    /// The stack is going: every session lets go of its call and has ended.
    void release();

private:
    std::shared_ptr<Context> context_;
    std::vector<std::shared_ptr<LinphoneSession>> keptAlive_;  // sessions of calls the stack started
};

}  // namespace pelex::sip_engine::linphone_rtc
