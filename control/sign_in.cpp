// Sign-in flow: the sign-in button, the account-server socket's handlers,
// the server's two answers, the engine factory, sign-out, hide and terminate.

#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <exception>

#include "platform/failure_policy.h"
#include "codepage/codepage.h"
#include "control/image_button.h"
#include "control/pelex_msn.h"
#include "control/relays.h"
#include "control/text_forms.h"
#include "crypto/credential_text.h"

namespace pelex::control {

using platform::endQuietly;
using platform::skipStep;

namespace {
constexpr char16_t kTitle[] = u"VozeDezor";
}

// Sign-in button. Any failure is ignored and the next step runs.
void Pelex_MSN::imgLogin_Click() {
    skipStep([&] { retireEngine(); });
    tellLine();
    skipStep([&] { services_.socket->Close(); });
    // The button is about to hide: a keyboard user keeps the focus in the
    // sign-in boxes instead of losing it to the next tab stop.
    if (imgLogin_->hasFocus()) txtPassword_->setFocus(Qt::OtherFocusReason);
    lblSignIn_->show();
    imgLogin_->hide();
    renewPendingNumber();
    // The wait for the server is bounded; set up before connecting, since a
    // socket may report its outcome at once.
    signIn_ = SignIn::Waiting;
    tmrSignIn_->start();
    skipStep([&] {
        const auto& e = services_.endpoints;
        services_.socket->Connect(QString::fromStdU16String(e.accountHost),
                                  static_cast<std::uint16_t>(QString::fromStdU16String(e.accountPort).toUInt()));
    });
}

// The connection is up: hand it to the protocol object, which sends the
// sign-in request under a key text of this moment.
void Pelex_MSN::TCP1_Connect() {
    try {
        account_protocol::handOverConnection(*services_.socket, cvp_, txtusrname_->text(), txtPassword_->text(),
                                             QString::fromStdU16String(decodeKeyText(services_.clock->now())));
    } catch (const std::exception& e) {
        failSignIn(QStringLiteral("The sign-in request could not be sent: %1").arg(QString::fromLocal8Bit(e.what())));
    }
}

void Pelex_MSN::TCP1_DataArrival() {
    // The server has answered. Handling its answer may show a modal box
    // (a refused sign-in) for as long as the user reads it; the wait for an
    // answer is over meanwhile, so no second box says the server is silent.
    // An answer that settles nothing (a challenge, a part of a message)
    // starts the wait afresh.
    const bool wasWaiting = signIn_ == SignIn::Waiting;
    if (wasWaiting) {
        signIn_ = SignIn::Answering;
        tmrSignIn_->stop();
    }
    const auto outcome = receiveLoop_.onDataArrival(*services_.socket, cvp_);
    if (wasWaiting && signIn_ == SignIn::Answering) {
        signIn_ = SignIn::Waiting;
        tmrSignIn_->start();
    }
    if (outcome == account_protocol::ArrivalOutcome::Overflow)
        failSignIn(QStringLiteral("The account server sent a reply that is too long. Please try again."));
}

void Pelex_MSN::TCP1_Close() {
    if (signIn_ == SignIn::Waiting)
        failSignIn(QStringLiteral("The account server closed the connection before the sign-in ended. "
                                  "Please try again."));
}

// "host port N": the account server as the user can look it up.
QString Pelex_MSN::accountServerText() const {
    const auto& e = services_.endpoints;
    return QStringLiteral("%1 port %2").arg(QString::fromStdU16String(e.accountHost),
                                           QString::fromStdU16String(e.accountPort));
}

void Pelex_MSN::TCP1_Error(const QString& description) {
    if (signIn_ == SignIn::Waiting)
        failSignIn(QStringLiteral("Could not sign in: the account server %1 cannot be reached (%2).\n\n"
                                  "To use another account server, start the phone with the environment "
                                  "variable PELEX_ACCOUNT_SERVER set to its host:port.")
                       .arg(accountServerText(), description));
}

void Pelex_MSN::tmrSignIn_Timer() {
    if (signIn_ == SignIn::Waiting) failSignIn(QStringLiteral("The account server did not answer. Please try again."));
}

// The sign-in has ended one way or another: the button is back.
void Pelex_MSN::restoreSignIn() {
    signIn_ = SignIn::Off;
    tmrSignIn_->stop();
    imgLogin_->show();
    lblSignIn_->hide();
}

void Pelex_MSN::failSignIn(const QString& text) {
    skipStep([&] { services_.socket->Close(); });
    restoreSignIn();
    message(text.toStdU16String(), kTitle);
}

// The account server's login code: "enciphered SIP password,server,port".
void Pelex_MSN::cvp_LoginCode(const QString& text) {
    const auto fields = parseLoginCode(text.toStdU16String());
    if (!fields) {
        // Empty, or too short to hold the SIP account: the login failed.
        skipStep([&] { services_.socket->Close(); });
        restoreSignIn();
        message(u"Login Fail.", kTitle);
        return;
    }
    signIn_ = SignIn::Off;
    tmrSignIn_->stop();
    try {
        sip_.userName = trimSpaces(txtusrname_->text().toStdU16String());
        sip_.password = trimSpaces(codepage::fromAnsi(crypto::DecryptText(
            codepage::toAnsi(fields->encipheredPassword), codepage::toAnsi(cvp_.DecodeKey.toStdU16String()))));
        sip_.serverIP = fields->serverIP;
        sip_.port = fields->port;
        newRTC1();
    } catch (const std::exception& e) {
        failSignIn(QStringLiteral("Signing in failed: %1").arg(QString::fromLocal8Bit(e.what())));
        return;
    }
    picLoginForm_->hide();
    tellLine();
    lblcall_->clear();
    renewPendingNumber();  // a number handed over before the sign-in stays for the idle line
    skipStep([&] { SaveLoginSettings(); });
    lblBlock_->hide();
    restoreSignIn();
    skipStep([&] { services_.socket->Close(); });
    // Typing digits and Enter now dials.
    updateKeyboardReach();
    focusNumberBox();
}

// The server refused the sign-in (wrong credentials or an expired account);
// the protocol object has told the user already.
void Pelex_MSN::cvp_InvalidLogin() { restoreSignIn(); }

// Makes sure that RTC1 holds a started engine; an existing engine keeps its
// settings.
void Pelex_MSN::newRTC1() {
    if (rtc_.engine) return;
    EngineSlot slot;
    signedOut_ = false;
    slot.relay = std::make_unique<EngineRelay>(*this);
    slot.engine = services_.engineFactory(*slot.relay);
    rtc_ = std::move(slot);
    CallEngine& e = *rtc_.engine;
    e.setLineNumber(kLineNumber);
    e.setRegServerIP(sip_.serverIP);
    e.setRegPassword(sip_.password);
    e.setRegUserName(sip_.userName);
    e.setRegSIPPort(sip_.port);
    e.Init(false);
}

// Sign-out button: the first failure (no engine, a released client) ends it.
void Pelex_MSN::imgOption_Click() {
    offerHandled();
    forgetPendingNumber();  // a number handed over for this session is not dialled after the next sign-in
    endQuietly([&] {
        if (!rtc_.engine) return;
        rtc_.engine->Terminate();
        signedOut_ = true;
        rtc_.engine->ShutDown();
    });
}

// The control is destroyed or hidden: end the call and sign out, each step
// on its own.
void Pelex_MSN::UserControl_Terminate() {
    offerHandled();
    skipStep([&] { if (rtc_.engine) rtc_.engine->Terminate(); });
    skipStep([&] {
        if (!rtc_.engine) return;
        signedOut_ = true;
        rtc_.engine->ShutDown();
    });
}

}  // namespace pelex::control
