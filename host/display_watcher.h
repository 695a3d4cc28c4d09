#pragma once
// Prints each text the hosted control shows as it appears, one line each
// ("display: TEXT"), read from the control's accessibility tree.

#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <functional>

class QWidget;

namespace pelex::host {

class DisplayWatcher : public QObject {
    Q_OBJECT
public:
    /// Watches the widget `control()` returns (null: nothing to watch) every `period_ms`.
    DisplayWatcher(std::function<QWidget*()> control, int period_ms, QObject* parent = nullptr);

signals:
    /// A text appeared that was not shown at the previous look.
    void textAppeared(const QString& text);

private:
    void look();
    std::function<QWidget*()> control_;
    QSet<QString> shown_;
    QTimer timer_;
};

}  // namespace pelex::host
