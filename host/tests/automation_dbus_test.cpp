// The automation interface over a real D-Bus daemon (a private bus started
// here): every call returns at once, also when its action opens a modal box,
// and Dial hands numbers and links to the control.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QTest>

#include <memory>

#include "control/tests/message_boxes.h"
#include "host/automation_adaptor.h"
#include "host/host_window.h"

namespace pelex::host {
namespace {

const char* kId = "{6C1E2A52-9D4B-4F7E-8A31-5E0B7C2D4F10}";

class AutomationBus : public ::testing::Test {
protected:
    void SetUp() override {
        daemon.setProgram(QStringLiteral("dbus-daemon"));
        daemon.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        daemon.start();
        ASSERT_TRUE(daemon.waitForStarted(5000)) << "dbus-daemon is needed for this test";
        ASSERT_TRUE(daemon.waitForReadyRead(5000));
        address = QString::fromUtf8(daemon.readLine()).trimmed();
        ASSERT_FALSE(address.isEmpty());
        bus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address, QStringLiteral("pelex-host-test")));
        ASSERT_TRUE(bus->isConnected());

        std::string error;
        auto lib = ControlLibrary::load(PELEX_OCX_PATH, error);
        ASSERT_TRUE(lib) << error;
        window = std::make_unique<HostWindow>(std::move(lib), kId, QString());
        ASSERT_TRUE(window->createControl());
        window->move(300, 150);
        window->show();
        bool taken = true;
        QString why;
        ASSERT_TRUE(claimAutomationName(*bus, taken, why)) << why.toStdString();
        ASSERT_TRUE(publishAutomation(window.get(), *bus, why)) << why.toStdString();
    }
    void TearDown() override {
        window.reset();
        if (bus) QDBusConnection::disconnectFromBus(QStringLiteral("pelex-host-test"));
        bus.reset();
        daemon.terminate();
        daemon.waitForFinished(5000);
    }

    /// Starts dbus-send calling `method` (with `args`) on the phone.
    std::unique_ptr<QProcess> send(const QString& method, const QStringList& args = {}) {
        auto p = std::make_unique<QProcess>();
        p->setProgram(QStringLiteral("dbus-send"));
        p->setArguments(QStringList{QStringLiteral("--bus=") + address, QStringLiteral("--print-reply"),
                                    QStringLiteral("--reply-timeout=20000"), QStringLiteral("--dest=org.pelex.PelexMSN"),
                                    QStringLiteral("/PelexMSN"), QStringLiteral("org.pelex.PelexMSN._Pelex_MSN.") + method} +
                        args);
        p->start();
        return p;
    }
    /// Runs the event loop (the phone answers from it) until `p` has ended.
    static bool finished(QProcess& p) {
        return QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 10000);
    }
    QLineEdit* numberBox() const { return window->controlWidget()->findChild<QLineEdit*>(QStringLiteral("lblcall")); }

    QProcess daemon;
    QString address;
    std::unique_ptr<QDBusConnection> bus;
    std::unique_ptr<HostWindow> window;
};

TEST_F(AutomationBus, ACallWhoseActionOpensABoxReturnsWhileTheBoxIsOpen) {
    pelex::control::testing::BoxCloser closer(3000);
    QElapsedTimer clock;
    clock.start();
    // Not signed in: the call button says the line is busy, in a modal box.
    auto call = send(QStringLiteral("imgCall_Click"));
    qint64 repliedAt = -1;
    QObject::connect(call.get(), &QProcess::finished, [&] { repliedAt = clock.elapsed(); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return repliedAt >= 0 && closer.seen.size() == 1 && !QApplication::activeModalWidget(); },
                                15000));
    EXPECT_EQ(call->exitCode(), 0) << call->readAllStandardError().toStdString();
    EXPECT_LT(repliedAt, 2500);  // the box stays open 3 s: the answer came long before it closed
    ASSERT_EQ(closer.seen.size(), 1u);
    EXPECT_EQ(closer.seen[0].text, "Please disconnect the line before you make another call.");
    EXPECT_EQ(closer.seen[0].parentWindow, window.get());
    EXPECT_LE((closer.seen[0].geometry.center() - window->geometry().center()).manhattanLength(), 40);
}

TEST_F(AutomationBus, DialHandsTheNumberOfALinkToTheControl) {
    auto call = send(QStringLiteral("Dial"), {QStringLiteral("string:tel:+1-555-0100")});
    ASSERT_TRUE(finished(*call));
    EXPECT_EQ(call->exitCode(), 0) << call->readAllStandardError().toStdString();
    EXPECT_TRUE(call->readAllStandardOutput().contains("string \"+15550100\""));
    ASSERT_TRUE(QTest::qWaitFor([&] { return numberBox()->text() == QStringLiteral("+15550100"); }, 5000));
}

TEST_F(AutomationBus, DialRefusesAMalformedLinkWithAnErrorAndABoxOverThePhone) {
    pelex::control::testing::BoxCloser closer(300);
    auto call = send(QStringLiteral("Dial"), {QStringLiteral("string:tel:1-800-FLOWERS")});
    ASSERT_TRUE(finished(*call));
    EXPECT_NE(call->exitCode(), 0);
    const QString error = QString::fromUtf8(call->readAllStandardError());
    EXPECT_TRUE(error.contains(QStringLiteral("org.pelex.PelexMSN.Error.NotDialable"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("cannot be dialled"))) << error.toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return closer.seen.size() == 1 && !QApplication::activeModalWidget(); }, 5000));
    EXPECT_TRUE(closer.seen[0].text.contains(QStringLiteral("tel:1-800-FLOWERS")));
    EXPECT_EQ(closer.seen[0].parentWindow, window.get());
    EXPECT_TRUE(numberBox()->text().isEmpty());
}

TEST_F(AutomationBus, TheNameIsTakenForASecondPhone) {
    QDBusConnection other = QDBusConnection::connectToBus(address, QStringLiteral("pelex-second"));
    bool taken = false;
    QString why;
    EXPECT_FALSE(claimAutomationName(other, taken, why));
    EXPECT_TRUE(taken);
    QDBusConnection::disconnectFromBus(QStringLiteral("pelex-second"));
}

}  // namespace
}  // namespace pelex::host
