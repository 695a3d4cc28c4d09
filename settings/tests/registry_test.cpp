#include "settings/registry.h"

#include <gtest/gtest.h>

#include "platform/testing/recording_message_box.h"

using namespace pelex::settings;

namespace {

const std::u16string kOption = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\VOIP\\Option";

class RegistryTest : public ::testing::Test {
protected:
    Store store = Store::openInMemory();
    pelex::platform::testing::RecordingMessageBox box;
    Registry reg{store, box};

    // Writes raw bytes the way another program might.
    void putRaw(const char* subKey, const char* name, ValueType type, const std::string& data) {
        ASSERT_EQ(store.createKey(kLocalMachine, subKey), Status::Ok);
        ASSERT_EQ(store.setValue(kLocalMachine, subKey, {name, type, data}), Status::Ok);
    }
};

}  // namespace

TEST_F(RegistryTest, RootNamesAreExactAndCaseSensitive) {
    EXPECT_EQ(reg.GetRootKey(u"HKEY_CLASSES_ROOT"), 0x80000000u);
    EXPECT_EQ(reg.GetRootKey(u"HKEY_CURRENT_USER"), 0x80000001u);
    EXPECT_EQ(reg.GetRootKey(u"HKEY_LOCAL_MACHINE"), 0x80000002u);
    EXPECT_EQ(reg.GetRootKey(u"HKEY_USERS"), 0x80000003u);
    EXPECT_EQ(reg.GetRootKey(u"HKEY_PERFORMANCE_DATA"), 0x80000004u);
    EXPECT_EQ(reg.GetRootKey(u"HKEY_CURRENT_CONFIG"), 0x80000005u);
    EXPECT_EQ(reg.GetRootKey(u"HKEY_DYN_DATA"), 0x80000006u);
    for (const char16_t* other : {u"HKEY_Local_Machine", u"HKLM", u"HKEY_LOCAL_MACHINE ", u"", u"HKEY_"}) {
        EXPECT_EQ(reg.GetRootKey(other), 0u);
    }
}

