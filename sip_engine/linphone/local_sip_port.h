#pragma once
// The local SIP port the user fixed (LinphoneOptions::sipPort), across a
// quick sign-out and sign-in.
//
// The stack signed out is stopped in the background and holds its port for
// up to several seconds, sending its unregistration from it. A new stack
// that took the same port meanwhile would share it with the old one (the
// stack binds with SO_REUSEADDR): the old stack's late unregistration of
// the very same contact could remove the new registration at the
// registrar. So the new stack waits: it starts on a port of its own with its
// network marked unreachable (it sends nothing and registers nothing), and
// moves to the fixed port as soon as the old stack has let it go; only then
// does it register. A fixed port that another program holds is not waited
// for: the stack takes a free port and says so.

#include <linphone++/linphone.hh>

#include <functional>
#include <memory>

namespace pelex::sip_engine::linphone_rtc {

class LocalSipPort {
public:
    /// `wanted`: the fixed port, or -1 for any free port. `moved` runs when
    /// the stack has moved to the fixed port; it marks the stack's network
    /// reachable again (as far as the network allows), so that it registers.
    LocalSipPort(int wanted, std::function<void()> moved);

    /// The port to configure a new core with: the fixed one, or any while a
    /// stack that is stopping still holds it.
    int portToBind();
    /// Once `core` has started: makes sure it ends up on the fixed port (see
    /// above). Call after portToBind().
    void claim(const std::shared_ptr<linphone::Core>& core);
    /// True while the stack waits, unreachable, for the fixed port.
    bool waiting() const { return waiting_; }
    /// The core is going: a move still waiting is called off.
    void release();

private:
    void moveToWanted();
    /// Takes any free port when the core could not bind the fixed one.
    void insistOnAPort(linphone::Core& core);

    int wanted_;
    std::function<void()> moved_;
    bool waiting_ = false;
    std::weak_ptr<linphone::Core> core_;
    std::shared_ptr<char> alive_ = std::make_shared<char>();
};

}  // namespace pelex::sip_engine::linphone_rtc
