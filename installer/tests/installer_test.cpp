// The real installer program, run in a temporary store and temporary folders.
//
// To run it by hand the same way: point PELEX_REGISTRY at a scratch store
// file and XDG_DATA_HOME at a scratch folder, and start it from the folder
// that holds msgrp2p.xml, PelexMSN.ocx and PelexMSN.inf (build/<preset>/bin);
// see installer/README.md.

#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "settings/store.h"
#include "settings/testing/run_program.h"

using namespace pelex::settings;
namespace fs = std::filesystem;

namespace {

const char* kAppPaths = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\MSNMSGR.EXE";
const char* kWindowsNt = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

class InstallerTest : public ::testing::Test {
protected:
    pelex::testing::TempFolder tmp;
    fs::path storeFile = tmp.path() / "registry.sqlite";
    fs::path source = tmp.path() / "source";
    std::string messenger = (tmp.path() / "messenger").string() + "/";
    std::string windows = (tmp.path() / "windows").string();
    std::string downloaded = windows + "/Downloaded Program Files/";
    Store store = Store::open(storeFile);  // no seed: the tests say what is there

    void SetUp() override {
        fs::create_directories(source);
        fs::create_directories(messenger);
        fs::create_directories(windows);
        writeFile(source / "msgrp2p.xml", "<Activities/>\n");
        writeFile(source / "PelexMSN.ocx", std::string("\x7f" "ELF control", 12));
        writeFile(source / "PelexMSN.inf", "[version]\n");
    }

    void put(const char* key, const Value& v) {
        ASSERT_EQ(store.createKey(kLocalMachine, key), Status::Ok);
        ASSERT_EQ(store.setValue(kLocalMachine, key, v), Status::Ok);
    }
    static Value text(const char* name, const std::string& s) { return {name, kString, s + '\0'}; }
    void putBoth() {
        put(kAppPaths, text("Path", messenger));
        put(kWindowsNt, text("PathName", windows));
    }

    pelex::testing::ProgramResult install(const std::vector<std::string>& args = {}) {
        return pelex::testing::runProgram(
            INSTALLER, args,
            {{{"PELEX_REGISTRY", storeFile.string()}, {"XDG_DATA_HOME", (tmp.path() / "data").string()}}, source});
    }

    std::string fullInstallOutput() const {
        return "Copying msgrp2p.xml to " + messenger + " ...\nCopy succeeded." + "\nCopying PelexMSN.ocx to " +
               downloaded + " ...\nCopy succeeded." + "\nCopying PelexMSN.inf to " + downloaded +
               " ...\nCopy succeeded.";
    }
    void expectInstalled() {
        EXPECT_EQ(readFile(messenger + "msgrp2p.xml"), readFile(source / "msgrp2p.xml"));
        EXPECT_EQ(readFile(downloaded + "PelexMSN.ocx"), readFile(source / "PelexMSN.ocx"));
        EXPECT_EQ(readFile(downloaded + "PelexMSN.inf"), readFile(source / "PelexMSN.inf"));
    }
};

}  // namespace

TEST_F(InstallerTest, InstallCopiesTheThreeFilesAndReplacesOldCopies) {
    putBoth();
    auto r = install();
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, fullInstallOutput());
    EXPECT_EQ(r.err, "");
    expectInstalled();
    // A second run replaces what the first one put there.
    writeFile(source / "PelexMSN.ocx", "newer control");
    writeFile(source / "msgrp2p.xml", "<Activities></Activities>\n");
    r = install();
    EXPECT_EQ(r.out, fullInstallOutput());
    expectInstalled();
}

TEST_F(InstallerTest, RemoveDeletesTheCopiesAndPrintsOnlyTheFirstLine) {
    putBoth();
    ASSERT_EQ(install().exitCode, 0);
    writeFile(downloaded + "other.ocx", "someone else's");
    const auto r = install({"remove"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "Copying msgrp2p.xml to " + messenger + " ...");
    EXPECT_FALSE(fs::exists(messenger + "msgrp2p.xml"));
    EXPECT_FALSE(fs::exists(downloaded + "PelexMSN.ocx"));
    EXPECT_FALSE(fs::exists(downloaded + "PelexMSN.inf"));
    EXPECT_TRUE(fs::exists(downloaded + "other.ocx"));
    EXPECT_TRUE(fs::exists(source / "PelexMSN.ocx"));
    // Nothing left to delete: the same line, no complaint.
    const auto again = install({"remove"});
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_EQ(again.out, "Copying msgrp2p.xml to " + messenger + " ...");
}

TEST_F(InstallerTest, OnlyTheExactArgumentRemoveSelectsRemoveMode) {
    putBoth();
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"Remove"}, {" remove"}, {"remove "}, {"REMOVE"}, {"remove", "now"}, {"install"}, {}}) {
        fs::remove(messenger + "msgrp2p.xml");
        const auto r = install(args);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.out, fullInstallOutput()) << (args.empty() ? "(none)" : args[0]);
        EXPECT_TRUE(fs::exists(messenger + "msgrp2p.xml"));
    }
}

