// The production control: made by the factory from the user's settings
// store (PELEX_REGISTRY) and signing in over a real TCP connection to the
// account server named by PELEX_ACCOUNT_SERVER (a loopback listener here).

#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "codepage/codepage.h"
#include "control/pelex_control_factory.h"
#include "crypto/credential_text.h"
#include "platform/testing/recording_message_box.h"
#include "settings/registry.h"

namespace pelex::control {
namespace {

constexpr char16_t kOption[] = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\VOIP\\Option";
constexpr char16_t kProfile[] = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\VOIP\\Profile";

TEST(ProductionControl, StartsFromTheUserStoreAndSendsTheSignInOverTcp) {
    QTemporaryDir dir;
    const std::string file = dir.filePath(QStringLiteral("registry.sqlite")).toStdString();
    {
        auto store = settings::Store::open(file);
        platform::testing::RecordingMessageBox box;
        settings::Registry registry(store, box);
        registry.CreateRegKey(kOption);
        registry.SetRegValue(kOption, u"New", u"1");
        registry.SetRegValue(kOption, u"SProfile", u"1");
        registry.CreateRegKey(kProfile);
        registry.SetRegValue(kProfile, u"UName", u"***" + codepage::fromAnsi(crypto::ScrambleText("1000")) + u"\\\\\\");
        registry.SetRegValue(kProfile, u"Pwd", u"***" + codepage::fromAnsi(crypto::ScrambleText("secret")) + u"\\\\\\");
    }
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    qputenv("PELEX_REGISTRY", QByteArray::fromStdString(file));
    qputenv("PELEX_ACCOUNT_SERVER", "127.0.0.1:" + QByteArray::number(server.serverPort()));

    auto control = createPelexControl();
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->findChild<QLineEdit*>(QStringLiteral("txtusrname"))->text(), "1000");
    EXPECT_EQ(control->findChild<QLabel*>(QStringLiteral("lblVersion"))->text(), "2.0.2");

    control->imgLogin_Click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.hasPendingConnections(); }, 5000));
    QTcpSocket* peer = server.nextPendingConnection();
    QByteArray received;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            received += peer->readAll();
            return received.endsWith("{$}");
        },
        5000));
    ASSERT_TRUE(received.startsWith("LOG%20"));
    // The key text travels last, in the form "M/D/YYYY h:mm:ss AM".
    const QString key = QString::fromLatin1(received.chopped(3)).section(QStringLiteral("%20"), -1);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{1,2}/\\d{1,2}/\\d{4} \\d{1,2}:\\d\\d:\\d\\d [AP]M$"))
                    .match(key)
                    .hasMatch())
        << key.toStdString();
    const QString user = QString::fromLatin1(received).section(QStringLiteral("%20"), 1, 1);
    // Deciphered under the key text it carries (blocks are filled with spaces).
    EXPECT_EQ(QString::fromStdString(crypto::DecryptText(user.toStdString(), key.toStdString())).trimmed(), "1000");
    control.reset();
}

}  // namespace
}  // namespace pelex::control
