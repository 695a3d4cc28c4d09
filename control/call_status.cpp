// Call status: the engine's events on the display, the call timer and the
// two alert sounds.

#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include "platform/failure_policy.h"
#include "control/image_button.h"
#include "control/pelex_msn.h"
#include "control/text_forms.h"
#include "control/wave_sounds.h"

namespace pelex::control {

using platform::skipStep;

void Pelex_MSN::RTC1_Status(const std::u16string& strStatus) {
    lblDisplay_->setText(QString::fromStdU16String(strStatus));
    if (lineStateOf(strStatus) == LineState::Idle) {
        setExtent();
        dialPendingNumber();
    }
    tellLine();
}

// The number is shown after every registration outcome.
void Pelex_MSN::RTC1_RegOK(std::int16_t) {
    lblNumber_->setText(txtusrname_->text());
    setExtent();
}

void Pelex_MSN::RTC1_RegFail(const std::u16string& status) {
    imgLogin_->show();
    lblSignIn_->hide();
    message(status, u"PelexMSN");
}

void Pelex_MSN::RTC1_SessionStateText(const std::u16string& stateText) {
    lblCallStatus_->setText(QString::fromStdU16String(stateText));
}

void Pelex_MSN::RTC1_Processing() { tmrProcessing_->start(); }

void Pelex_MSN::RTC1_Ringing() { tmrRingRing_->start(); }

void Pelex_MSN::RTC1_Answered() { stopRingBack(); }

void Pelex_MSN::RTC1_Connected() {
    lbltimer_->setText(QString::fromStdU16String(callTimeText(callTime_)));
    lbltimer_->show();
    CorvoTimer_->start();
}

void Pelex_MSN::RTC1_CallDisconnect() {
    lblDisplay_->setText(QString::fromStdU16String(kIdleText));
    stopRinging();
    lbltimer_->hide();
    callTime_ = 0;
    CorvoTimer_->stop();
    stopRingBack();
    tellLine();
}

void Pelex_MSN::RTC1_SignOut() {
    picLoginForm_->show();
    picLoginForm_->raise();
    lblNumber_->clear();
    updateKeyboardReach();
    focusSignInBoxes();
    tellLine();
}

void Pelex_MSN::tmrRingRing_Timer() {
    services_.audio->playAsync(waveResource(kRingSound), platform::SoundUse::Ring);
    alertPlaying_ = kRingSound;
}

// Ring-back only while the called party is alerted.
void Pelex_MSN::tmrProcessing_Timer() {
    if (lblCallStatus_->text() != QStringLiteral("Ringing")) return;
    services_.audio->playAsync(waveResource(kRingBackSound), platform::SoundUse::RingBack);
    alertPlaying_ = kRingBackSound;
}

// The ring ends with its timer; a ring still sounding is cut off, so the
// user does not hear it over the answered call.
void Pelex_MSN::stopRinging() {
    tmrRingRing_->stop();
    stopAlert(kRingSound);
}

void Pelex_MSN::stopRingBack() {
    tmrProcessing_->stop();
    stopAlert(kRingBackSound);
}

void Pelex_MSN::stopAlert(int sound) {
    if (alertPlaying_ != sound) return;
    alertPlaying_ = 0;
    services_.audio->stop();
}

// One second of call time. The very first tick in the life of the control
// starts the count at zero instead of advancing it.
void Pelex_MSN::CorvoTimer_Timer() {
    skipStep([&] {
        if (callTimeStarted_) {
            ++callTime_;
        } else {
            callTime_ = 0;
            callTimeStarted_ = true;
        }
    });
    skipStep([&] { if (rtc_.engine) rtc_.engine->Key(12); });  // flash tone
    skipStep([&] { lbltimer_->setText(QString::fromStdU16String(callTimeText(callTime_))); });
}

}  // namespace pelex::control
