// The way to the audio settings and the note on missing sound devices.
#include <QApplication>
#include <QMenu>

#include "control/tests/control_harness.h"

namespace pelex::control::testing {
namespace {

class AudioMenuTest : public ControlTest {};

TEST_F(AudioMenuTest, TheNoteOnMissingDevicesShowsUnderTheNumberAndNeverAsABox) {
    // A note posted while the control did not exist yet is shown when it starts.
    soundNotes->post(u"No microphone was found: the other side cannot hear you.");
    start();
    EXPECT_TRUE(shown("lblSoundNote"));
    EXPECT_EQ(text("lblSoundNote"), QStringLiteral("No microphone was found: the other side cannot hear you."));
    signInAndRegister();
    // The line's own texts stay where the call button reads them.
    EXPECT_EQ(text("lblDisplay"), QString::fromStdU16String(kIdleText));
    soundNotes->post(u"No sound server is running: calls are silent.");
    EXPECT_EQ(text("lblSoundNote"), QStringLiteral("No sound server is running: calls are silent."));
    soundNotes->post(u"");
    EXPECT_FALSE(shown("lblSoundNote"));
    EXPECT_TRUE(boxes->shown.empty()) << "a note never blocks the phone";
    // Once the control is gone, notes reach nobody (and nothing crashes).
    control.reset();
    soundNotes->post(u"No speaker was found: you cannot hear the other side.");
}

TEST_F(AudioMenuTest, AudioSettingsOpenTheEnginesDialogOnceSignedInAndSaySoBefore) {
    start();
    control->openAudioSettings();
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_NE(boxes->shown[0].text.find(u"Sign in first"), std::u16string::npos);
    signInAndRegister();
    control->openAudioSettings();
    EXPECT_EQ(engine().calls.back(), "Wizard(window)");
    EXPECT_EQ(boxes->shown.size(), 1u);
}

TEST_F(AudioMenuTest, AudioSettingsAreRefusedOnceSigningOutBegan) {
    // The sign-out's clean-up frees the engine's sound devices; a dialog
    // opened meanwhile would outlive them.
    start();
    signInAndRegister();
    control->imgOption_Click();
    ASSERT_EQ(engine().calls.back(), "ShutDown");
    control->openAudioSettings();
    EXPECT_EQ(engine().calls.back(), "ShutDown") << "no dialog while signing out";
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_NE(boxes->shown[0].text.find(u"Sign in first"), std::u16string::npos);
    engine().events.SignOut();
    control->openAudioSettings();
    EXPECT_EQ(boxes->shown.size(), 2u) << "nor after it";
    // Signed in again: a new engine, and the dialog opens.
    signInAndRegister();
    control->openAudioSettings();
    EXPECT_EQ(engine().calls.back(), "Wizard(window)");
}

TEST_F(AudioMenuTest, TheContextMenuAndTheShortcutReachTheAudioSettings) {
    start();
    signInAndRegister();
    control->show();
    control->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(control.get()));

    QStringList entries;
    QTimer::singleShot(50, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (auto* action : menu->actions()) entries << action->text() + " " + action->shortcut().toString();
        for (auto* action : menu->actions())
            if (action->objectName() == QStringLiteral("actAudioSettings")) action->trigger();
        menu->close();
    });
    emit control->customContextMenuRequested(QPoint(10, 10));
    EXPECT_EQ(entries, QStringList{QStringLiteral("&Audio settings... Ctrl+Shift+A")});
    EXPECT_EQ(engine().calls.back(), "Wizard(window)");

    engine().calls.clear();
    box("lblcall")->setFocus();
    QTest::keyClick(box("lblcall"), Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(engine().calls, std::vector<std::string>{"Wizard(window)"}) << "the shortcut works from the number box";
}

}  // namespace
}  // namespace pelex::control::testing
