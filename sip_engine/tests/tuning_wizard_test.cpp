// The audio tuning dialog of the liblinphone client, on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QWindow>

#include <memory>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "sip_engine/linphone/linphone_client.h"

namespace pelex::sip_engine::linphone_rtc {
namespace {

bool platformHasForeignWindows() {
    std::unique_ptr<QWindow> probe(QWindow::fromWinId(0x7fff0002));
    return probe != nullptr;
}

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
    EXPECT_EQ(comboBoxes, 3) << "microphone, speaker and ring";
    EXPECT_FALSE(afterTest.isEmpty()) << "the test button says what happened";
    client->Shutdown();
    EXPECT_THROW(client->InvokeTuningWizard(0), std::exception);
}

/// The user's choice, in memory.
class ChoiceStore : public AudioChoiceStore {
public:
    AudioChoice load() override { return choice; }
    void save(const AudioChoice& c) override {
        choice = c;
        ++saves;
    }
    AudioChoice choice{"gone microphone", "gone speaker", "gone ring"};
    int saves = 0;
};

TEST(TuningWizard, OutlivesTheClientThatOpenedItAndStillKeepsTheChoice) {
    // Opened while the sign-out's clean-up runs: the client is shut down and
    // released while the dialog is open (its event loop runs the clean-up).
    QTemporaryDir data;
    LinphoneOptions options;
    options.dataDir = data.path().toStdString();
    options.audioFromFiles = true;
    auto store = std::make_shared<ChoiceStore>();
    options.audioChoices = store;
    auto client = createLinphoneClient(options);
    client->Initialize();
    bool closed = false;
    QTimer::singleShot(100, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        client->Shutdown();
        client.reset();  // the engine lets go of its client
        for (auto* box : dialog->findChildren<QComboBox*>()) box->setCurrentIndex(0);  // the desktop's defaults
        const auto switches = dialog->findChildren<QCheckBox*>();
        ASSERT_EQ(switches.size(), 1);
        EXPECT_TRUE(switches.front()->isChecked()) << "echo cancellation shows as on, as stored";
        switches.front()->setChecked(false);
        dialog->accept();
        closed = true;
    });
    auto* opened = client.get();
    opened->InvokeTuningWizard(0);
    EXPECT_TRUE(closed);
    EXPECT_EQ(store->saves, 1) << "OK keeps the choice";
    EXPECT_EQ(store->choice, (AudioChoice{"", "", "", false})) << "the desktop's defaults, no echo cancellation";
}

TEST(TuningWizard, SitsOverItsParentAndLeavesNoWindowBehind) {
    QTemporaryDir data;
    LinphoneOptions options;
    options.dataDir = data.path().toStdString();
    options.audioFromFiles = true;
    auto client = createLinphoneClient(options);
    client->Initialize();
    QWidget owner;
    owner.show();

    auto runOnce = [&](rtc::WindowHandle parent) {
        QWidget* dialogParent = nullptr;
        QTimer::singleShot(100, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialogParent = dialog->parentWidget();
            dialog->reject();
        });
        client->InvokeTuningWizard(parent);
        return dialogParent;
    };
    // A window of this process becomes the dialog's parent.
    EXPECT_EQ(runOnce(static_cast<rtc::WindowHandle>(owner.winId())), &owner);
    QCoreApplication::processEvents();
    // A window the process does not know (another program's) is wrapped
    // while the dialog shows, and the wrapper goes with it: every call
    // leaves as many windows as there were. Only a platform with foreign
    // windows (X11; ctest runs this case under Xvfb too) can show it.
    if (!platformHasForeignWindows()) {
        client->Shutdown();
        GTEST_SKIP() << "the " << QGuiApplication::platformName().toStdString() << " platform has no foreign windows";
    }
    const auto before = QGuiApplication::allWindows().size();
    for (int i = 0; i < 3; ++i) runOnce(0x7fff0001);
    QCoreApplication::processEvents();
    EXPECT_EQ(QGuiApplication::allWindows().size(), before);
    client->Shutdown();
}

}  // namespace
}  // namespace pelex::sip_engine::linphone_rtc

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("PULSE_SERVER", "unix:/nonexistent");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
