#include "control/image_button.h"

#include <QMouseEvent>
#include <QPainter>

namespace pelex::control {

ImageButton::ImageButton(const QString& objectName, const QString& accessibleName, QWidget* parent)
    : QAbstractButton(parent) {
    setObjectName(objectName);
    setAccessibleName(accessibleName);
    setText(accessibleName);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
}

void ImageButton::setPicture(const QPixmap& picture) {
    picture_ = picture;
    update();
}

void ImageButton::paintEvent(QPaintEvent*) {
    if (picture_.isNull()) return;
    QPainter p(this);
    p.drawPixmap(rect(), picture_);
}

void ImageButton::mouseDoubleClickEvent(QMouseEvent* event) { event->accept(); }

}  // namespace pelex::control
