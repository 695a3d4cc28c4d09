#pragma once
// Real, modal message boxes in widget tests. A BoxCloser looks at the
// screen from the event loop (so also from inside a box's own modal loop),
// notes every QMessageBox that appears and closes each one once it has been
// open for `holdMs`: the code that showed it stays blocked until then.

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <vector>

namespace pelex::control::testing {

class BoxCloser {
public:
    struct Seen {
        QString text;
        QString title;
        QWidget* parentWindow;  ///< the window the box belongs to, or null
        QRect geometry;         ///< where it opened
    };

    explicit BoxCloser(int holdMs) : holdMs_(holdMs) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { look(); });
        timer_.start(20);
    }

    std::vector<Seen> seen;  ///< every box, in the order they appeared
    int mostOpenAtOnce = 0;

private:
    struct Open {
        QPointer<QMessageBox> box;
        QElapsedTimer since;
    };

    void look() {
        int visible = 0;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box || !box->isVisible()) continue;
            ++visible;
            if (std::none_of(open_.begin(), open_.end(), [&](const Open& o) { return o.box == box; })) {
                seen.push_back({box->text(), box->windowTitle(), box->parentWidget() ? box->parentWidget()->window() : nullptr,
                                box->geometry()});
                open_.push_back({box, {}});
                open_.back().since.start();
            }
        }
        mostOpenAtOnce = std::max(mostOpenAtOnce, visible);
        for (Open& o : open_)
            if (o.box && o.box->isVisible() && o.since.elapsed() >= holdMs_) o.box->done(QMessageBox::Ok);
    }

    int holdMs_;
    QTimer timer_;
    std::vector<Open> open_;
};

}  // namespace pelex::control::testing
