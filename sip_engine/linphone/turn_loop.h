#pragma once
// Turns the stack from the Qt event loop.
//
// The stack turns at once when a SIP message arrives (SipSocketWatch), fast
// for two seconds after it was asked to send something (it sends some
// requests on a later turn, and answers such as DNS replies arrive on
// sockets nobody watches; see Context::markBusy and turnInterval), and
// otherwise for its timers: every call interval while a call runs, every
// idle interval while none does. So signalling round trips stay short
// without costing an idle phone its CPU.

#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>

#include "sip_engine/linphone/linphone_objects.h"
#include "sip_engine/linphone/sip_socket_watch.h"

namespace pelex::sip_engine::linphone_rtc {

/// Milliseconds until the next turn, `sinceSignalling` after the stack was
/// last asked to signal, when the calm interval is `calmMs`: 2 ms for the
/// first 100 ms (a request just made goes out at once), 10 ms until half a
/// second, 50 ms until two seconds, then `calmMs` (never more than that).
int turnInterval(std::chrono::steady_clock::duration sinceSignalling, int calmMs);

class TurnLoop {
public:
    /// `wake` runs whenever a turn is due (the timer, or a SIP message
    /// arrived); it calls turn(). `callMs` and `idleMs` are the intervals
    /// while a call runs and while none does.
    TurnLoop(std::shared_ptr<Context> context, int callMs, int idleMs, std::function<void()> wake);
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
    /// Sets the timer to turnInterval(). A changed interval restarts the
    /// timer, so a request just made is sent within 2 ms.
    void pace();

    std::shared_ptr<Context> context_;
    int callMs_;
    int idleMs_;
    std::function<void()> wake_;
    QTimer timer_;
    SipSocketWatch sipSocket_{[this] { wake_(); }};
    bool turning_ = false;
};

}  // namespace pelex::sip_engine::linphone_rtc
