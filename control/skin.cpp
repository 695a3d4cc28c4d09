#include "control/skin.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "control/layout.h"

namespace pelex::control::skin {

namespace {

QRectF scaled(const layout::TwipsRect& r, double s) { return {r.left * s, r.top * s, r.width * s, r.height * s}; }

QPixmap blank(QSize size) {
    QPixmap p(size.expandedTo({1, 1}));
    p.fill(Qt::transparent);
    return p;
}

// A handset: a curved grip with an ear piece and a mouth piece.
void drawHandset(QPainter& p, const QRectF& box, const QColor& color) {
    const double side = std::min(box.width(), box.height()) * 0.8;
    const QRectF r(box.center().x() - side / 2, box.center().y() - side / 2, side, side);
    QPainterPath grip;
    grip.moveTo(r.left() + side * 0.18, r.top() + side * 0.30);
    grip.quadTo(r.center().x(), r.top() - side * 0.05, r.right() - side * 0.18, r.top() + side * 0.30);
    p.setPen(QPen(color, side * 0.16, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(grip);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawRoundedRect(QRectF(r.left(), r.top() + side * 0.28, side * 0.32, side * 0.22), side * 0.06, side * 0.06);
    p.drawRoundedRect(QRectF(r.right() - side * 0.32, r.top() + side * 0.28, side * 0.32, side * 0.22), side * 0.06,
                      side * 0.06);
}

void drawButtonFace(QPainter& p, const QRectF& r, const QColor& top, const QColor& bottom) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.setPen(QPen(QColor(20, 24, 30), 1));
    p.setBrush(g);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), r.height() * 0.3, r.height() * 0.3);
}

void drawKeyFace(QPainter& p, const QRectF& r, int index, bool pressed) {
    drawButtonFace(p, r, pressed ? QColor(120, 130, 145) : QColor(236, 239, 244),
                   pressed ? QColor(80, 88, 100) : QColor(190, 196, 206));
    QFont f = p.font();
    f.setPixelSize(std::max(6, int(r.height() * 0.7)));
    f.setBold(true);
    p.setFont(f);
    p.setPen(pressed ? Qt::white : QColor(30, 34, 40));
    p.drawText(r.translated(pressed ? 1 : 0, pressed ? 1 : 0), Qt::AlignCenter,
               QString(QChar(layout::keypadCharacter(index))));
}

void drawPowerSign(QPainter& p, const QRectF& box, const QColor& color) {
    const double side = std::min(box.width(), box.height()) * 0.6;
    const QRectF r(box.center().x() - side / 2, box.center().y() - side / 2, side, side);
    p.setPen(QPen(color, std::max(1.0, side * 0.14), Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(r, 120 * 16, 300 * 16);
    p.drawLine(QPointF(r.center().x(), r.top() - side * 0.08), QPointF(r.center().x(), r.center().y()));
}

}  // namespace

QPixmap phone(double s) {
    QPixmap pix = blank(QSize(int(layout::kControlWidth * s + 0.5), int(layout::kControlHeight * s + 0.5)));
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body(1, 1, pix.width() - 2, pix.height() - 2);
    QLinearGradient shell(body.topLeft(), body.bottomRight());
    shell.setColorAt(0, QColor(58, 72, 94));
    shell.setColorAt(1, QColor(24, 30, 42));
    p.setPen(QPen(QColor(12, 14, 20), 2));
    p.setBrush(shell);
    p.drawRoundedRect(body, 40 * s * 15, 40 * s * 15);

    // Ear piece slot.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(10, 12, 16));
    p.drawRoundedRect(QRectF(1275 * s, 120 * s, 600 * s, 90 * s), 45 * s, 45 * s);

    // Logo plate (the link to the service's home page).
    const QRectF logo = scaled(layout::imgHyperlink, s);
    p.setBrush(QColor(230, 236, 245));
    p.drawRoundedRect(logo, logo.height() * 0.25, logo.height() * 0.25);
    QFont f = p.font();
    f.setPixelSize(std::max(6, int(logo.height() * 0.55)));
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(30, 70, 140));
    p.drawText(logo, Qt::AlignCenter, QStringLiteral("PELEX"));

    // Display window, a bezel around both panels.
    const QRectF display = scaled(layout::picMainForm, s);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(14, 16, 22));
    p.drawRoundedRect(display.adjusted(-60 * s, -60 * s, 60 * s, 60 * s), 90 * s, 90 * s);

