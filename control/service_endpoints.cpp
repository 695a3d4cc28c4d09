#include "control/service_endpoints.h"

#include <cstdlib>
#include <string_view>

#include <QString>

namespace pelex::control {

namespace {
constexpr char16_t kAccountHost[] = u"account.vozedezor.example";
constexpr char16_t kAccountPort[] = u"5061";
constexpr char16_t kWebSite[] = u"http://www.vozedezor.example";

bool isPort(const QString& s) {
    bool ok = false;
    const int n = s.toInt(&ok);
    return ok && n > 0 && n < 65536 && !s.startsWith(u'+');
}
}  // namespace

ServiceEndpoints serviceEndpoints(const char* accountServer, const char* webSite) {
    ServiceEndpoints e{kAccountHost, kAccountPort, kWebSite};
    const QString server = QString::fromUtf8(accountServer ? accountServer : "").trimmed();
    if (!server.isEmpty()) {
        QString host = server;
        QString port;
        if (server.startsWith(u'[')) {
            const auto close = server.indexOf(u']');
            host = server.mid(1, close < 0 ? -1 : close - 1);
            if (close >= 0 && server.mid(close + 1).startsWith(u':')) port = server.mid(close + 2);
        } else if (server.count(u':') == 1) {
            host = server.section(u':', 0, 0);
            port = server.section(u':', 1);
        }
        if (!host.isEmpty()) e.accountHost = host.toStdU16String();
        if (isPort(port)) e.accountPort = QString::number(port.toInt()).toStdU16String();
    }
    QString site = QString::fromUtf8(webSite ? webSite : "").trimmed();
    if (!site.isEmpty()) {
        if (!site.contains(u"://")) site.prepend(u"http://");
        while (site.endsWith(u'/')) site.chop(1);
        e.webSite = site.toStdU16String();
    }
    return e;
}

ServiceEndpoints serviceEndpointsFromEnvironment() {
    return serviceEndpoints(std::getenv("PELEX_ACCOUNT_SERVER"), std::getenv("PELEX_WEB_SITE"));
}

}  // namespace pelex::control
