#include "installer/installer.h"

#include <unistd.h>

#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "installer/value_reader.h"
#include "codepage/utf8.h"

namespace pelex::installer {
namespace {

// Where downloaded controls go under the Windows folder. The platform names
// it "\Downloaded Program Files\"; here file paths use "/", so the suffix is
// "/Downloaded Program Files/".
constexpr const char* kDownloadedProgramFiles = "/Downloaded Program Files/";

struct Folder {
    std::string text;         // Windows-1252 bytes
    bool oversized = false;  // the value was too long to be read at all
};

// The text of the first value named exactly `name`, as a C string would read
// it (up to its first zero byte); nullopt when there is no such value.
std::optional<Folder> findFolder(const std::vector<RegistryValue>& values, const std::string& name) {
    for (const RegistryValue& v : values) {
        if (v.name != name) continue;
        return Folder{v.text.substr(0, v.text.find('\0')), v.oversized};
    }
    return std::nullopt;
}

// A store text as a file name (UTF-8) and for printing.
std::string fileName(const std::string& ansi) { return codepage::ansiToUtf8(ansi); }

bool fits(const std::string& ansiPath) { return ansiPath.size() <= kMaxPathLength; }

void reportTooLong(std::ostream& out, const char* file, bool remove) {
    out << '\n' << file << (remove ? " not removed" : " not copied")
        << ": the destination path is longer than " << kMaxPathLength << " bytes.";
}

// A folder value with no text would send the copies to the current folder
// (over the installer's own files) or to the root of the file system.
void reportEmpty(std::ostream& out, const char* file, bool remove, const char* folder, const char* value) {
    out << '\n' << file << (remove ? " not removed" : " not copied") << ": the " << folder << " (value \"" << value
        << "\") is empty.";
}

// How a folder is named in the progress lines: its text, or what stands in
// for a value too large to read.
std::string shownFolder(const Folder& folder, const char* value) {
    if (folder.oversized) {
        return std::string("(a \"") + value + "\" longer than " + std::to_string(kMaxDataLength) + " bytes)";
    }
    return fileName(folder.text);
}

// Copies `file` from the current folder to `destination` (Windows-1252),
// replacing it, and reports the outcome.
void copyAndReport(std::ostream& out, const char* file, const std::string& destination) {
    if (!fits(destination)) {
        reportTooLong(out, file, false);
        return;
    }
    std::error_code ec;
    // Run from the destination folder itself, the file is already in place:
    // copying it onto itself would only fail.
    if (std::filesystem::equivalent(file, fileName(destination), ec)) {
        out << "\nCopy succeeded.";
        return;
    }
    ec.clear();
    std::filesystem::copy_file(file, fileName(destination), std::filesystem::copy_options::overwrite_existing, ec);
    out << (ec ? "\nCopy failed." : "\nCopy succeeded.");
}

// Deletes `destination` if it fits a path; a failed deletion is not reported.
void remove(std::ostream& out, const char* file, const std::string& destination) {
    if (!fits(destination)) {
        reportTooLong(out, file, true);
        return;
    }
    ::unlink(fileName(destination).c_str());
}

void messengerStep(settings::Store& store, bool removeMode, std::ostream& out) {
    const auto folder = findFolder(readValues(store, settings::kLocalMachine, kMessengerAppPaths), "Path");
    if (!folder) return;
    const char* file = "msgrp2p.xml";
    out << "Copying " << file << " to " << shownFolder(*folder, "Path") << " ...";
    if (folder->oversized) {
        reportTooLong(out, file, removeMode);
        return;
    }
    if (folder->text.empty()) {
        reportEmpty(out, file, removeMode, "host's folder", "Path");
        return;
    }
    const std::string destination = folder->text + file;
    if (removeMode) {
        remove(out, file, destination);
    } else {
        copyAndReport(out, file, destination);
    }
}

void windowsStep(settings::Store& store, bool removeMode, std::ostream& out) {
    const auto windows = findFolder(readValues(store, settings::kLocalMachine, kWindowsCurrentVersion), "PathName");
    if (!windows) return;
    const char* files[] = {"PelexMSN.ocx", "PelexMSN.inf"};
    if (windows->oversized) {
        for (const char* file : files) {
            if (!removeMode) out << "\nCopying " << file << " to " << shownFolder(*windows, "PathName") << " ...";
            reportTooLong(out, file, removeMode);
        }
        return;
    }
    if (windows->text.empty()) {
        for (const char* file : files) reportEmpty(out, file, removeMode, "Windows folder", "PathName");
        return;
    }
    const std::string folder = windows->text + kDownloadedProgramFiles;
    if (removeMode) {
        for (const char* file : files) remove(out, file, folder + file);
        return;
    }
    // The folder for downloaded controls exists on the platform the phone
    // comes from; here it is made when first needed.
    if (fits(folder)) {
        std::error_code ec;
        std::filesystem::create_directories(fileName(folder), ec);
    }
    for (const char* file : files) {
        out << "\nCopying " << file << " to " << fileName(folder) << " ...";
        copyAndReport(out, file, folder + file);
    }
}

}  // namespace

bool isRemoveMode(const std::string& argumentText) { return argumentText == "remove"; }

void run(settings::Store& store, bool removeMode, std::ostream& out) {
    messengerStep(store, removeMode, out);
    windowsStep(store, removeMode, out);
    out.flush();
}

}  // namespace pelex::installer