    // Call, sign-out and hang-up buttons.
    const QRectF call = scaled(layout::imgCall, s);
    drawButtonFace(p, call, QColor(90, 200, 110), QColor(30, 130, 50));
    drawHandset(p, call, Qt::white);
    const QRectF option = scaled(layout::imgOption, s);
    drawButtonFace(p, option, QColor(200, 205, 215), QColor(130, 136, 150));
    drawPowerSign(p, option, QColor(40, 44, 52));
    const QRectF hangUp = scaled(layout::imgDiscon, s);
    drawButtonFace(p, hangUp, QColor(235, 90, 80), QColor(160, 30, 30));
    p.save();
    p.translate(hangUp.center());
    p.rotate(180);
    p.translate(-hangUp.center());
    drawHandset(p, hangUp, Qt::white);
    p.restore();

    for (int i = 0; i < 12; ++i) drawKeyFace(p, scaled(layout::keypadKey(i), s), i, false);

    // Speaker grille at the bottom.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(12, 14, 20));
    for (int i = 0; i < 5; ++i)
        p.drawEllipse(QPointF((1215 + i * 180) * s, 5160 * s), 45 * s, 45 * s);
    return pix;
}

QPixmap loginPanel(QSize size) {
    QPixmap pix = blank(size);
    QPainter p(&pix);
    QLinearGradient g(0, 0, 0, size.height());
    g.setColorAt(0, QColor(214, 226, 240));
    g.setColorAt(1, QColor(170, 190, 215));
    p.fillRect(pix.rect(), g);
    return pix;
}

QPixmap displayPanel(QSize size) {
    QPixmap pix = blank(size);
    QPainter p(&pix);
    QLinearGradient g(0, 0, 0, size.height());
    g.setColorAt(0, QColor(196, 220, 170));
    g.setColorAt(1, QColor(160, 190, 135));
    p.fillRect(pix.rect(), g);
    p.setPen(QColor(150, 180, 125, 90));
    for (int y = 3; y < size.height(); y += 4) p.drawLine(0, y, size.width(), y);  // faint LCD rows
    return pix;
}

QPixmap signInButton(QSize size, bool pressed) {
    QPixmap pix = blank(size);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(pix.rect());
    drawButtonFace(p, r, pressed ? QColor(30, 80, 150) : QColor(80, 140, 220),
                   pressed ? QColor(20, 50, 100) : QColor(40, 90, 170));
    QFont f = p.font();
    f.setPixelSize(std::max(6, int(r.height() * 0.55)));
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(r.translated(pressed ? 1 : 0, pressed ? 1 : 0), Qt::AlignCenter, QStringLiteral("Sign in"));
    return pix;
}

QPixmap keyPressed(int index, QSize size) {
    QPixmap pix = blank(size);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    drawKeyFace(p, QRectF(pix.rect()), index, true);
    return pix;
}

QPixmap linkCaption(QSize size, const QString& text) {
    QPixmap pix = blank(size);
    QPainter p(&pix);
    QFont f = p.font();
    f.setPixelSize(std::max(6, int(size.height() * 0.5)));
    f.setUnderline(true);
    p.setFont(f);
    p.setPen(QColor(20, 60, 170));
    p.drawText(QRectF(pix.rect()), Qt::AlignCenter, text);
    return pix;
}

QPixmap callPressed(QSize size) {
    QPixmap pix = blank(size);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(pix.rect());
    drawButtonFace(p, r, QColor(20, 110, 40), QColor(10, 70, 25));
    drawHandset(p, r.translated(1, 1), QColor(220, 240, 220));
    return pix;
}

void drawFocusRing(QPainter& p, const QRect& area) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::NoBrush);
    const QRectF r = QRectF(area).adjusted(1.5, 1.5, -1.5, -1.5);
    const double radius = std::min(r.width(), r.height()) * 0.3;
    // A dark outline under an amber ring keeps it visible on any background.
    p.setPen(QPen(QColor(20, 24, 30), 3));
    p.drawRoundedRect(r, radius, radius);
    p.setPen(QPen(QColor(255, 190, 30), 2));
    p.drawRoundedRect(r, radius, radius);
    p.restore();
}

}  // namespace pelex::control::skin
