#include "host/activity_description.h"

#include <gtest/gtest.h>

namespace pelex::host {
namespace {

TEST(ActivityDescription, ReadsEveryActivityWithItsClassIdFileAndVersion) {
    const std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Activities>"
        "<Activity><Name>Other game</Name><ClassID>{1}</ClassID><File>game.ocx</File></Activity>"
        "<Activity><Name>Pelex soft phone</Name><ClassID> {6C1E2A52-9D4B-4F7E-8A31-5E0B7C2D4F10} </ClassID>"
        "<File>PelexMSN.ocx</File><Version>2.0.0.2</Version></Activity></Activities>";
    std::string error;
    const auto list = parseActivities(xml, error);
    ASSERT_TRUE(list) << error;
    ASSERT_EQ(list->size(), 2u);
    const auto phone = findActivityByFile(*list, "pelexmsn.OCX");
    ASSERT_TRUE(phone);
    EXPECT_EQ(phone->name, "Pelex soft phone");
    EXPECT_EQ(phone->class_id, "{6C1E2A52-9D4B-4F7E-8A31-5E0B7C2D4F10}");
    EXPECT_EQ(phone->version, "2.0.0.2");
    EXPECT_FALSE(findActivityByFile(*list, "missing.ocx"));
}

TEST(ActivityDescription, SkipsActivitiesWithoutAClassIdAndUnknownElements) {
    std::string error;
    const auto list = parseActivities(
        "<Activities><Note>x</Note><Activity><Name>n</Name><File>PelexMSN.ocx</File></Activity></Activities>", error);
    ASSERT_TRUE(list) << error;
    EXPECT_TRUE(list->empty());
}

TEST(ActivityDescription, MalformedOrForeignDocumentsAreErrors) {
    for (const std::string bad : {"", "not xml", "<Activities><Activity>", "<Other/>",
                                  "<Activities><Activity><ClassID>{1}</ClassID></Activity>"}) {
        std::string error;
        EXPECT_FALSE(parseActivities(bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

}  // namespace
}  // namespace pelex::host