TEST_F(InstallerTest, ThePathValueIsFoundWhereverItStands) {
    put(kWindowsNt, text("PathName", windows));
    const std::string decoy = (tmp.path() / "decoy").string() + "/";
    fs::create_directories(decoy);
    const std::vector<Value> others{text("path", decoy), text("PATH", decoy), text("Path2", decoy),
                                    {"", kString, decoy + '\0'}, {"Paths", kDword, "\1\0\0\0"}};
    for (std::size_t position = 0; position <= others.size(); ++position) {
        store.deleteKey(kLocalMachine, kAppPaths);
        ASSERT_EQ(store.createKey(kLocalMachine, kAppPaths), Status::Ok);
        for (std::size_t i = 0; i <= others.size(); ++i) {
            if (i == position) put(kAppPaths, text("Path", messenger));
            if (i < others.size()) put(kAppPaths, others[i]);
        }
        fs::remove(messenger + "msgrp2p.xml");
        const auto r = install();
        EXPECT_EQ(r.out, fullInstallOutput()) << "Path at " << position;
        EXPECT_TRUE(fs::exists(messenger + "msgrp2p.xml"));
        EXPECT_FALSE(fs::exists(decoy + "msgrp2p.xml"));
    }
}

TEST_F(InstallerTest, AMissingKeyOrValueSkipsItsStepSilently) {
    // Neither key: nothing at all.
    auto r = install();
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    // Only the Windows folder: step 2 alone, starting with its line break.
    put(kWindowsNt, text("PathName", windows));
    r = install();
    EXPECT_EQ(r.out, "\nCopying PelexMSN.ocx to " + downloaded + " ...\nCopy succeeded.\nCopying PelexMSN.inf to " +
                         downloaded + " ...\nCopy succeeded.");
    // The Messenger key without a "Path" value, and the Windows key without
    // "PathName": nothing again.
    put(kAppPaths, text("Other", messenger));
    ASSERT_EQ(store.deleteValue(kLocalMachine, kWindowsNt, "PathName"), Status::Ok);
    put(kWindowsNt, text("SystemRoot", windows));
    r = install();
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(fs::exists(messenger + "msgrp2p.xml"));
    // Only the Messenger folder: step 1 alone.
    put(kAppPaths, text("Path", messenger));
    r = install();
    EXPECT_EQ(r.out, "Copying msgrp2p.xml to " + messenger + " ...\nCopy succeeded.");
}

TEST_F(InstallerTest, AFailedCopySaysSoAndTheRunGoesOn) {
    putBoth();
    fs::remove(source / "PelexMSN.ocx");
    fs::remove_all(messenger);  // the Messenger folder is gone
    const auto r = install();
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "Copying msgrp2p.xml to " + messenger + " ...\nCopy failed." + "\nCopying PelexMSN.ocx to " +
                         downloaded + " ...\nCopy failed." + "\nCopying PelexMSN.inf to " + downloaded +
                         " ...\nCopy succeeded.");
    EXPECT_FALSE(fs::exists(downloaded + "PelexMSN.ocx"));
    EXPECT_EQ(readFile(downloaded + "PelexMSN.inf"), "[version]\n");
}

TEST_F(InstallerTest, RunFromTheDestinationFolderTheFileStaysInPlace) {
    put(kAppPaths, text("Path", source.string() + "/"));
    const auto r = install();
    EXPECT_EQ(r.out, "Copying msgrp2p.xml to " + source.string() + "/ ...\nCopy succeeded.");
    EXPECT_EQ(readFile(source / "msgrp2p.xml"), "<Activities/>\n");
}

