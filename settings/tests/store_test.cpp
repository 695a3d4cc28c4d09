#include "settings/store.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <fstream>

#include <gtest/gtest.h>

#include "settings/testing/run_program.h"

using namespace pelex::settings;

namespace {

std::vector<std::string> names(const std::vector<Value>& values) {
    std::vector<std::string> out;
    for (const auto& v : values) out.push_back(v.name);
    return out;
}

mode_t modeOf(const std::filesystem::path& p) {
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
    return st.st_mode & 0777;
}

class StoreTest : public ::testing::Test {
protected:
    pelex::testing::TempFolder tmp;
    std::filesystem::path file = tmp.path() / "cfg" / "pelex" / "registry.sqlite";
};

}  // namespace

TEST_F(StoreTest, EveryTypeRoundTripsAsRawBytesAndSurvivesReopening) {
    const std::vector<Value> written{
        {"s", kString, std::string("text\0", 5)},
        {"e", kExpandString, std::string("%HOME%\\x\0", 9)},
        {"b", kBinary, std::string("\0\xff\x01", 3)},
        {"d", kDword, std::string("\x2a\0\0\0", 4)},
        {"m", kMultiString, std::string("a\0bc\0\0", 6)},
        {"q", 11, std::string("12345678")},
        {"odd", 0x12345u, std::string()},
        {"", kString, std::string("default\0", 8)},
        {std::string("\xe9t\xe9", 3), kString, std::string("\x80\0", 2)},
    };
    {
        Store store = Store::open(file);
        ASSERT_EQ(store.createKey(kCurrentUser, "A\\B"), Status::Ok);
        for (const auto& v : written) ASSERT_EQ(store.setValue(kCurrentUser, "A\\B", v), Status::Ok) << v.name;
    }
    Store store = Store::open(file);
    std::vector<Value> read;
    ASSERT_EQ(store.listValues(kCurrentUser, "A\\B", read), Status::Ok);
    EXPECT_EQ(read, written);
    Value one;
    ASSERT_EQ(store.getValue(kCurrentUser, "A\\B", "b", one), Status::Ok);
    EXPECT_EQ(one, written[2]);
    EXPECT_EQ(store.integrityCheck(), "ok");
}

TEST_F(StoreTest, EnumerationKeepsFirstWriteOrderThroughOverwritesAndDeletes) {
    Store store = Store::open(file);
    ASSERT_EQ(store.createKey(kLocalMachine, "K"), Status::Ok);
    for (const char* n : {"zeta", "alpha", "mid", "last"}) {
        ASSERT_EQ(store.setValue(kLocalMachine, "K", {n, kString, std::string(n) + '\0'}), Status::Ok);
    }
    // Overwriting with another type and size keeps the place.
    ASSERT_EQ(store.setValue(kLocalMachine, "K", {"alpha", kDword, std::string(4, '\1')}), Status::Ok);
    ASSERT_EQ(store.deleteValue(kLocalMachine, "K", "last"), Status::Ok);
    ASSERT_EQ(store.setValue(kLocalMachine, "K", {"new", kString, std::string(1, '\0')}), Status::Ok);
    ASSERT_EQ(store.setValue(kLocalMachine, "K", {"last", kString, std::string(1, '\0')}), Status::Ok);
    std::vector<Value> values;
    ASSERT_EQ(store.listValues(kLocalMachine, "K", values), Status::Ok);
    EXPECT_EQ(names(values), (std::vector<std::string>{"zeta", "alpha", "mid", "new", "last"}));
    EXPECT_EQ(values[1].type, kDword);
}

TEST_F(StoreTest, ValuesNeedAnExistingKeyAndKeysCreateTheirParents) {
    Store store = Store::open(file);
    EXPECT_EQ(store.setValue(kLocalMachine, "SOFTWARE\\X", {"v", kString, "a"}), Status::NotFound);
    EXPECT_EQ(store.findKey(kLocalMachine, "SOFTWARE\\X"), Status::NotFound);
    ASSERT_EQ(store.createKey(kLocalMachine, "SOFTWARE\\X\\Y"), Status::Ok);
    EXPECT_EQ(store.createKey(kLocalMachine, "SOFTWARE\\X\\Y"), Status::Ok);  // already there
    EXPECT_EQ(store.findKey(kLocalMachine, "SOFTWARE"), Status::Ok);
    EXPECT_EQ(store.findKey(kLocalMachine, "SOFTWARE\\X"), Status::Ok);
    EXPECT_EQ(store.setValue(kLocalMachine, "SOFTWARE\\X", {"v", kString, "a"}), Status::Ok);
    // Roots always exist and may hold values; the same path under another
    // root is another key.
    EXPECT_EQ(store.findKey(kUsers, ""), Status::Ok);
    EXPECT_EQ(store.setValue(kUsers, "", {"r", kString, "b"}), Status::Ok);
    EXPECT_EQ(store.findKey(kCurrentUser, "SOFTWARE"), Status::NotFound);
    Value v;
    EXPECT_EQ(store.getValue(kLocalMachine, "SOFTWARE\\X", "missing", v), Status::NotFound);
    EXPECT_EQ(store.getValue(kLocalMachine, "SOFTWARE\\Nope", "v", v), Status::NotFound);
}

