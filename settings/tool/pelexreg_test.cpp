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

// Whoever can write the store can put terminal escape sequences into names
// and values: get and list show control characters escaped (and the
// backslash doubled, so the escaped form is unambiguous) unless --raw.
TEST_F(PelexregTest, GetAndListShowStoredControlCharactersEscapedUnlessRaw) {
    {
        Store store = Store::open(storeFile);
        ASSERT_EQ(store.createKey(kCurrentUser, "Software\\Pelex"), Status::Ok);
        ASSERT_EQ(store.setValue(kCurrentUser, "Software\\Pelex",
                                 {"UName", kString, std::string("\x1b]0;owned\x07\x1b[2J\r\nC:\\x\x9d\0", 22)}),
                  Status::Ok);
        ASSERT_EQ(store.setValue(kCurrentUser, "Software\\Pelex", {"n\x1b[8m", kString, std::string("v\0", 2)}),
                  Status::Ok);
        ASSERT_EQ(store.setValue(kCurrentUser, "Software\\Pelex",
                                 {"m", kMultiString, std::string("a\\0\0\x1b\tb\0\0", 9)}),
                  Status::Ok);
    }
    const auto get = reg({"get", kKey, "UName"});
    EXPECT_EQ(get.exitCode, 0) << get.err;
    EXPECT_EQ(get.out, "\\x1b]0;owned\\x07\\x1b[2J\\x0d\\x0aC:\\\\x\\x9d\n");
    const auto rawGet = reg({"get", kKey, "UName", "--raw"});
    EXPECT_EQ(rawGet.exitCode, 0) << rawGet.err;
    EXPECT_EQ(rawGet.out, "\x1b]0;owned\x07\x1b[2J\r\nC:\\x\xc2\x9d\n");

    const auto list = reg({"list", kKey});
    EXPECT_EQ(list.exitCode, 0) << list.err;
    // In a multi-string "\0" separates the texts; a backslash inside one is
    // doubled, so the two never meet.
    EXPECT_EQ(list.out,
              "UName\tREG_SZ\t\\x1b]0;owned\\x07\\x1b[2J\\x0d\\x0aC:\\\\x\\x9d\n"
              "n\\x1b[8m\tREG_SZ\tv\n"
              "m\tREG_MULTI_SZ\ta\\\\0\\0\\x1b\\x09b\n");
    const auto rawList = reg({"list", "--raw", kKey});
    EXPECT_EQ(rawList.exitCode, 0) << rawList.err;
    EXPECT_EQ(rawList.out,
              "UName\tREG_SZ\t\x1b]0;owned\x07\x1b[2J\r\nC:\\x\xc2\x9d\n"
              "n\x1b[8m\tREG_SZ\tv\n"
              "m\tREG_MULTI_SZ\ta\\0\\0\x1b\tb\n");

    EXPECT_EQ(reg({"set", kKey, "n", "v", "--raw"}).exitCode, 2);  // --raw only where text is shown
    EXPECT_NE(reg({"--help"}).out.find("--raw"), std::string::npos);
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
