#include "host/missed_calls.h"

#include <QStringList>

namespace pelex::host {

void MissedCalls::add(const QString& caller, const QDateTime& at) {
    calls_.push_front({caller, at});
    if (calls_.size() > kKept) calls_.pop_back();
    unseen_ = std::min(unseen_ + 1, calls_.size());
    emit changed();
}

void MissedCalls::markSeen() {
    if (unseen_ == 0) return;
    unseen_ = 0;
    emit changed();
}

QString MissedCalls::noteText() const {
    QStringList lines;
    for (std::size_t i = 0; i < unseen_; ++i) lines << missedCallText(calls_[i]);
    return lines.join(u'\n');
}

QString MissedCalls::countText() const {
    if (unseen_ == 0) return {};
    return unseen_ == 1 ? QStringLiteral("1 missed call") : QStringLiteral("%1 missed calls").arg(unseen_);
}

QString missedCallText(const MissedCalls::Call& call) {
    return QStringLiteral("Missed call from %1 at %2").arg(call.caller, call.at.toString(QStringLiteral("HH:mm")));
}

}  // namespace pelex::host
