#include "host/display_watcher.h"

#include "host/accessible_tree.h"

namespace pelex::host {

DisplayWatcher::DisplayWatcher(std::function<QWidget*()> control, int period_ms, QObject* parent)
    : QObject(parent), control_(std::move(control)) {
    connect(&timer_, &QTimer::timeout, this, &DisplayWatcher::look);
    timer_.start(period_ms);
}

void DisplayWatcher::look() {
    QWidget* root = control_();
    const QStringList texts = root ? visibleTexts(root) : QStringList{};
    QSet<QString> now;
    for (const QString& t : texts) {
        const QString text = t.trimmed();
        if (text.isEmpty()) continue;
        now.insert(text);
        if (!shown_.contains(text)) emit textAppeared(text);
    }
    shown_ = std::move(now);
}

}  // namespace pelex::host
