// pelexreg run as a program against a temporary store.

#include <gtest/gtest.h>

#include "settings/store.h"
#include "settings/testing/run_program.h"

using namespace pelex::settings;
using pelex::testing::ProgramResult;

namespace {

const std::string kKey = "HKEY_CURRENT_USER\\Software\\Pelex";

class PelexregTest : public ::testing::Test {
protected:
    pelex::testing::TempFolder tmp;
    std::filesystem::path storeFile = tmp.path() / "registry.sqlite";

    ProgramResult reg(const std::vector<std::string>& args) {
        return pelex::testing::runProgram(
            PELEXREG, args,
            {{{"PELEX_REGISTRY", storeFile.string()}, {"XDG_DATA_HOME", (tmp.path() / "data").string()}}, {}});
    }
};

}  // namespace

TEST_F(PelexregTest, SetThenGetRoundTripsUtf8ThroughWindows1252) {
    ASSERT_EQ(reg({"set", kKey, "UName", "Jos\xc3\xa9 \xe2\x82\xac 5  "}).exitCode, 0);
    const auto got = reg({"get", kKey, "UName"});
    EXPECT_EQ(got.exitCode, 0);
    EXPECT_EQ(got.out, "Jos\xc3\xa9 \xe2\x82\xac 5  \n");
    Store store = Store::open(storeFile);
    Value v;
    ASSERT_EQ(store.getValue(kCurrentUser, "Software\\Pelex", "UName", v), Status::Ok);
    EXPECT_EQ(v, (Value{"UName", kString, std::string("Jos\xe9 \x80 5  \0", 11)}));
}

TEST_F(PelexregTest, GetPrintsErrorForWhatCannotBeRead) {
    auto r = reg({"get", kKey, "Missing"});
    EXPECT_EQ(r.out, "Error\n");
    EXPECT_EQ(r.exitCode, 1);
    ASSERT_EQ(reg({"set", kKey, "Long", std::string(255, 'x')}).exitCode, 0);
    r = reg({"get", kKey, "Long"});
    EXPECT_EQ(r.out, "Error\n");
    EXPECT_EQ(r.exitCode, 1);
    ASSERT_EQ(reg({"set", kKey, "Fits", std::string(254, 'x')}).exitCode, 0);
    EXPECT_EQ(reg({"get", kKey, "Fits"}).out, std::string(254, 'x') + "\n");
}

TEST_F(PelexregTest, ListShowsEveryTypeInWriteOrder) {
    ASSERT_EQ(reg({"set", kKey, "s", "text"}).exitCode, 0);
    ASSERT_EQ(reg({"set", kKey, "n", "0x2A", "--type", "dword"}).exitCode, 0);
    ASSERT_EQ(reg({"set", kKey, "b", "00 ff 1a", "--type", "binary"}).exitCode, 0);
    ASSERT_EQ(reg({"set", kKey, "m", "one\\0two", "--type", "multi"}).exitCode, 0);
    ASSERT_EQ(reg({"set", kKey, "e", "%HOME%/x", "--type", "expand"}).exitCode, 0);
    ASSERT_EQ(reg({"--type", "8", "set", kKey, "raw", "0102"}).exitCode, 2);  // --type only after set
    ASSERT_EQ(reg({"set", kKey, "raw", "0102", "--type", "8"}).exitCode, 0);
    ASSERT_EQ(reg({"set", kKey, "s", "again"}).exitCode, 0);  // keeps its place
    const auto r = reg({"list", kKey});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out,
              "s\tREG_SZ\tagain\n"
              "n\tREG_DWORD\t0x0000002A (42)\n"
              "b\tREG_BINARY\t00 FF 1A\n"
              "m\tREG_MULTI_SZ\tone\\0two\n"
              "e\tREG_EXPAND_SZ\t%HOME%/x\n"
              "raw\tREG_RESOURCE_LIST\t01 02\n");
    Store store = Store::open(storeFile);
    Value v;
    ASSERT_EQ(store.getValue(kCurrentUser, "Software\\Pelex", "m", v), Status::Ok);
    EXPECT_EQ(v.data, std::string("one\0two\0\0", 9));
    ASSERT_EQ(store.getValue(kCurrentUser, "Software\\Pelex", "raw", v), Status::Ok);
    EXPECT_EQ(v, (Value{"raw", 8, std::string("\1\2", 2)}));
}

TEST_F(PelexregTest, DeleteRemovesValuesAndWholeKeys) {
    ASSERT_EQ(reg({"set", kKey + "\\Sub", "a", "1"}).exitCode, 0);
    ASSERT_EQ(reg({"set", kKey, "b", "2"}).exitCode, 0);
    EXPECT_EQ(reg({"delete", kKey, "b"}).exitCode, 0);
    EXPECT_EQ(reg({"get", kKey, "b"}).out, "Error\n");
    EXPECT_EQ(reg({"delete", kKey, "b"}).exitCode, 1);
    EXPECT_EQ(reg({"delete", kKey}).exitCode, 0);
    EXPECT_EQ(reg({"get", kKey + "\\Sub", "a"}).out, "Error\n");
    const auto r = reg({"list", kKey});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("no such key"), std::string::npos);
    EXPECT_EQ(reg({"delete", "HKEY_CURRENT_USER"}).exitCode, 1);  // roots stay
}

TEST_F(PelexregTest, BadUseIsExplainedAndChangesNothing) {
    const auto help = reg({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("pelexreg get PATH NAME"), std::string::npos);

    struct Case {
        std::vector<std::string> args;
        std::string says;
    };
    const std::vector<Case> cases{
        {{}, "no command"},
        {{"frob"}, "unknown command"},
        {{"get", kKey}, "get takes PATH NAME"},
        {{"set", kKey, "n"}, "set takes"},
        {{"get", "hkey_current_user\\x", "n"}, "Incorrect Format:\n\nhkey_current_user\\x"},
        {{"set", kKey + "\\", "n", "v"}, "Incorrect Format:"},
        {{"set", "HKEY_NOWHERE\\x", "n", "v"}, "known root"},
        {{"set", kKey, "n", "\xd0\x96", }, "Windows-1252"},
        {{"set", kKey, "n", "-1", "--type", "dword"}, "dword"},
        {{"set", kKey, "n", "4294967296", "--type", "dword"}, "dword"},
        {{"set", kKey, "n", "0g", "--type", "binary"}, "hex"},
        {{"set", kKey, "n", "abc", "--type", "binary"}, "hex"},
        {{"set", kKey, "n", "1", "--type", "number"}, "unknown type"},
        {{"set", kKey, "n", "1", "--type"}, "needs a TYPE"},
        {{"set", kKey, "n", "\xff"}, "Windows-1252"},
    };
    for (const Case& c : cases) {
        const auto r = reg(c.args);
        EXPECT_EQ(r.exitCode, 2) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    Store store = Store::open(storeFile);
    EXPECT_EQ(store.findKey(kCurrentUser, "Software\\Pelex"), Status::NotFound);
}

TEST_F(PelexregTest, AnUnreadableStoreIsAClearFailure) {
    std::filesystem::create_directories(storeFile);  // a folder where the file should be
    const auto r = reg({"get", kKey, "n"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot open settings store"), std::string::npos) << r.err;
}
