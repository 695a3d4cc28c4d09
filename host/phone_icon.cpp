#include "host/phone_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace pelex::host {

namespace {

// A telephone handset on a round green field.
QPixmap drawn(int size) {
    QPixmap p(size, size);
    p.fill(Qt::transparent);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    g.setPen(Qt::NoPen);
    g.setBrush(QColor(0x2e, 0x9d, 0x5a));
    g.drawEllipse(QRectF(0, 0, size, size).adjusted(0.5, 0.5, -0.5, -0.5));
    const qreal u = size / 16.0;
    QPainterPath handset;
    handset.moveTo(4 * u, 5 * u);
    handset.cubicTo(4 * u, 10 * u, 6 * u, 12 * u, 11 * u, 12 * u);
    g.setPen(QPen(Qt::white, 2.2 * u, Qt::SolidLine, Qt::RoundCap));
    g.setBrush(Qt::NoBrush);
    g.drawPath(handset);
    g.setPen(QPen(Qt::white, 3.2 * u, Qt::SolidLine, Qt::RoundCap));
    g.drawLine(QPointF(4 * u, 4.2 * u), QPointF(5.6 * u, 4.2 * u));
    g.drawLine(QPointF(11.8 * u, 10.4 * u), QPointF(11.8 * u, 12 * u));
    return p;
}

}  // namespace

QIcon phoneIcon() {
    QIcon own;
    for (int size : {16, 22, 32, 48, 64}) own.addPixmap(drawn(size));
    return QIcon::fromTheme(QStringLiteral("pelex-softphone"), own);
}

}  // namespace pelex::host
