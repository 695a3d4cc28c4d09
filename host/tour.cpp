#include "host/tour.h"

#include <QAbstractButton>
#include <QAccessibleInterface>
#include <QApplication>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTimer>
#include <QElapsedTimer>
#include <QThread>
#include <cstdio>

#include "host/accessible_tree.h"

namespace pelex::host {

namespace {

const QString kIdle = QStringLiteral("Line 1 is initialized and ready to make/receive calls.");

void say(const QString& line) {
    std::printf("tour: %s\n", qPrintable(line));
    std::fflush(stdout);
}

// Keeps the event loop running until `done` holds or `seconds` pass.
bool waitFor(const std::function<bool()>& done, int seconds) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > seconds * 1000) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    return true;
}

// True for the call timer's text once it shows at least `seconds`.
bool timerShowsAtLeast(const QString& text, int seconds) {
    static const QRegularExpression timer(QStringLiteral("^(\\d\\d):(\\d\\d):(\\d\\d)$"));
    const auto m = timer.match(text);
    return m.hasMatch() && m.captured(1).toInt() * 3600 + m.captured(2).toInt() * 60 + m.captured(3).toInt() >= seconds;
}

void pause(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

}  // namespace

int runTour(const std::function<QWidget*()>& control, const QString& number) {
    // Nobody is there to close a message box: print it and press its button.
    QTimer boxes;
    QObject::connect(&boxes, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            say("message box \"" + box->windowTitle() + "\": " + box->text());
            box->accept();
        }
    });
    boxes.start(100);

    auto shows = [&](const std::function<bool(const QString&)>& match) {
        return [&control, match] {
            QWidget* root = control();
            if (!root) return false;
            for (const QString& t : visibleTexts(root))
                if (match(t.trimmed())) return true;
            return false;
        };
    };
    auto pressWhenReady = [&](const QString& name, int seconds) {
        if (!waitFor([&] { return control() && findPressable(control(), name); }, seconds)) {
            say("no button \"" + name + "\" to press; giving up");
            return false;
        }
        say("press " + name);
        // A pressed button lets go and clicks a moment later: wait for the click.
        bool clicked = false;
        QMetaObject::Connection watch;
        if (auto* button = qobject_cast<QAbstractButton*>(findPressable(control(), name)->object()))
            watch = QObject::connect(button, &QAbstractButton::clicked, [&clicked] { clicked = true; });
        press(control(), name);
        const bool done = !watch || waitFor([&clicked] { return clicked; }, 5);
        QObject::disconnect(watch);
        if (!done) say("\"" + name + "\" did not click; giving up");
        return done;
    };
    auto expect = [&](const QString& what, const std::function<bool(const QString&)>& match, int seconds) {
        if (waitFor(shows(match), seconds)) return true;
        say("gave up waiting for " + what);
        return false;
    };

    if (!pressWhenReady(QStringLiteral("Sign in"), 10)) return 1;
    if (!expect("the idle text", [](const QString& t) { return t == kIdle; }, 30)) return 1;
    for (const QChar digit : number)
        if (!pressWhenReady(QString(digit), 5)) return 1;
    if (!pressWhenReady(QStringLiteral("Call"), 5)) return 1;
    if (!expect("the call to connect", [](const QString& t) { return t.endsWith(QStringLiteral(" CONNECTED")); }, 30))
        return 1;
    if (!expect("the call timer to count", [](const QString& t) { return timerShowsAtLeast(t, 2); }, 10)) return 1;
    for (const char* key : {"1", "2", "3", "#"}) {
        if (!pressWhenReady(QString::fromLatin1(key), 5)) return 1;
    }
    pause(1000);
    if (!pressWhenReady(QStringLiteral("Hang up"), 5)) return 1;
    if (!expect("the idle text after hanging up", [](const QString& t) { return t == kIdle; }, 15)) return 1;
    if (!pressWhenReady(QStringLiteral("Sign out"), 5)) return 1;
    if (!waitFor([&] { return control() && findPressable(control(), QStringLiteral("Sign in")); }, 15)) {
        say("gave up waiting for the sign-in panel after signing out");
        return 1;
    }
    say("signed out; tour complete");
    return 0;
}

}  // namespace pelex::host