TEST_F(InstallerTest, AStringWithoutTerminatorLosesItsLastByte) {
    // "…/messengerX" without its zero: the reader drops the "X".
    put(kAppPaths, {"Path", kString, messenger + "X"});
    put(kWindowsNt, {"PathName", kExpandString, windows + "Y"});
    const auto r = install();
    EXPECT_EQ(r.out, fullInstallOutput());
    expectInstalled();
}

TEST_F(InstallerTest, PathsLongerThanTheBuffersAreRefusedNotCut) {
    // A real folder whose name plus "msgrp2p.xml" is exactly 255 bytes fits;
    // one byte more does not.
    std::string fits = tmp.path().string();
    for (std::size_t remaining = 255 - 11 - 1 - fits.size(); remaining > 0;) {
        std::size_t k = std::min<std::size_t>(100, remaining - 1);
        if (remaining - (k + 1) == 1) --k;  // never leave room for just a "/"
        fits += "/" + std::string(k, 'd');
        remaining -= k + 1;
    }
    ASSERT_EQ(fits.size() + 1 + 11, 255u);
    fs::create_directories(fits);
    const std::string folder = fits + "/";
    put(kAppPaths, text("Path", folder));
    auto r = install();
    EXPECT_EQ(r.out, "Copying msgrp2p.xml to " + folder + " ...\nCopy succeeded.");
    EXPECT_TRUE(fs::exists(folder + "msgrp2p.xml"));

    const std::string tooLong = fits + "e/";  // 256 bytes with the file name
    fs::create_directories(tooLong);
    put(kAppPaths, text("Path", tooLong));
    put(kWindowsNt, text("PathName", windows));
    r = install();
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "Copying msgrp2p.xml to " + tooLong +
                         " ...\nmsgrp2p.xml not copied: the destination path is longer than 255 bytes." +
                         "\nCopying PelexMSN.ocx to " + downloaded + " ...\nCopy succeeded.\nCopying PelexMSN.inf to " +
                         downloaded + " ...\nCopy succeeded.");
    EXPECT_FALSE(fs::exists(tooLong + "msgrp2p.xml"));
    // Nor is anything written under a shortened form of the path.
    EXPECT_FALSE(fs::exists((tooLong + "msgrp2p.xml").substr(0, 255)));

    // The same for the Windows folder, in both modes.
    const std::string longWindows = std::string(300, 'w');
    put(kWindowsNt, text("PathName", longWindows));
    put(kAppPaths, text("Path", messenger));
    r = install();
    EXPECT_EQ(r.out, "Copying msgrp2p.xml to " + messenger + " ...\nCopy succeeded." + "\nCopying PelexMSN.ocx to " +
                         longWindows + "/Downloaded Program Files/ ...\nPelexMSN.ocx not copied: the destination "
                                       "path is longer than 255 bytes." +
                         "\nCopying PelexMSN.inf to " + longWindows +
                         "/Downloaded Program Files/ ...\nPelexMSN.inf not copied: the destination path is longer "
                         "than 255 bytes.");
    r = install({"remove"});
    EXPECT_EQ(r.out, "Copying msgrp2p.xml to " + messenger + " ..." +
                         "\nPelexMSN.ocx not removed: the destination path is longer than 255 bytes." +
                         "\nPelexMSN.inf not removed: the destination path is longer than 255 bytes.");

    // A value too large to read at all is refused the same way, after the
    // line every run with a "Path" value prints.
    put(kAppPaths, {"Path", kString, std::string(40000, 'p')});
    put(kWindowsNt, text("PathName", windows));
    r = install();
    EXPECT_TRUE(r.out.starts_with("Copying msgrp2p.xml to (a \"Path\" longer than 32767 bytes) ...\nmsgrp2p.xml not "
                                  "copied: the destination path is longer than 255 bytes.\nCopying PelexMSN.ocx"))
        << r.out;
    r = install({"remove"});
    EXPECT_EQ(r.out, "Copying msgrp2p.xml to (a \"Path\" longer than 32767 bytes) ...\nmsgrp2p.xml not removed: the "
                     "destination path is longer than 255 bytes.");
    put(kAppPaths, text("Path", messenger));
    put(kWindowsNt, {"PathName", kString, std::string(40000, 'w')});
    r = install();
    EXPECT_EQ(r.out, "Copying msgrp2p.xml to " + messenger + " ...\nCopy succeeded." +
                         "\nCopying PelexMSN.ocx to (a \"PathName\" longer than 32767 bytes) ...\nPelexMSN.ocx not "
                         "copied: the destination path is longer than 255 bytes." +
                         "\nCopying PelexMSN.inf to (a \"PathName\" longer than 32767 bytes) ...\nPelexMSN.inf not "
                         "copied: the destination path is longer than 255 bytes.");
}

