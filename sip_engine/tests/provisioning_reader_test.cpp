// The provisioning document as the liblinphone client reads it back.
#include "sip_engine/linphone/provisioning_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "sip_engine/cls_rtc.h"
#include "sip_engine/linphone/tone_file.h"
#include "sip_engine/rtc/rtc_error.h"

namespace pelex::sip_engine::linphone_rtc {
namespace {

TEST(ProvisioningReader, ReadsBackExactlyWhatTheEngineWrote) {
    const std::u16string password = u"p\"w'<&>\t x";
    const auto profile = readProvisioning(clsRTC::ProvisioningDocument(u" 1000 ", password, u" sip.example:5070 "));
    EXPECT_EQ(profile.account, u"1000");
    EXPECT_EQ(profile.password, password);
    EXPECT_EQ(profile.uri, u"1000@sip.example:5070");
    ASSERT_EQ(profile.servers.size(), 2u);
    ASSERT_NE(profile.server(u"proxy"), nullptr);
    ASSERT_NE(profile.server(u"registrar"), nullptr);
    EXPECT_EQ(profile.server(u"registrar")->addr, u"sip.example:5070");
    EXPECT_EQ(profile.server(u"proxy")->protocol, u"UDP");
    EXPECT_EQ(profile.server(u"proxy")->auth, u"digest");
}

TEST(ProvisioningReader, AnInjectedServerStaysPartOfThePassword) {
    const std::u16string password = u"x\"/><sipsrv addr=\"evil.example\" role=\"registrar\"/><user account=\"y";
    const auto profile = readProvisioning(clsRTC::ProvisioningDocument(u"1000", password, u"10.0.0.5"));
    EXPECT_EQ(profile.password, password);
    EXPECT_EQ(profile.server(u"registrar")->addr, u"10.0.0.5");
    EXPECT_EQ(profile.servers.size(), 2u);
}

TEST(ProvisioningReader, RefusesDocumentsThatAreBrokenOrIncomplete) {
    const std::u16string broken[] = {
        u"",
        u"<provision><user account=\"1\" password=\"a\"b\" uri=\"1@h\"/><sipsrv addr=\"h\"/></provision>",
        u"<other><user account=\"1\" password=\"\" uri=\"1@h\"/><sipsrv addr=\"h\"/></other>",
        u"<provision><sipsrv addr=\"h\" role=\"registrar\"/></provision>",
        u"<provision><user account=\"1\" password=\"\" uri=\"1@h\"/></provision>",
        u"<provision><user account=\"1\" password=\"\" uri=\"1@h\"/><sipsrv addr=\"h\"/>",
    };
    for (const auto& document : broken)
        EXPECT_THROW(readProvisioning(document), rtc::RTCError) << std::string(document.begin(), document.end());
}

TEST(ToneFile, IsATenSecondPcmWave) {
    const auto path = std::filesystem::temp_directory_path() / "pelex-tone-test.wav";
    writeToneFile(path);
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::filesystem::remove(path);
    ASSERT_EQ(bytes.size(), 44u + 8000u * 10u * 2u);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(bytes.substr(36, 4), "data");
    // Not silence: the peer must hear something.
    EXPECT_NE(bytes.substr(44 + 200, 64), std::string(64, '\0'));
}

TEST(ToneFile, UnwritablePlaceIsAnError) {
    EXPECT_THROW(writeToneFile("/nonexistent-folder/tone.wav"), rtc::RTCError);
}

}  // namespace
}  // namespace pelex::sip_engine::linphone_rtc
