// Dial pad and call buttons: the keypad, the keyboard rules of the number
// box, the call and hang-up buttons, the two links to the service's web
// site and the pressed pictures of the image buttons.

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include "platform/failure_policy.h"
#include "control/image_button.h"
#include "control/layout.h"
#include "control/pelex_msn.h"
#include "control/text_forms.h"
#include "phone_number/phone_number.h"

namespace pelex::control {

using platform::skipStep;

namespace {

constexpr int kCtrlC = 3, kBackspace = 8, kEnter = 13, kCtrlV = 22;

// The character code a key stands for in the number box, as a text box
// receives it: letters with Control give 1-26, Enter 13, Backspace 8.
// Keys that type no character (arrows, Delete, Tab, lone modifiers) give -1.
int keyAscii(const QKeyEvent& e) {
    const int key = e.key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) return kEnter;
    if (key == Qt::Key_Backspace) return kBackspace;
    if (key == Qt::Key_Escape) return 27;
    if ((e.modifiers() & Qt::ControlModifier) && key >= Qt::Key_A && key <= Qt::Key_Z) return key - Qt::Key_A + 1;
    const QString text = e.text();
    if (text.size() == 1 && text[0].unicode() >= 32 && text[0].unicode() != 127) return text[0].unicode();
    return -1;
}

}  // namespace

void Pelex_MSN::connectDialPad() {
    for (int i = 0; i < 12; ++i)
        connect(ImgNumber_[i], &QAbstractButton::clicked, this, [this, i] { ImgNumber_Click(i); });
    connect(imgCall_, &QAbstractButton::clicked, this, &Pelex_MSN::imgCall_Click);
    connect(imgDiscon_, &QAbstractButton::clicked, this, &Pelex_MSN::imgDiscon_Click);
    connect(imgOption_, &QAbstractButton::clicked, this, &Pelex_MSN::imgOption_Click);
    connect(imgLogin_, &QAbstractButton::clicked, this, &Pelex_MSN::imgLogin_Click);
    connect(imgHyperlink_, &QAbstractButton::clicked, this, &Pelex_MSN::imgHyperlink_Click);
    connect(lblregister_, &QAbstractButton::clicked, this, &Pelex_MSN::lblregister_Click);
    // Typed, pasted or deleted by the user (not set by the phone itself).
    connect(lblcall_, &QLineEdit::textEdited, this, &Pelex_MSN::forgetPendingNumber);

    // Pressed pictures: the sign-in button shows its pressed picture while
    // held; the call and hang-up buttons lose any picture when released.
    connect(imgLogin_, &QAbstractButton::pressed, this, [this] { imgLogin_->setPicture(picbtn1_->pixmap()); });
    connect(imgLogin_, &QAbstractButton::released, this, [this] { imgLogin_->setPicture(picLogin0_->pixmap()); });
    connect(imgCall_, &QAbstractButton::released, this, [this] { imgCall_->setPicture({}); });
    connect(imgDiscon_, &QAbstractButton::released, this, [this] { imgDiscon_->setPicture({}); });
}

// Keypad key: append its character, send its tone, select the number.
// Any failure is ignored and the next step runs.
void Pelex_MSN::ImgNumber_Click(int index) {
    forgetPendingNumber();  // the user is writing a number of their own
    skipStep([&] { lblcall_->setText(lblcall_->text() + QChar(layout::keypadCharacter(index))); });
    skipStep([&] { if (rtc_.engine) rtc_.engine->Key(static_cast<std::int16_t>(index)); });
    skipStep([&] {
        lblcall_->setSelection(0, int(lblcall_->text().size()));
        if (picLoginForm_->isHidden()) lblcall_->setFocus();  // never into the box under the sign-in panel
    });
}

// Returns true when the key is refused (it never reaches the box).
bool Pelex_MSN::lblcall_KeyPress(QKeyEvent* event) {
    const int ascii = keyAscii(*event);
    if (ascii < 0) return false;  // not a typing key: the box handles it
    if ((event->modifiers() & Qt::ControlModifier) && (ascii == kCtrlC || ascii == kCtrlV)) return false;
    if (ascii >= '0' && ascii <= '9') {
        const int digit = ascii - '0';
        ImgNumber_[digit]->setPicture(picBtn_[digit]->pixmap());
        if (rtc_.engine) skipStep([&] { rtc_.engine->Key(static_cast<std::int16_t>(digit)); });
        return false;
    }
    if (ascii == '+' || ascii == kBackspace) return false;
    if (ascii == kEnter) {
        imgCall_Click();
        imgCall_->setPicture(picBtn_[12]->pixmap());
        return false;
    }
    return true;
}

// Any key released clears the pressed pictures of the keypad and the call button.
void Pelex_MSN::lblcall_KeyUp() {
    for (auto* key : ImgNumber_) key->setPicture({});
    imgCall_->setPicture({});
}

// Call button: answer an offered call, dial from idle, refuse otherwise.
void Pelex_MSN::imgCall_Click() {
    switch (lineState()) {
        case LineState::Incoming:
            // The ring stops first: answering opens the call's sound on the
            // server, which may take a moment.
            stopRinging();
            offerHandled();
            if (rtc_.engine) rtc_.engine->Answer();
            callTime_ = 0;
            break;
        case LineState::Idle: dial(); break;
        case LineState::Busy:
        case LineState::NotReady:
            message(u"Please disconnect the line before you make another call.", u"Calls");
            break;
    }
}

// Dials the number box. Spaces, dashes, dots and brackets a number was
// written with (pasted "+1 (555) 010-9999") are not part of it; every other
// character is dialled as typed. A box with nothing to dial, or a number the
// engine cannot place, is said so instead of doing nothing.
void Pelex_MSN::dial() {
    const std::u16string number = phone_number::withoutSeparators(lblcall_->text().toStdU16String());
    if (number.empty()) {
        message(u"Please enter a number to call.", u"Calls");
        return;
    }
    if (!rtc_.engine) newRTC1();
    CallEngine& e = *rtc_.engine;
    e.setHerName(e.regUserName() + u"1");
    e.setURIher(number + u"@" + e.regServerIP());
    try {
        e.Connect();
    } catch (const std::exception&) {
        message(u"The number " + number + u" cannot be called.", u"Calls");
    }
}

// Hang-up button. Any failure is ignored and the next step runs.
void Pelex_MSN::imgDiscon_Click() {
    offerHandled();
    skipStep([&] { stopRinging(); });
    skipStep([&] { if (rtc_.engine) rtc_.engine->Terminate(); });
    skipStep([&] { RTC1_CallDisconnect(); });
    callTime_ = 0;
    CorvoTimer_->stop();
    skipStep([&] { stopRingBack(); });
}

void Pelex_MSN::imgHyperlink_Click() { services_.urlOpener->open(services_.endpoints.homePage()); }

void Pelex_MSN::lblregister_Click() { services_.urlOpener->open(services_.endpoints.signUpPage()); }

}  // namespace pelex::control
