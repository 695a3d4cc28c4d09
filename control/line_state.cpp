#include "control/line_state.h"

namespace pelex::control {

LineState lineStateOf(std::u16string_view text) {
    const std::u16string line(kLineNumber);
    if (text == kIdleText) return LineState::Idle;
    if (text.starts_with(line + u" INCOMING")) return LineState::Incoming;
    if (text.empty() || text == line + u" is registering." || text == line + u" is waiting for the network." ||
        text == u"Number is rejected." || text == u"Number is not registered." || text == u"Signing Out...")
        return LineState::NotReady;
    return LineState::Busy;
}

}  // namespace pelex::control
