// The audio tuning dialog of the liblinphone client, on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "sip_engine/linphone/linphone_client.h"

namespace pelex::sip_engine::linphone_rtc {
namespace {

TEST(TuningWizard, OffersDevicesPlaysATestToneAndReturnsWhenClosed) {
    QTemporaryDir data;
    LinphoneOptions options;
    options.dataDir = data.path().toStdString();
    options.audioFromFiles = true;
    auto client = createLinphoneClient(options);
    client->Initialize();

    int comboBoxes = -1;
    QString afterTest;
    QTimer::singleShot(200, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        comboBoxes = static_cast<int>(dialog->findChildren<QComboBox*>().size());
        for (auto* button : dialog->findChildren<QPushButton*>())
            if (button->text().contains("test tone")) button->click();
        for (auto* label : dialog->findChildren<QLabel*>()) afterTest += label->text();
        dialog->reject();
    });
    client->InvokeTuningWizard(0);
    EXPECT_EQ(comboBoxes, 2);
    EXPECT_FALSE(afterTest.isEmpty()) << "the test button says what happened";
    client->Shutdown();
    EXPECT_THROW(client->InvokeTuningWizard(0), std::exception);
}

}  // namespace
}  // namespace pelex::sip_engine::linphone_rtc

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("PULSE_SERVER", "unix:/nonexistent");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
