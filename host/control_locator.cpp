#include "host/control_locator.h"

#include <fstream>
#include <sstream>

#include "control/library/class_registration.h"
#include "host/activity_description.h"

namespace pelex::host {

namespace fs = std::filesystem;

namespace {

bool isFile(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

std::string notInstalled(const std::string& why) {
    return "The Pelex soft phone activity is not installed: " + why + " Run the installer to install it.";
}

}  // namespace

std::optional<fs::path> downloadedControlsFolder(library::RegistrationStore& store) {
    const auto windows = store.read(kWindowsKey, "PathName");
    if (!windows || windows->empty()) return std::nullopt;
    return fs::path(*windows) / "Downloaded Program Files";
}

std::vector<ControlLocation> locateControls(library::RegistrationStore& store, const fs::path& host_folder,
                                            std::string& error, const fs::path& packaged_folder) {
    fs::path description = host_folder / kActivityFile;
    if (!isFile(description) && !packaged_folder.empty() && isFile(packaged_folder / kActivityFile))
        description = packaged_folder / kActivityFile;
    std::ifstream in(description, std::ios::binary);
    if (!in) {
        error = notInstalled(description.string() + " does not exist.");
        return {};
    }
    std::ostringstream text;
    text << in.rdbuf();
    std::string parse_error;
    const auto activities = parseActivities(text.str(), parse_error);
    if (!activities) {
        error = notInstalled(description.string() + " cannot be read (" + parse_error + ").");
        return {};
    }
    const auto activity = findActivityByFile(*activities, kControlFile);
    if (!activity) {
        error = notInstalled(description.string() + " names no activity with the control " + kControlFile + ".");
        return {};
    }
    std::vector<ControlLocation> copies;
    const auto add = [&](const fs::path& file, const char* kind) {
        if (!isFile(file)) return;
        for (const auto& known : copies) {
            std::error_code ec;
            if (fs::equivalent(known.library, file, ec)) return;
        }
        copies.push_back({file, activity->class_id, kind});
    };
    if (const auto registered = store.read(library::inprocServerKey(activity->class_id), ""); registered)
        add(*registered, "the registered control");
    const auto folder = downloadedControlsFolder(store);
    if (folder) add(*folder / activity->file, "the installer's copy");
    if (!packaged_folder.empty()) add(packaged_folder / activity->file, "the packaged control");
    if (!copies.empty()) return copies;
    std::string looked = folder ? (*folder / activity->file).string() + " does not exist"
                                : "the store names no Windows folder (PathName)";
    if (!packaged_folder.empty()) looked += ", nor does " + (packaged_folder / activity->file).string();
    error = notInstalled("the control " + activity->class_id + " is not registered and " + looked + ".");
    return {};
}

bool registerHostFolder(library::RegistrationStore& store, const fs::path& host_folder) {
    std::string folder = host_folder.string();
    if (folder.empty() || folder.back() != '/') folder += '/';
    if (store.read(kAppPathsKey, "Path") == folder) return true;
    return store.write(kAppPathsKey, "Path", folder);
}

}  // namespace pelex::host
