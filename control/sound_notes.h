#pragma once
// Notes about the sound devices (no microphone, no sound server, ...) on
// their way from the call engine to the control that shows them. The engine
// may post before the control listens: the last note is kept and handed to
// a listener when it attaches.

#include <functional>
#include <string>

namespace pelex::control {

class SoundNotes {
public:
    using Listener = std::function<void(const std::u16string& text)>;
    /// A new note; an empty text withdraws the last one.
    void post(const std::u16string& text) {
        last_ = text;
        if (listener_) listener_(text);
    }
    /// Sends every note from now on to `listener`, starting with the last one.
    void attach(Listener listener) {
        listener_ = std::move(listener);
        if (listener_ && !last_.empty()) listener_(last_);
    }
    void detach() { listener_ = nullptr; }
    const std::u16string& last() const { return last_; }

private:
    Listener listener_;
    std::u16string last_;
};

}  // namespace pelex::control
