#include "host/control_locator.h"

#include <gtest/gtest.h>

#include <fstream>

#include "control/library/class_registration.h"
#include "control/library/store_access.h"

namespace fs = std::filesystem;

namespace pelex::host {
namespace {

const std::string kId = "{6C1E2A52-9D4B-4F7E-8A31-5E0B7C2D4F10}";

void writeFile(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
}

class Locator : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("pelex-locator-" + std::to_string(::getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "messenger");
        view->write(kWindowsKey, "PathName", (root / "windows").string());
    }
    void TearDown() override { fs::remove_all(root); }
    void describe() {
        writeFile(root / "messenger" / kActivityFile,
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Activities><Activity><Name>Pelex soft phone</Name>"
                  "<ClassID>" + kId + "</ClassID><File>PelexMSN.ocx</File><Version>2.0.0.2</Version></Activity>"
                  "</Activities>");
    }
    static std::optional<ControlLocation> best(std::vector<ControlLocation> copies) {
        if (copies.empty()) return std::nullopt;
        return copies.front();
    }
    std::optional<ControlLocation> locate() { return best(locateControls(*view, root / "messenger", error)); }

    fs::path root;
    settings::Store store = settings::Store::openInMemory();
    std::unique_ptr<library::RegistrationStore> view = library::viewOf(store);
    std::string error;
};

TEST_F(Locator, WithoutTheActivityDescriptionTheActivityIsNotInstalled) {
    writeFile(root / "windows" / "Downloaded Program Files" / "PelexMSN.ocx", "lib");
    EXPECT_FALSE(locate());
    EXPECT_NE(error.find("not installed"), std::string::npos) << error;
    EXPECT_NE(error.find("msgrp2p.xml"), std::string::npos) << error;
}

TEST_F(Locator, FindsTheDownloadedControlUnderTheWindowsFolder) {
    describe();
    writeFile(root / "windows" / "Downloaded Program Files" / "PelexMSN.ocx", "lib");
    const auto where = locate();
    ASSERT_TRUE(where) << error;
    EXPECT_EQ(where->library, root / "windows" / "Downloaded Program Files" / "PelexMSN.ocx");
    EXPECT_EQ(where->class_id, kId);
}

TEST_F(Locator, PrefersTheRegisteredLibraryWhenItsFileExists) {
    describe();
    writeFile(root / "windows" / "Downloaded Program Files" / "PelexMSN.ocx", "lib");
    writeFile(root / "build" / "PelexMSN.ocx", "lib");
    view->write(library::inprocServerKey(kId), "", (root / "build" / "PelexMSN.ocx").string());
    const auto where = locate();
    ASSERT_TRUE(where) << error;
    EXPECT_EQ(where->library, root / "build" / "PelexMSN.ocx");
}

TEST_F(Locator, AStaleRegistrationFallsBackToTheDownloadedControl) {
    describe();
    writeFile(root / "windows" / "Downloaded Program Files" / "PelexMSN.ocx", "lib");
    view->write(library::inprocServerKey(kId), "", (root / "gone" / "PelexMSN.ocx").string());
    const auto where = locate();
    ASSERT_TRUE(where) << error;
    EXPECT_EQ(where->library, root / "windows" / "Downloaded Program Files" / "PelexMSN.ocx");
}

TEST_F(Locator, DescriptionWithoutTheControlFileIsReported) {
    describe();
    EXPECT_FALSE(locate());
    EXPECT_NE(error.find("not installed"), std::string::npos) << error;
    EXPECT_NE(error.find("Downloaded Program Files"), std::string::npos) << error;
}

TEST_F(Locator, BrokenDescriptionIsReported) {
    writeFile(root / "messenger" / kActivityFile, "<Activities><Activity>");
    EXPECT_FALSE(locate());
    EXPECT_NE(error.find("cannot be read"), std::string::npos) << error;
}

TEST_F(Locator, NoWindowsFolderAndNoRegistrationIsReported) {
    describe();
    store.deleteKey(settings::kLocalMachine, "SOFTWARE\\Microsoft\\Windows NT");
    EXPECT_FALSE(locate());
    EXPECT_NE(error.find("PathName"), std::string::npos) << error;
}

// An installed package: /usr/bin/pelexmsn-host, /usr/lib/pelex-softphone/
// with the description and the control, nothing registered or copied.
class PackagedLocator : public Locator {
protected:
    void SetUp() override {
        Locator::SetUp();
        packaged = root / "usr" / "lib" / "pelex-softphone";
        writeFile(packaged / kActivityFile,
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Activities><Activity><Name>Pelex soft phone</Name>"
                  "<ClassID>" + kId + "</ClassID><File>PelexMSN.ocx</File><Version>2.0.0.2</Version></Activity>"
                  "</Activities>");
        writeFile(packaged / "PelexMSN.ocx", "lib");
        fs::create_directories(root / "usr" / "bin");
    }
    std::vector<ControlLocation> packagedCopies() {
        return locateControls(*view, root / "usr" / "bin", error, root / "usr" / "bin" / ".." / "lib" / "pelex-softphone");
    }
    std::optional<ControlLocation> locatePackaged() { return best(packagedCopies()); }
    fs::path packaged;
};

TEST_F(PackagedLocator, AnInstalledHostFindsThePackagedControlWithoutAnyArgument) {
    const auto where = locatePackaged();
    ASSERT_TRUE(where) << error;
    EXPECT_TRUE(fs::equivalent(where->library, packaged / "PelexMSN.ocx"));
    EXPECT_EQ(where->class_id, kId);
}

TEST_F(PackagedLocator, TheRegistrationAndTheInstallersCopyComeFirst) {
    writeFile(root / "windows" / "Downloaded Program Files" / "PelexMSN.ocx", "lib");
    auto where = locatePackaged();
    ASSERT_TRUE(where) << error;
    EXPECT_EQ(where->library, root / "windows" / "Downloaded Program Files" / "PelexMSN.ocx");
    writeFile(root / "build" / "PelexMSN.ocx", "lib");
    view->write(library::inprocServerKey(kId), "", (root / "build" / "PelexMSN.ocx").string());
    where = locatePackaged();
    ASSERT_TRUE(where) << error;
    EXPECT_EQ(where->library, root / "build" / "PelexMSN.ocx");
}

// Each copy that exists is a candidate, best first, so one the host cannot
// use (left behind by an older version) gives way to the next.
TEST_F(PackagedLocator, EveryCopyThatExistsIsACandidateOnceBestFirst) {
    writeFile(root / "windows" / "Downloaded Program Files" / "PelexMSN.ocx", "lib");
    writeFile(root / "build" / "PelexMSN.ocx", "lib");
    view->write(library::inprocServerKey(kId), "", (root / "build" / "PelexMSN.ocx").string());
    auto copies = packagedCopies();
    ASSERT_EQ(copies.size(), 3u) << error;
    EXPECT_EQ(copies[0].library, root / "build" / "PelexMSN.ocx");
    EXPECT_EQ(copies[0].kind, "the registered control");
    EXPECT_EQ(copies[1].library, root / "windows" / "Downloaded Program Files" / "PelexMSN.ocx");
    EXPECT_EQ(copies[1].kind, "the installer's copy");
    EXPECT_TRUE(fs::equivalent(copies[2].library, packaged / "PelexMSN.ocx"));
    EXPECT_EQ(copies[2].kind, "the packaged control");
    for (const auto& copy : copies) EXPECT_EQ(copy.class_id, kId);
    // Registered where the installer put it: the same file, listed once.
    view->write(library::inprocServerKey(kId), "", (root / "windows" / "Downloaded Program Files" / "PelexMSN.ocx").string());
    copies = packagedCopies();
    ASSERT_EQ(copies.size(), 2u);
    EXPECT_EQ(copies[0].kind, "the registered control");
    EXPECT_EQ(copies[1].kind, "the packaged control");
}

TEST_F(PackagedLocator, ADescriptionBesideTheHostWinsOverThePackagedOne) {
    writeFile(root / "usr" / "bin" / kActivityFile, "<Activities><Activity>");
    EXPECT_FALSE(locatePackaged());
    EXPECT_NE(error.find("cannot be read"), std::string::npos) << error;
}

TEST_F(PackagedLocator, AMissingPackagedControlIsNamedInTheReport) {
    fs::remove(packaged / "PelexMSN.ocx");
    EXPECT_FALSE(locatePackaged());
    EXPECT_NE(error.find("Downloaded Program Files"), std::string::npos) << error;
    EXPECT_NE(error.find("pelex-softphone/PelexMSN.ocx"), std::string::npos) << error;
}

TEST_F(Locator, HostRegistersItsFolderWithATrailingSlash) {
    ASSERT_TRUE(registerHostFolder(*view, root / "messenger"));
    EXPECT_EQ(view->read(kAppPathsKey, "Path"), (root / "messenger").string() + "/");
    ASSERT_TRUE(registerHostFolder(*view, root / "elsewhere"));
    EXPECT_EQ(view->read(kAppPathsKey, "Path"), (root / "elsewhere").string() + "/");
}

}  // namespace
}  // namespace pelex::host
