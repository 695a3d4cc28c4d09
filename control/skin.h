#pragma once
// The control's pictures, drawn with QPainter from the layout table: the
// phone itself, the two panel backgrounds, the sign-in button and the
// pressed pictures of the keys and the call button. `scale` is pixels per
// twip; every picture is drawn at the size it is shown.

#include <QPixmap>
#include <QRect>
#include <QSize>

class QPainter;

namespace pelex::control::skin {

/// The phone's body with its logo plate, display window, keypad and the
/// call, sign-out and hang-up buttons.
QPixmap phone(double scale);
/// The sign-in panel's background.
QPixmap loginPanel(QSize size);
/// The display panel's background (a small LCD).
QPixmap displayPanel(QSize size);
/// The sign-in button, normal or pressed.
QPixmap signInButton(QSize size, bool pressed);
/// Keypad key `index` (0-11) held down.
QPixmap keyPressed(int index, QSize size);
/// A link's caption: underlined blue text, centred on a clear background.
QPixmap linkCaption(QSize size, const QString& text);
/// The call button held down.
QPixmap callPressed(QSize size);
/// The keyboard focus mark of a button: a bright ring just inside `area`,
/// seen on the dark phone and on the light panels alike.
void drawFocusRing(QPainter& p, const QRect& area);

}  // namespace pelex::control::skin
