#include "accounts.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QString>

#include "codepage/codepage.h"

namespace pelex::corvo_server {
namespace {

std::string ansi(const QString& text, const QString& what) {
    try {
        return codepage::toAnsi(text.toStdU16String());
    } catch (const codepage::UnrepresentableText& e) {
        throw AccountsError((what + QStringLiteral(": ")).toStdString() + e.what());
    }
}

}  // namespace

Accounts parseAccounts(const std::string& json) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
    if (error.error != QJsonParseError::NoError) {
        throw AccountsError("not valid JSON at offset " + std::to_string(error.offset) + ": " +
                            error.errorString().toStdString());
    }
    if (!doc.isObject()) throw AccountsError("the top level must be an object of accounts");
    Accounts accounts;
    const QJsonObject top = doc.object();
    for (auto it = top.begin(); it != top.end(); ++it) {
        const QString user = it.key();
        const QString where = QStringLiteral("account \"%1\"").arg(user);
        if (!it.value().isObject()) throw AccountsError(where.toStdString() + ": must be an object");
        const QJsonObject entry = it.value().toObject();
        if (!entry.value(u"password").isString()) {
            throw AccountsError(where.toStdString() + ": \"password\" must be a string");
        }
        const QJsonValue sip = entry.value(u"sip_password");
        if (!sip.isUndefined() && !sip.isString()) {
            throw AccountsError(where.toStdString() + ": \"sip_password\" must be a string");
        }
        const QJsonValue expired = entry.value(u"expired");
        if (!expired.isUndefined() && !expired.isBool()) {
            throw AccountsError(where.toStdString() + ": \"expired\" must be true or false");
        }
        Account account;
        account.password = ansi(entry.value(u"password").toString(), where + QStringLiteral(" password"));
        account.sipPassword = ansi(sip.toString(), where + QStringLiteral(" sip_password"));
        account.expired = expired.toBool(false);
        accounts.emplace(ansi(user, where), std::move(account));
    }
    return accounts;
}

Accounts loadAccounts(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        throw AccountsError(path + ": " + file.errorString().toStdString());
    }
    try {
        return parseAccounts(file.readAll().toStdString());
    } catch (const AccountsError& e) {
        throw AccountsError(path + ": " + e.what());
    }
}

}  // namespace pelex::corvo_server
