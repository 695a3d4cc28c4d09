#pragma once
// The phone's line as the hosted control reports it (PelexHostEvents).

#include <QString>

#include <cstdint>
#include <string>

namespace pelex::host {

enum class LineState { SignedOut, NotReady, Idle, Incoming, Busy };

struct PhoneLine {
    LineState state = LineState::SignedOut;
    QString display;  ///< the display's text, in the engine's words
    QString caller;   ///< the number offering a call while Incoming, else empty
    bool operator==(const PhoneLine&) const = default;
};

/// The line from the control's report; texts that came from the network are
/// made safe to show (see shownText).
PhoneLine phoneLine(std::uint32_t state, const std::string& display, const std::string& caller);

/// `text` (UTF-8 from the control, maybe from a caller) as one plain line:
/// control characters become spaces and it is cut to `most` characters.
QString shownText(const std::string& text, int most = 80);

/// The line in the engine's words, for a tool tip: the display's text, or
/// "Signed out." while the sign-in panel covers it.
QString lineWords(const PhoneLine& line);

}  // namespace pelex::host
