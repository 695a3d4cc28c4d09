#pragma once
// A transparent image button laid over the skin: it paints only its current
// picture (none while it is not pressed, so the skin below shows through).
// As a QAbstractButton it is a real push button to assistive technology and
// answers the "press" action; a double click does nothing.
//
// The keyboard reaches it with Tab (a click does not take the focus, so a
// click on a button leaves the focus where the user was typing); Space,
// Enter and Return press it. While it has the focus a ring is drawn round it.

#include <QAbstractButton>
#include <QPixmap>

namespace pelex::control {

class ImageButton : public QAbstractButton {
    Q_OBJECT
public:
    ImageButton(const QString& objectName, const QString& accessibleName, QWidget* parent);

    /// The picture shown; a null pixmap shows nothing.
    void setPicture(const QPixmap& picture);
    const QPixmap& picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPixmap picture_;
};

}  // namespace pelex::control
