#include "control/image_button.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "control/skin.h"

namespace pelex::control {

ImageButton::ImageButton(const QString& objectName, const QString& accessibleName, QWidget* parent)
    : QAbstractButton(parent) {
    setObjectName(objectName);
    setAccessibleName(accessibleName);
    setText(accessibleName);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
}

void ImageButton::setPicture(const QPixmap& picture) {
    picture_ = picture;
    update();
}

void ImageButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!picture_.isNull()) p.drawPixmap(rect(), picture_);
    if (hasFocus()) skin::drawFocusRing(p, rect());
}

void ImageButton::mouseDoubleClickEvent(QMouseEvent* event) { event->accept(); }

void ImageButton::keyPressEvent(QKeyEvent* event) {
    // Space is the button's own key; Enter and Return press it as well, as
    // a user of a telephone expects.
    if (!event->isAutoRepeat() && event->modifiers() == Qt::NoModifier &&
        (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        event->accept();
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

}  // namespace pelex::control
