#include "sip_engine/linphone/call_sessions.h"

namespace pelex::sip_engine::linphone_rtc {

void CallSessions::onCallState(const std::shared_ptr<linphone::Call>& call, linphone::Call::State state) {
    std::shared_ptr<LinphoneSession> session;
    if (auto found = context_->sessions.find(call.get()); found != context_->sessions.end())
        session = found->second.lock();
    if (!session && state == linphone::Call::State::Released) return;
    if (!session && call->getDir() == linphone::Call::Dir::Outgoing) session = context_->placing.lock();
    if (!session) {
        session = std::make_shared<LinphoneSession>(context_);
        session->adopt(call);
        keptAlive_.push_back(session);
    } else if (!session->call) {
        session->call = call;
        context_->sessions[call.get()] = session;
    }
    session->onCallState(state);
    if (state == linphone::Call::State::Released) std::erase(keptAlive_, session);
}

void CallSessions::release() {
    for (auto& [call, weak] : context_->sessions)
        if (auto session = weak.lock()) session->detach();
    context_->sessions.clear();
    keptAlive_.clear();
}

}  // namespace pelex::sip_engine::linphone_rtc
