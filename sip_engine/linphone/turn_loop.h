#pragma once
// Turns the stack from the Qt event loop.
//
// The stack turns at once when a SIP message arrives (SipSocketWatch), every
// idle interval for its timers, and every 2 ms for two seconds after it was
// asked to send something (it sends some requests on a later turn; see
// Context::markBusy), so signalling round trips stay short without costing
// an idle phone its CPU.

#include <QTimer>

#include <functional>
#include <memory>

#include "sip_engine/linphone/linphone_objects.h"
#include "sip_engine/linphone/sip_socket_watch.h"

namespace pelex::sip_engine::linphone_rtc {

class TurnLoop {
public:
    /// `wake` runs whenever a turn is due (the timer, or a SIP message
    /// arrived); it calls turn(). `idleMs` is the interval while nothing is
    /// under way.
    TurnLoop(std::shared_ptr<Context> context, int idleMs, std::function<void()> wake);
    ~TurnLoop();
    TurnLoop(const TurnLoop&) = delete;
    TurnLoop& operator=(const TurnLoop&) = delete;

    /// Starts turning the context's core.
    void start();
    /// Stops turning (the core is going).
    void stop();
    /// One turn of the core: iterate, then `afterIterate`, then the SIP
    /// socket is followed and the next turn paced. False when no turn was
    /// made (one is under way further up, or the core is gone).
    bool turn(const std::function<void(linphone::Core&)>& afterIterate);

private:
    /// Every 2 ms while signalling is under way, else every idle interval. A
    /// changed interval restarts the timer, so a request just made is sent
    /// within 2 ms.
    void pace();

    std::shared_ptr<Context> context_;
    int idleMs_;
    std::function<void()> wake_;
    QTimer timer_;
    SipSocketWatch sipSocket_{[this] { wake_(); }};
    bool turning_ = false;
};

}  // namespace pelex::sip_engine::linphone_rtc
