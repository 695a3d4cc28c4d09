#include "control/library/class_registration.h"

#include <algorithm>
#include <cctype>

#include "control/library/library_version.h"

namespace pelex::library {

namespace {
const std::string kClasses = "HKEY_CLASSES_ROOT\\";
const std::string kProgId = "PelexMSN.Pelex_MSN";
}  // namespace

const ControlIdentity& builtInIdentity() {
    static const ControlIdentity identity{kControlClassId, kTypeLibId, kInterfaceId, kEventsId,
                                          kFileVersion};
    return identity;
}

std::string inprocServerKey(const std::string& class_id) {
    return kClasses + "CLSID\\" + class_id + "\\InprocServer32";
}

std::vector<RegistrationValue> registrationValues(const ControlIdentity& id, const std::string& path) {
    const std::string cls = kClasses + "CLSID\\" + id.class_id;
    const std::string lib = kClasses + "TypeLib\\" + id.typelib_id + "\\1.0";
    const std::string itf = kClasses + "Interface\\" + id.interface_id;
    const std::string evt = kClasses + "Interface\\" + id.events_id;
    return {
        {cls, "", "Pelex_MSN"},
        {inprocServerKey(id.class_id), "", path},
        {inprocServerKey(id.class_id), "ThreadingModel", "Apartment"},
        {cls + "\\ProgID", "", kProgId},
        {cls + "\\Version", "", id.file_version},
        {cls + "\\TypeLib", "", id.typelib_id},
        {cls + "\\Control", "", ""},
        {kClasses + kProgId, "", "Pelex_MSN"},
        {kClasses + kProgId + "\\Clsid", "", id.class_id},
        {lib, "", "PelexMSN"},
        {lib + "\\0\\linux", "", path},
        {itf, "", "_Pelex_MSN"},
        {itf + "\\TypeLib", "", id.typelib_id},
        {itf + "\\TypeLib", "Version", "1.0"},
        {evt, "", "__Pelex_MSN"},
        {evt + "\\TypeLib", "", id.typelib_id},
        {evt + "\\TypeLib", "Version", "1.0"},
    };
}

std::vector<std::string> registrationKeys(const ControlIdentity& id) {
    return {kClasses + "CLSID\\" + id.class_id, kClasses + "TypeLib\\" + id.typelib_id,
            kClasses + "Interface\\" + id.interface_id, kClasses + "Interface\\" + id.events_id,
            kClasses + kProgId};
}

bool registerControl(RegistrationStore& store, const ControlIdentity& identity, const std::string& path) {
    bool ok = true;
    for (const auto& v : registrationValues(identity, path)) ok = store.write(v.key_path, v.name, v.value) && ok;
    return ok;
}

bool unregisterControl(RegistrationStore& store, const ControlIdentity& identity) {
    bool ok = true;
    for (const auto& key : registrationKeys(identity)) ok = store.removeTree(key) && ok;
    return ok;
}

bool sameClassId(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace pelex::library
