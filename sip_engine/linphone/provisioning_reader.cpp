#include "sip_engine/linphone/provisioning_reader.h"

#include <QXmlStreamReader>

#include "sip_engine/rtc/rtc_error.h"

namespace pelex::sip_engine::linphone_rtc {

const ProvisionedServer* ProvisionedProfile::server(const std::u16string& role) const {
    for (const auto& s : servers)
        if (s.role == role) return &s;
    return nullptr;
}

ProvisionedProfile readProvisioning(const std::u16string& document) {
    QXmlStreamReader xml(QString::fromStdU16String(document));
    ProvisionedProfile profile;
    bool sawRoot = false;
    auto attribute = [&](const char* name) { return xml.attributes().value(QLatin1String(name)).toString(); };
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        const auto name = xml.name();
        if (!sawRoot) {
            if (name != QLatin1String("provision")) throw rtc::RTCError("not a provisioning document");
            sawRoot = true;
        } else if (name == QLatin1String("user")) {
            profile.account = attribute("account").trimmed().toStdU16String();
            profile.password = attribute("password").toStdU16String();
            profile.uri = attribute("uri").trimmed().toStdU16String();
        } else if (name == QLatin1String("sipsrv")) {
            profile.servers.push_back({attribute("addr").trimmed().toStdU16String(),
                                       attribute("protocol").trimmed().toUpper().toStdU16String(),
                                       attribute("auth").trimmed().toStdU16String(),
                                       attribute("role").trimmed().toStdU16String()});
        }
    }
    if (xml.hasError())
        throw rtc::RTCError("provisioning document is not well formed: " + xml.errorString().toStdString());
    if (profile.account.empty() || profile.uri.empty()) throw rtc::RTCError("provisioning names no user");
    if (profile.servers.empty() || profile.servers.front().addr.empty())
        throw rtc::RTCError("provisioning names no server");
    return profile;
}

}  // namespace pelex::sip_engine::linphone_rtc
