#pragma once
// The line's state as the display shows it. The engine writes the line's
// texts into the display, and the call button reads them back: the idle
// text means "dial", a text beginning with the line's name and " INCOMING"
// means "answer", anything else "the line is busy". These are the texts and
// the one reading of them that every part of the control uses.

#include <string>
#include <string_view>

namespace pelex::control {

/// The name of the phone's one line, which the engine puts in front of its
/// line texts (its `LineNumber`).
inline constexpr char16_t kLineNumber[] = u"Line 1";
/// The display text of a registered, idle line.
inline constexpr char16_t kIdleText[] = u"Line 1 is initialized and ready to make/receive calls.";
static_assert(std::u16string_view(kIdleText).starts_with(kLineNumber));

enum class LineState {
    Idle,      ///< registered and no call: the call button dials
    Incoming,  ///< a call is offered: the call button answers it
    Busy,      ///< a call is placed, rings out, is connected, held or transferred
    NotReady,  ///< signed out, signing in or out, registering, or the registration failed
};

/// The state a display text stands for: the idle text exactly, a text
/// beginning "Line 1 INCOMING", the texts of a line that cannot take calls
/// (none at all, "Line 1 is registering.", "Line 1 is waiting for the
/// network.", "Number is rejected.", "Number is not registered.", "Signing
/// Out..."), and every other text a busy line.
LineState lineStateOf(std::u16string_view displayText);

}  // namespace pelex::control
