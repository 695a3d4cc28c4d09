#include "control/library/class_registration.h"

#include <gtest/gtest.h>

#include "control/library/library_version.h"
#include "control/library/store_access.h"

namespace pelex::library {
namespace {

const ControlIdentity kIdentity{"{11111111-2222-3333-4444-555555555555}", "{AAAAAAAA-2222-3333-4444-555555555555}",
                                "{BBBBBBBB-2222-3333-4444-555555555555}", "{CCCCCCCC-2222-3333-4444-555555555555}",
                                "2.0.0.2"};

class Registration : public ::testing::Test {
protected:
    settings::Store store = settings::Store::openInMemory();
    std::unique_ptr<RegistrationStore> view = viewOf(store);
};

TEST_F(Registration, WritesLibraryPathVersionAndIdentifiers) {
    ASSERT_TRUE(registerControl(*view, kIdentity, "/opt/pelex/PelexMSN.ocx"));
    const std::string cls = "HKEY_CLASSES_ROOT\\CLSID\\" + kIdentity.class_id;
    EXPECT_EQ(view->read(cls + "\\InprocServer32", ""), "/opt/pelex/PelexMSN.ocx");
    EXPECT_EQ(view->read(inprocServerKey(kIdentity.class_id), ""), "/opt/pelex/PelexMSN.ocx");
    EXPECT_EQ(view->read(cls + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(view->read(cls + "\\Version", ""), "2.0.0.2");
    EXPECT_EQ(view->read(cls + "\\TypeLib", ""), kIdentity.typelib_id);
    EXPECT_EQ(view->read("HKEY_CLASSES_ROOT\\Interface\\" + kIdentity.interface_id, ""), "_Pelex_MSN");
    EXPECT_EQ(view->read("HKEY_CLASSES_ROOT\\Interface\\" + kIdentity.events_id, ""), "__Pelex_MSN");
    EXPECT_EQ(view->read("HKEY_CLASSES_ROOT\\TypeLib\\" + kIdentity.typelib_id + "\\1.0", ""), "PelexMSN");
    EXPECT_EQ(view->read("HKEY_CLASSES_ROOT\\PelexMSN.Pelex_MSN\\Clsid", ""), kIdentity.class_id);
}

TEST_F(Registration, StoresStringValuesWithTheirTerminatingZero) {
    ASSERT_TRUE(registerControl(*view, kIdentity, "/x/PelexMSN.ocx"));
    settings::Value v;
    ASSERT_EQ(store.getValue(settings::kClassesRoot, "CLSID\\" + kIdentity.class_id + "\\InprocServer32", "", v),
              settings::Status::Ok);
    EXPECT_EQ(v.type, settings::kString);
    EXPECT_EQ(v.data, std::string("/x/PelexMSN.ocx") + '\0');
}

TEST_F(Registration, RegisteringAgainReplacesThePath) {
    ASSERT_TRUE(registerControl(*view, kIdentity, "/old/PelexMSN.ocx"));
    ASSERT_TRUE(registerControl(*view, kIdentity, "/new/PelexMSN.ocx"));
    EXPECT_EQ(view->read(inprocServerKey(kIdentity.class_id), ""), "/new/PelexMSN.ocx");
}

TEST_F(Registration, UnregisterRemovesEverythingWrittenAndNothingElse) {
    ASSERT_TRUE(view->write("HKEY_CLASSES_ROOT\\CLSID\\{OTHER}\\InprocServer32", "", "/other.so"));
    ASSERT_TRUE(registerControl(*view, kIdentity, "/opt/pelex/PelexMSN.ocx"));
    ASSERT_TRUE(unregisterControl(*view, kIdentity));
    for (const auto& v : registrationValues(kIdentity, "/opt/pelex/PelexMSN.ocx"))
        EXPECT_FALSE(view->read(v.key_path, v.name).has_value()) << v.key_path << " " << v.name;
    for (const auto& key : registrationKeys(kIdentity)) {
        const auto slash = key.find('\\');
        EXPECT_EQ(store.findKey(settings::kClassesRoot, key.substr(slash + 1)), settings::Status::NotFound) << key;
    }
    EXPECT_EQ(view->read("HKEY_CLASSES_ROOT\\CLSID\\{OTHER}\\InprocServer32", ""), "/other.so");
    EXPECT_EQ(store.findKey(settings::kClassesRoot, "CLSID"), settings::Status::Ok);
}

TEST_F(Registration, UnregisterWithoutRegistrationSucceeds) { EXPECT_TRUE(unregisterControl(*view, kIdentity)); }

TEST(StoreView, RefusesPathsWithoutARootAndRootDeletion) {
    settings::Store store = settings::Store::openInMemory();
    auto view = viewOf(store);
    EXPECT_FALSE(view->write("HKEY_NOWHERE\\a", "x", "1"));
    EXPECT_FALSE(view->read("HKEY_NOWHERE\\a", "x").has_value());
    EXPECT_FALSE(view->removeTree("HKEY_CLASSES_ROOT"));
}

TEST(StoreView, ValuesOfOtherTypesAreNotReadAsText) {
    settings::Store store = settings::Store::openInMemory();
    ASSERT_EQ(store.createKey(settings::kLocalMachine, "K"), settings::Status::Ok);
    ASSERT_EQ(store.setValue(settings::kLocalMachine, "K", {"n", settings::kDword, std::string("\1\0\0\0", 4)}),
              settings::Status::Ok);
    EXPECT_FALSE(viewOf(store)->read("HKEY_LOCAL_MACHINE\\K", "n").has_value());
}

TEST(ClassId, ComparesWithoutCase) {
    EXPECT_TRUE(sameClassId("{6c1e2a52-9d4b-4f7e-8a31-5e0b7c2d4f10}", "{6C1E2A52-9D4B-4F7E-8A31-5E0B7C2D4F10}"));
    EXPECT_FALSE(sameClassId("{6C1E2A52-9D4B-4F7E-8A31-5E0B7C2D4F10}", "{6C1E2A52-9D4B-4F7E-8A31-5E0B7C2D4F11}"));
    EXPECT_FALSE(sameClassId("{6C1E2A52}", "{6C1E2A52-9D4B-4F7E-8A31-5E0B7C2D4F10}"));
}

TEST(Version, FileVersionAndTheVersionShownToTheUser) {
    EXPECT_STREQ(kFileVersion, "2.0.0.2");
    EXPECT_STREQ(kDisplayVersion, "2.0.2");
    EXPECT_EQ(builtInIdentity().file_version, "2.0.0.2");
}

}  // namespace
}  // namespace pelex::library
