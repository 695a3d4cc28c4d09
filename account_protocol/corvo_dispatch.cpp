// CorvoProtocol::ProcessStringData: the handling of one server message.

#include "account_protocol/corvo_protocol.h"

#include "platform/failure_policy.h"

#include <limits>

namespace pelex::account_protocol {
using platform::endQuietly;
using platform::skipStep;
using platform::trapNothing;
namespace {

using Fields = QList<QStringView>;

const QString kInvalidLoginText = QStringLiteral("Invalid user name and password, please try again !!!");

/// Field `i` of a split message; a field that is not there is a failure.
QStringView fieldView(const Fields& fields, qsizetype i) {
    if (i >= fields.size()) {
        throw ProtocolFailure("message has no field " + std::to_string(i));
    }
    return fields[i];
}

QString field(const Fields& fields, qsizetype i) { return fieldView(fields, i).toString(); }

/// Exact, case-sensitive equality, inlined: the dispatcher compares every
/// message's code with up to 31 codes.
inline bool same(QStringView a, const QString& b) {
    const qsizetype n = a.size();
    if (n != b.size()) return false;
    const QChar* x = a.constData();
    const QChar* y = b.constData();
    for (qsizetype i = 0; i < n; ++i) {
        if (x[i] != y[i]) return false;
    }
    return true;
}

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

/// `text` without blanks at either end.
QStringView trimBlanks(QStringView text) {
    while (!text.isEmpty() && isBlank(text.front())) text = text.mid(1);
    while (!text.isEmpty() && isBlank(text.back())) text.chop(1);
    return text;
}

}  // namespace

std::int16_t toInt16(const QString& text) { return toInt16(QStringView(text)); }

std::int16_t toInt16(QStringView text) {
    QStringView digits = trimBlanks(text);
    bool negative = false;
    if (!digits.isEmpty() && (digits.front() == u'-' || digits.front() == u'+')) {
        negative = digits.front() == u'-';
        digits = digits.mid(1);
    }
    if (digits.isEmpty()) throw ProtocolFailure("not a 16-bit number: " + text.toString().toStdString());
    // Leading zeros add nothing to the value ("0000007" is 7); the value
    // stops growing once it is past the range, so no digit count can
    // overflow it.
    long value = 0;
    for (QChar c : digits) {
        if (c < u'0' || c > u'9') {
            throw ProtocolFailure("not a 16-bit number: " + text.toString().toStdString());
        }
        if (value <= 32768) value = value * 10 + (c.unicode() - u'0');
    }
    if (negative) value = -value;
    if (value < std::numeric_limits<std::int16_t>::min() || value > std::numeric_limits<std::int16_t>::max()) {
        throw ProtocolFailure("number out of the 16-bit range: " + text.toString().toStdString());
    }
    return static_cast<std::int16_t>(value);
}

bool CorvoProtocol::ProcessStringData(const QString& value) {
    // Trap nothing: a failure ends this message and goes back to the
    // receive loop, which stops the batch.
    return trapNothing([&] {
        if (value.isEmpty()) return false;
        const Fields f = QStringView(value).split(Deliminator, Qt::KeepEmptyParts);
        const QStringView code = f.front();

        if (same(code, APP_)) {
            SendAuthetication();
        } else if (same(code, AUT_)) {
            SendUserNamePassword();
        } else if (same(code, ACC_)) {
            handleAccessRight(f);
        } else if (same(code, CVP_command_bits_USF)) {
            handleContactList(f, false);
        } else if (same(code, CVP_command_bits_USB)) {
            handleContactList(f, true);
        } else if (same(code, CVP_command_bits_CNC)) {
            events_.ConnectUser(value);
        } else if (same(code, CVP_command_bits_BUZ)) {
            events_.BuzzAndRequestPermission(field(f, 1));
        } else if (same(code, CVP_command_bits_RAU)) {
            // Friend directory: this system has none, so no effect.
        } else if (same(code, CVP_command_bits_RAF) || same(code, CVP_command_bits_RAS)) {
        } else if (same(code, CVP_command_bits_RRU)) {
            // Friend directory: no effect.
        } else if (same(code, CVP_command_bits_RRF) || same(code, CVP_command_bits_RRS)) {
        } else if (same(code, CVP_command_bits_UNL)) {
            events_.UnloadMe();
        } else if (same(code, SVR_)) {
            const QString address = field(f, 1);
            events_.RedirectServer(address, toInt16(fieldView(f, 2)));
        } else if (same(code, CPG_)) {
            // Friend directory: no effect.
        } else if (same(code, CPR_)) {
            events_.ConnectionRejected(field(f, 1), field(f, 2));
        } else if (same(code, CVP_command_bits_MSG)) {
            if (fieldView(f, 1).contains(u"rejected", Qt::CaseSensitive)) {
                events_.ConnectionRejected(field(f, 1), QStringLiteral(" "));
            }
        } else if (same(code, CVP_command_bits_ADV)) {
            events_.AdvertisementPage(field(f, 1));
        } else if (same(code, CVP_command_bits_REG)) {
            events_.RegistrationPage(field(f, 1));
        } else if (same(code, CVP_command_bits_AFR)) {
            events_.AddFriendPage(field(f, 1));
        } else if (same(code, CVP_command_bits_FAQ)) {
            events_.FAQPage(field(f, 1));
        } else if (same(code, CVP_command_bits_NSV)) {
            events_.MainServerAddressChange(field(f, 1), field(f, 2));
        } else if (same(code, CVP_command_bits_CCR)) {
            events_.ConnectionRequestCancel(f.size() == 2 ? f[1].toString() : QString());
        } else if (same(code, CVP_command_bits_CNS)) {
            events_.LanToLanClientConnect(field(f, 1), field(f, 2));
        } else if (same(code, CVP_command_bits_LRS)) {
            LRStatus = toInt16(fieldView(f, 1));
            skipStep([&] { events_.NetworkTypeIdentification(LRStatus, field(f, 2)); });
        } else if (same(code, UPD_)) {
            skipStep([&] { startUpdater(); });
        } else if (same(code, IPH_)) {
            events_.RouterIPHer(field(f, 1));
        } else if (same(code, STA_)) {
            events_.ShowStatus(field(f, 1));
        } else if (same(code, CRR_)) {
            events_.UserRing();
        } else if (same(code, CVP_command_bits_SIPCode)) {
            // A login code message without its field is an answer the client
            // cannot use: the sign-in failed, as with an empty code.
            events_.LoginCode(f.size() > 1 ? f[1].toString() : QString());
        }
        return false;
    });
}

void CorvoProtocol::handleAccessRight(const Fields& f) {
    accessRight_ = toInt16(fieldView(f, 1));
    if (accessRight_ == -2) {
        refuseSignIn(QStringLiteral("Your VozeDezor account has expired. To renew it, please visit ") +
                     serviceWebHost_);
    } else if (accessRight_ == -1) {
        refuseSignIn(kInvalidLoginText);
    } else if (accessRight_ == 0) {
        skipStep([&] { Corvo2UserName = field(f, 2); });
        skipStep([&] { Corvo2Password = field(f, 3); });
        skipStep([&] { Corvo2ServerIP = field(f, 4); });
        events_.LoginSIP();
        RequestSipPhoneLoginCode(userName_);
    }
}

void CorvoProtocol::refuseSignIn(const QString& text) {
    // Closed first, so no more server messages arrive while the box is open.
    if (tcpSock_ != nullptr) tcpSock_->Close();
    messageBox_.show(text.toStdU16String(), u"Login Fail", platform::MessageIcon::None);
    events_.InvalidLogin();
}

void CorvoProtocol::handleContactList(const Fields& f, bool addRows) {
    if (listView_ == nullptr) return;
    const qsizetype last = f.size() - 1;
    QString statusText;
    for (qsizetype i = 1; i <= last; i += 2) {
        if (trimBlanks(f[i]).isEmpty()) continue;
        const int s = toInt16(fieldView(f, i + 1));
        if (s == 1) {
            statusText = QStringLiteral("Online");
        } else if (s == 0) {
            statusText = QStringLiteral("Offline");
        } else if (s == 2) {
            statusText = QStringLiteral("Undefine");
        }
        const QString caption = f[i].toString();
        const QString key = QStringLiteral("key-") + caption;
        if (addRows) {
            bool added = false;
            skipStep([&] {
                listView_->addRow(key, caption);
                added = true;
            });
            if (added) skipStep([&] { listView_->setSubItem(key, 1, statusText); });
        }
        skipStep([&] { listView_->setSubItem(key, 1, statusText); });
        skipStep([&] { listView_->setSmallIcon(key, s + 1); });
    }
}

void CorvoProtocol::startUpdater() {
    if (controlFolder_.isEmpty()) return;
    QString program = controlFolder_;
    if (!program.endsWith(u'/')) program += u'/';
    program += QStringLiteral("PatchRunner.exe");
    processStarter_.startDetached(program.toStdU16String(), platform::WindowStyle::MinimizedWithFocus);
}

}  // namespace pelex::account_protocol