TEST_F(StoreTest, NamesAreMatchedExactlyAndCaseSensitively) {
    Store store = Store::open(file);
    ASSERT_EQ(store.createKey(kLocalMachine, "Software"), Status::Ok);
    EXPECT_EQ(store.findKey(kLocalMachine, "SOFTWARE"), Status::NotFound);
    ASSERT_EQ(store.setValue(kLocalMachine, "Software", {"Path", kString, "x"}), Status::Ok);
    Value v;
    EXPECT_EQ(store.getValue(kLocalMachine, "Software", "path", v), Status::NotFound);
    EXPECT_EQ(store.getValue(kLocalMachine, "Software", "Path ", v), Status::NotFound);
}

TEST_F(StoreTest, MalformedPathsAndUnknownRootsAreRefused) {
    Store store = Store::open(file);
    for (const char* bad : {"\\A", "A\\", "A\\\\B", "\\"}) {
        EXPECT_EQ(store.createKey(kLocalMachine, bad), Status::BadPathname) << bad;
        EXPECT_EQ(store.setValue(kLocalMachine, bad, {"v", kString, "a"}), Status::BadPathname) << bad;
    }
    EXPECT_EQ(store.createKey(0x80000007u, "A"), Status::InvalidParameter);
    EXPECT_EQ(store.createKey(0, "A"), Status::InvalidParameter);
    std::vector<std::string> keys;
    ASSERT_EQ(store.listSubKeys(kLocalMachine, "", keys), Status::Ok);
    EXPECT_TRUE(keys.empty());
}

TEST_F(StoreTest, DeletingAKeyTakesItsSubtreeButNotItsSiblings) {
    Store store = Store::open(file);
    for (const char* k : {"A\\B\\C", "A\\B\\D", "A\\BC", "A\\B]", "A\\B0"}) ASSERT_EQ(store.createKey(kCurrentUser, k), Status::Ok);
    ASSERT_EQ(store.setValue(kCurrentUser, "A\\B\\C", {"v", kString, "1"}), Status::Ok);
    ASSERT_EQ(store.setValue(kCurrentUser, "A\\BC", {"v", kString, "2"}), Status::Ok);
    ASSERT_EQ(store.deleteKey(kCurrentUser, "A\\B"), Status::Ok);
    EXPECT_EQ(store.findKey(kCurrentUser, "A\\B"), Status::NotFound);
    EXPECT_EQ(store.findKey(kCurrentUser, "A\\B\\C"), Status::NotFound);
    std::vector<std::string> keys;
    ASSERT_EQ(store.listSubKeys(kCurrentUser, "A", keys), Status::Ok);
    EXPECT_EQ(keys, (std::vector<std::string>{"B0", "BC", "B]"}));
    Value v;
    EXPECT_EQ(store.getValue(kCurrentUser, "A\\BC", "v", v), Status::Ok);
    // A recreated key starts empty: the old values went with the old key.
    ASSERT_EQ(store.createKey(kCurrentUser, "A\\B\\C"), Status::Ok);
    EXPECT_EQ(store.getValue(kCurrentUser, "A\\B\\C", "v", v), Status::NotFound);
    EXPECT_EQ(store.deleteKey(kCurrentUser, "A\\B"), Status::Ok);
    EXPECT_EQ(store.deleteKey(kCurrentUser, "A\\B"), Status::NotFound);
    EXPECT_EQ(store.deleteKey(kCurrentUser, ""), Status::AccessDenied);
    EXPECT_EQ(store.deleteValue(kCurrentUser, "A\\BC", "nope"), Status::NotFound);
    EXPECT_EQ(store.integrityCheck(), "ok");
}

TEST_F(StoreTest, NewFileIsPrivateAndSeededOnlyOnce) {
    const SeedValue seed{kLocalMachine, "S\\T", {"PathName", kString, std::string("/w\0", 3)}};
    {
        Store store = Store::open(file, {seed});
        Value v;
        ASSERT_EQ(store.getValue(kLocalMachine, "S\\T", "PathName", v), Status::Ok);
        EXPECT_EQ(v, seed.value);
        ASSERT_EQ(store.deleteValue(kLocalMachine, "S\\T", "PathName"), Status::Ok);
    }
    EXPECT_EQ(modeOf(file), 0600u);
    EXPECT_EQ(modeOf(file.parent_path()), 0700u);
    EXPECT_EQ(modeOf(file.parent_path().parent_path()), 0700u);
    // Reopening an existing store does not write the seed again.
    Store store = Store::open(file, {seed});
    Value v;
    EXPECT_EQ(store.getValue(kLocalMachine, "S\\T", "PathName", v), Status::NotFound);
}

TEST_F(StoreTest, AFileThatIsNotAStoreIsRefusedAndLeftAlone) {
    std::filesystem::create_directories(file.parent_path());
    {
        std::ofstream(file) << "these are someone's notes, not a database\n";
    }
    EXPECT_THROW(Store::open(file), StoreError);
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "these are someone's notes, not a database");
}

TEST_F(StoreTest, AnotherSqliteDatabaseOrAFolderIsNotTakenForAStore) {
    const std::filesystem::path other = tmp.path() / "other.sqlite";
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(other.c_str(), &raw), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, "CREATE TABLE contacts(name TEXT); INSERT INTO contacts VALUES('Ann')", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(raw);
    EXPECT_THROW(Store::open(other), StoreError);
    EXPECT_THROW(Store::open(tmp.path()), StoreError);
}