TEST_F(RegistryTest, ParseSplitsAtTheFirstBackslash) {
    std::u16string path = kOption;
    RootKey root = 0;
    reg.ParseKeyPath(path, root);
    EXPECT_EQ(root, kLocalMachine);
    EXPECT_EQ(path, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\VOIP\\Option");

    path = u"HKEY_CURRENT_USER";  // the root key itself
    reg.ParseKeyPath(path, root);
    EXPECT_EQ(root, kCurrentUser);
    EXPECT_EQ(path, u"");

    path = u"HKEY_NOWHERE\\A\\B";  // well-formed, but no such root
    reg.ParseKeyPath(path, root);
    EXPECT_EQ(root, 0u);
    EXPECT_EQ(path, u"A\\B");
    EXPECT_TRUE(box.shown.empty());
}

TEST_F(RegistryTest, MalformedPathsShowTheMessageAndChangeNothing) {
    for (const std::u16string& bad : std::vector<std::u16string>{u"hkey_local_machine\\SOFTWARE", u"HKEY_LOCAL_MACHINE\\SOFTWARE\\",
                                      u"HKEY_LOCAL_MACHINE\\", u"", u"HKEY", u"SOFTWARE\\HKEY_X"}) {
        box.shown.clear();
        std::u16string path = bad;
        RootKey root = kUsers;
        reg.ParseKeyPath(path, root);
        EXPECT_EQ(root, 0u);
        EXPECT_EQ(path, bad);
        ASSERT_EQ(box.shown.size(), 1u);
        EXPECT_EQ(box.shown[0].text, u"Incorrect Format:\n\n" + bad);
        EXPECT_EQ(box.shown[0].title, u"PelexMSN");
        EXPECT_EQ(box.shown[0].icon, pelex::platform::MessageIcon::None);
    }
    // Through the three operations: one box each, nothing stored, and a read
    // gives empty text.
    box.shown.clear();
    reg.CreateRegKey(u"HKEY_LOCAL_MACHINE\\X\\");
    reg.SetRegValue(u"hkey_local_machine\\X", u"v", u"1");
    EXPECT_EQ(reg.ReadRegValue(u"HKEY_LOCAL_MACHINE\\X\\", u"v"), u"");
    EXPECT_EQ(box.shown.size(), 3u);
    EXPECT_EQ(store.findKey(kLocalMachine, "X"), Status::NotFound);
}

TEST_F(RegistryTest, UnknownRootReadsEmptyAndWritesNothingWithoutMessage) {
    reg.CreateRegKey(u"HKEY_NOWHERE\\A");
    reg.SetRegValue(u"HKEY_NOWHERE\\A", u"v", u"1");
    EXPECT_EQ(reg.ReadRegValue(u"HKEY_NOWHERE\\A", u"v"), u"");
    EXPECT_EQ(reg.lastRoot(), 0u);
    EXPECT_TRUE(box.shown.empty());
    for (RootKey r = kClassesRoot; r <= kDynData; ++r) EXPECT_EQ(store.findKey(r, "A"), Status::NotFound);
}

TEST_F(RegistryTest, WrittenTextReadsBackUnchanged) {
    reg.CreateRegKey(kOption);
    EXPECT_EQ(reg.status(), 0);
    for (const std::u16string& text : std::vector<std::u16string>{u"1", u"", u"abc", u"trailing  ", u"in  between", u"\u20ac\u00e9\u00ff \u2122", u"tab\tand\nline",
          std::u16string(254, u'x')}) {
        reg.SetRegValue(kOption, u"ALogin", text);
        EXPECT_EQ(reg.status(), 0);
        EXPECT_EQ(reg.ReadRegValue(kOption, u"ALogin"), text) << text.size();
        EXPECT_EQ(reg.status(), 0);
    }
    // Stored as a string with its terminating zero, in Windows-1252.
    reg.SetRegValue(kOption, u"New", u"\u20ac1");
    Value v;
    ASSERT_EQ(store.getValue(kLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\VOIP\\Option", "New", v),
              Status::Ok);
    EXPECT_EQ(v, (Value{"New", kString, std::string("\x80" "1\0", 3)}));
}

TEST_F(RegistryTest, LeadingSpacesAreLostTrailingSpacesSurvive) {
    reg.CreateRegKey(kOption);
    reg.SetRegValue(kOption, u"v", u"  both  ");
    EXPECT_EQ(reg.ReadRegValue(kOption, u"v"), u"both  ");
    reg.SetRegValue(kOption, u"v", u"   ");
    EXPECT_EQ(reg.ReadRegValue(kOption, u"v"), u"");
}

TEST_F(RegistryTest, ValuesOf255CharactersOrMoreReadAsError) {
    reg.CreateRegKey(kOption);
    reg.SetRegValue(kOption, u"v", std::u16string(255, u'y'));
    EXPECT_EQ(reg.status(), 0);  // writing has no such limit
    EXPECT_EQ(reg.ReadRegValue(kOption, u"v"), u"Error");
    EXPECT_EQ(reg.status(), code(Status::MoreData));
    reg.SetRegValue(kOption, u"v", std::u16string(4000, u'y'));
    EXPECT_EQ(reg.ReadRegValue(kOption, u"v"), u"Error");
}

TEST_F(RegistryTest, MissingKeysAndValuesReadAsError) {
    EXPECT_EQ(reg.ReadRegValue(kOption, u"New"), u"Error");
    EXPECT_EQ(reg.status(), code(Status::NotFound));
    reg.CreateRegKey(kOption);
    EXPECT_EQ(reg.ReadRegValue(kOption, u"New"), u"Error");
    EXPECT_EQ(reg.status(), code(Status::NotFound));
    EXPECT_EQ(reg.ReadRegValue(kOption, u"new"), u"Error");  // names are case-sensitive
    // A path with an empty part cannot name a key.
    EXPECT_EQ(reg.ReadRegValue(u"HKEY_LOCAL_MACHINE\\A\\\\B", u"v"), u"Error");
    EXPECT_EQ(reg.status(), code(Status::BadPathname));
}

TEST_F(RegistryTest, SetNeedsAnExistingKeyAndCreateMakesTheParents) {
    reg.SetRegValue(kOption, u"New", u"1");
    EXPECT_EQ(reg.status(), code(Status::NotFound));
    EXPECT_EQ(store.findKey(kLocalMachine, "SOFTWARE"), Status::NotFound);
    reg.CreateRegKey(kOption);
    EXPECT_EQ(reg.lastRoot(), kLocalMachine);
    EXPECT_EQ(reg.lastKey(), "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\VOIP\\Option");
    EXPECT_EQ(store.findKey(kLocalMachine, "SOFTWARE\\Microsoft"), Status::Ok);
    reg.SetRegValue(kOption, u"New", u"1");
    EXPECT_EQ(reg.status(), 0);
    // The root key itself can hold values too.
    reg.SetRegValue(u"HKEY_CURRENT_USER", u"r", u"root");
    EXPECT_EQ(reg.ReadRegValue(u"HKEY_CURRENT_USER", u"r"), u"root");
}

TEST_F(RegistryTest, TextOutsideTheCodePageIsNotStoredAtAll) {
    reg.CreateRegKey(kOption);
    reg.SetRegValue(kOption, u"UName", u"kept");
    reg.SetRegValue(kOption, u"UName", u"\u0416ohn");  // Cyrillic Zhe
    EXPECT_EQ(reg.status(), code(Status::NoUnicodeTranslation));
    EXPECT_EQ(reg.ReadRegValue(kOption, u"UName"), u"kept");
    reg.SetRegValue(kOption, u"\u0416", u"x");
    EXPECT_EQ(reg.status(), code(Status::NoUnicodeTranslation));
    reg.CreateRegKey(kOption + u"\\\U0001F600");
    EXPECT_EQ(reg.status(), code(Status::NoUnicodeTranslation));
    EXPECT_EQ(reg.ReadRegValue(kOption, u"\u0416"), u"Error");
    EXPECT_EQ(reg.status(), code(Status::NoUnicodeTranslation));
    std::vector<Value> values;
    ASSERT_EQ(store.listValues(kLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\VOIP\\Option", values),
              Status::Ok);
    EXPECT_EQ(values.size(), 1u);
    std::vector<std::string> keys;
    ASSERT_EQ(store.listSubKeys(kLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\VOIP\\Option", keys),
              Status::Ok);
    EXPECT_TRUE(keys.empty());
}

TEST_F(RegistryTest, ValuesWrittenByOtherProgramsReadByTheSameRule) {
    // No terminator: the last character is taken for one and dropped.
    putRaw("P", "noZero", kString, "abc");
    EXPECT_EQ(reg.ReadRegValue(u"HKEY_LOCAL_MACHINE\\P", u"noZero"), u"ab");
    // No data at all, or only spaces: empty text.
    putRaw("P", "empty", kString, "");
    EXPECT_EQ(reg.ReadRegValue(u"HKEY_LOCAL_MACHINE\\P", u"empty"), u"");
    EXPECT_EQ(reg.status(), 0);
    putRaw("P", "spaces", kBinary, "    ");
    EXPECT_EQ(reg.ReadRegValue(u"HKEY_LOCAL_MACHINE\\P", u"spaces"), u"");
    // Exactly 255 bytes still fit.
    putRaw("P", "full", kString, std::string(254, 'z') + '\0');
    EXPECT_EQ(reg.ReadRegValue(u"HKEY_LOCAL_MACHINE\\P", u"full"), std::u16string(254, u'z'));
    // Other types come back as their bytes, read by the same rule.
    putRaw("P", "num", kDword, std::string("\x31\x32\0\0", 4));
    EXPECT_EQ(reg.ReadRegValue(u"HKEY_LOCAL_MACHINE\\P", u"num"), std::u16string(u"12\0", 3));
    putRaw("P", "list", kMultiString, std::string("a\0b\0\0", 5));
    EXPECT_EQ(reg.ReadRegValue(u"HKEY_LOCAL_MACHINE\\P", u"list"), std::u16string(u"a\0b\0", 4));
}
