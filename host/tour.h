#pragma once
// A scripted walk through the phone for demos without a display: sign in from
// the boxes, dial a number on the keypad, send touch tones, hang up, sign out.
// It operates the control only through its accessibility tree.

#include <QString>
#include <functional>

class QWidget;

namespace pelex::host {

/// Runs the tour on the control `control()` returns, dialling `number`.
/// Progress goes to standard output; message boxes are printed and closed. Returns 0 when every step was seen to
/// complete, 1 at the first step that did not (after a bounded wait).
int runTour(const std::function<QWidget*()>& control, const QString& number);

}  // namespace pelex::host
