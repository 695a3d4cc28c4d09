#include "control/qt_desktop.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

namespace pelex::control {

void QtMessageBox::show(const std::u16string& text, const std::u16string& title, platform::MessageIcon icon) {
    using platform::MessageIcon;
    const auto qtIcon = icon == MessageIcon::Information   ? QMessageBox::Information
                        : icon == MessageIcon::Exclamation ? QMessageBox::Warning
                        : icon == MessageIcon::Critical    ? QMessageBox::Critical
                                                           : QMessageBox::NoIcon;
    QMessageBox box(qtIcon, title.empty() ? QStringLiteral("PelexMSN") : QString::fromStdU16String(title),
                    QString::fromStdU16String(text), QMessageBox::Ok, owner_ ? owner_->window() : nullptr);
    box.setObjectName(QStringLiteral("PelexMessageBox"));
    box.exec();
}

void DesktopUrlOpener::open(const std::u16string& url) {
    QDesktopServices::openUrl(QUrl(QString::fromStdU16String(url)));
}

platform::LocalDateTime SystemClock::now() const {
    const QDateTime t = QDateTime::currentDateTime();
    return {t.date().year(), t.date().month(), t.date().day(), t.time().hour(), t.time().minute(), t.time().second()};
}

}  // namespace pelex::control