// An empty folder value would put the copies at the root of the file system
// ("/Downloaded Program Files/") or over the files in the current folder.
TEST_F(InstallerTest, EmptyFolderValuesAreRefusedWithAClearLine) {
    const bool rootFolderBefore = fs::exists("/Downloaded Program Files");
    put(kAppPaths, text("Path", ""));
    put(kWindowsNt, text("PathName", ""));
    const std::string refused =
        "Copying msgrp2p.xml to  ...\nmsgrp2p.xml not copied: the host's folder (value \"Path\") is empty." +
        std::string("\nPelexMSN.ocx not copied: the Windows folder (value \"PathName\") is empty.") +
        "\nPelexMSN.inf not copied: the Windows folder (value \"PathName\") is empty.";
    auto r = install();
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, refused);
    EXPECT_EQ(fs::exists("/Downloaded Program Files"), rootFolderBefore);
    // Remove mode deletes nothing either: not the installer's own files in
    // the current folder, not anything at the root.
    r = install({"remove"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out,
              "Copying msgrp2p.xml to  ...\nmsgrp2p.xml not removed: the host's folder (value \"Path\") is empty." +
                  std::string("\nPelexMSN.ocx not removed: the Windows folder (value \"PathName\") is empty.") +
                  "\nPelexMSN.inf not removed: the Windows folder (value \"PathName\") is empty.");
    EXPECT_TRUE(fs::exists(source / "msgrp2p.xml"));
    // A value cut short by a zero byte at its start counts as empty too.
    put(kWindowsNt, {"PathName", kString, std::string("\0/tmp\0", 6)});
    r = install();
    EXPECT_EQ(r.out, refused);
}

TEST_F(InstallerTest, ANewStoreSendsTheControlToTheUsersWindowsFolder) {
    fs::remove(storeFile);
    const fs::path fresh = tmp.path() / "fresh.sqlite";
    const auto r = pelex::testing::runProgram(
        INSTALLER, {}, {{{"PELEX_REGISTRY", fresh.string()}, {"XDG_DATA_HOME", (tmp.path() / "data").string()}}, source});
    const std::string folder = (tmp.path() / "data/pelex/windows/Downloaded Program Files/").string();
    EXPECT_EQ(r.out, "\nCopying PelexMSN.ocx to " + folder + " ...\nCopy succeeded.\nCopying PelexMSN.inf to " + folder +
                         " ...\nCopy succeeded.");
    EXPECT_EQ(readFile(folder + "PelexMSN.ocx"), readFile(source / "PelexMSN.ocx"));
}

TEST_F(InstallerTest, AnUnreadableStoreStillEndsWithExitCodeZero) {
    const auto r = pelex::testing::runProgram(
        INSTALLER, {"remove"}, {{{"PELEX_REGISTRY", tmp.path().string()}, {"XDG_DATA_HOME", tmp.path().string()}}, source});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("cannot open settings store"), std::string::npos) << r.err;
}

TEST(InstallerFiles, TheDescriptionsNameTheControl) {
    EXPECT_EQ(readFile(fs::path(BIN_DIR) / "msgrp2p.xml"),
              std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<Activities>\n"
                          "  <Activity>\n"
                          "    <Name>Pelex soft phone</Name>\n"
                          "    <ClassID>") +
                  CONTROL_CLSID +
                  "</ClassID>\n"
                  "    <File>PelexMSN.ocx</File>\n"
                  "    <Version>2.0.0.2</Version>\n"
                  "  </Activity>\n"
                  "</Activities>\n");
    const std::string inf = readFile(fs::path(BIN_DIR) / "PelexMSN.inf");
    EXPECT_NE(inf.find("PelexMSN.ocx=PelexMSN.ocx"), std::string::npos);
    EXPECT_NE(inf.find(std::string("clsid=") + CONTROL_CLSID + "\n"), std::string::npos);
    EXPECT_NE(inf.find("FileVersion=2,0,0,2\n"), std::string::npos);
}
