#pragma once
// Calls that rang unanswered during this session: the last ten are kept,
// newest first; those the user has not seen yet are shown as a note in the
// window and told in the tray's tool tip.

#include <QDateTime>
#include <QObject>
#include <QString>

#include <deque>

namespace pelex::host {

class MissedCalls : public QObject {
    Q_OBJECT
public:
    /// How many missed calls a session keeps.
    static constexpr std::size_t kKept = 10;

    struct Call {
        QString caller;
        QDateTime at;
    };

    using QObject::QObject;

    void add(const QString& caller, const QDateTime& at);
    /// The kept calls, newest first.
    const std::deque<Call>& calls() const { return calls_; }
    /// How many of the kept calls the user has not seen yet.
    std::size_t unseen() const { return unseen_; }
    /// The user has seen them all.
    void markSeen();

    /// "Missed call from N at HH:MM", one line per unseen call, newest first.
    QString noteText() const;
    /// "1 missed call" / "N missed calls" (unseen), or empty.
    QString countText() const;

signals:
    void changed();

private:
    std::deque<Call> calls_;
    std::size_t unseen_ = 0;
};

/// "Missed call from N at HH:MM".
QString missedCallText(const MissedCalls::Call& call);

}  // namespace pelex::host
