#include "sip_engine/linphone/sign_out_cleanup.h"

#include "sip_engine/linphone/core_stopper.h"

namespace pelex::sip_engine::linphone_rtc {

bool SignOutCleanup::begin(linphone::Core& core) {
    if (begun_) return false;
    begun_ = true;
    deadline_ = Clock::now() + kBound;
    core.terminateAllCalls();
    return true;
}

bool SignOutCleanup::finishedNow(linphone::Core& core) {
    if (!begun_ || reported_) return false;
    const bool done = Clock::now() > deadline_ || (core.getCallsNb() == 0 && !anyAccountRegistered(core));
    if (done) reported_ = true;
    return done;
}

}  // namespace pelex::sip_engine::linphone_rtc
