// The exact bytes of every request, and what happens when they cannot go out.

#include "protocol_fixture.h"

#include <functional>

#include "codepage/codepage.h"
#include "crypto/credential_text.h"

namespace pelex::account_protocol {
namespace {

TEST_F(ProtocolTest, InitialStateHoldsTheCodesAndDefaults) {
    CorvoProtocol fresh(events, box, starter);
    EXPECT_EQ(fresh.AccessRight(), -1);
    EXPECT_EQ(fresh.LRStatus, 0);
    EXPECT_EQ(fresh.Deliminator, u"%20");
    EXPECT_EQ(fresh.strEndDeliminator(), u"{$}");
    EXPECT_TRUE(fresh.DecodeKey.isEmpty());
    EXPECT_TRUE(fresh.UserName().isEmpty());
    EXPECT_TRUE(fresh.Password().isEmpty());
    EXPECT_TRUE(fresh.AddressBookString().isEmpty());
    EXPECT_EQ(fresh.TCPsock(), nullptr);
    EXPECT_EQ(fresh.CVP_command_bits_SIPCode, u"SIPCODE");
    EXPECT_EQ(fresh.CVP_command_bits_RIP, u"RIP");
    EXPECT_EQ(fresh.CVP_command_bits_USF, u"USF");
}

TEST_F(ProtocolTest, BuildMessageAppendsTheDelimiterUnlessGivenAnEnd) {
    EXPECT_EQ(cvp.BuildMessage(u"AUT"_s, {}), u"AUT%20{$}");
    EXPECT_EQ(cvp.BuildMessage(u"STA"_s, u"a%20b"_s), u"STA%20a%20b{$}");
    EXPECT_EQ(cvp.BuildMessage(u"STA"_s, u"a"_s, u"<end>"_s), u"STA%20a<end>");
}

struct RequestCase {
    const char* name;
    std::function<void(CorvoProtocol&)> send;
    const char* bytes;
};

TEST_F(ProtocolTest, EveryRequestWritesItsExactBytes) {
    cvp.setListeningPort(u"6000"_s);
    const RequestCase cases[] = {
        {"BCT", [](CorvoProtocol& c) { c.SendConnectedUser(u"2000"_s); }, "BCT%201000%202000{$}"},
        {"ECT", [](CorvoProtocol& c) { c.SendDisconnectUser(u"2000"_s); }, "ECT%201000%202000{$}"},
        {"APP", [](CorvoProtocol& c) { c.SendVersion(); }, "APP%20CORVO {$}"},
        {"UIP", [](CorvoProtocol& c) { c.SendLocalIPandPort(); }, "UIP%201000%20127.0.0.1%2040000%206000{$}"},
        {"AUT", [](CorvoProtocol& c) { c.SendAuthetication(); }, "AUT%20{$}"},
        {"ACC", [](CorvoProtocol& c) { c.SendAccessRight(); }, "ACC%20-1{$}"},
        {"CPG", [](CorvoProtocol& c) { c.SendConnectPermissionGranted(u"2000"_s); }, "CPG%201000%202000{$}"},
        {"RIP", [](CorvoProtocol& c) { c.SendRequestRouterIP(u"2000"_s); }, "RIP%201000%202000{$}"},
        {"CPR", [](CorvoProtocol& c) { c.SendConnectPermissionRejected(u"2000"_s); }, "CPR%202000%20 {$}"},
        {"USU on", [](CorvoProtocol& c) { c.SendUserStatusOnline(); }, "USU%201000%201{$}"},
        {"USU off", [](CorvoProtocol& c) { c.SendUserStatusOffline(); }, "USU%201000%20 0{$}"},
        {"USR", [](CorvoProtocol& c) { c.SendUserAddressBookRequest(); }, "USR%201000%20pw{$}"},
        {"USF", [](CorvoProtocol& c) { c.SendUserAddressBookFeedback(); }, "USF%20{$}"},
        {"CNR", [](CorvoProtocol& c) { c.SendConnectionRequest(u"2000"_s); }, "CNR%201000%202000{$}"},
        {"RAU", [](CorvoProtocol& c) { c.SendRequestToAddUser(u"77"_s); }, "RAU%2077{$}"},
        {"CCR", [](CorvoProtocol& c) { c.sendConnectionRequestCancel(u"2000"_s); }, "CCR%202000{$}"},
        {"RRU", [](CorvoProtocol& c) { c.SendRequestToRemoveUser(u"77"_s); }, "RRU%201000%2077{$}"},
        {"ADV", [](CorvoProtocol& c) { c.SendAdvertisementPageAddress(u"http://a/"_s); }, "ADV%20http://a/{$}"},
        {"REG", [](CorvoProtocol& c) { c.SendRegistrationPageAddress(u"http://r/"_s); }, "REG%20http://r/{$}"},
        {"AFR", [](CorvoProtocol& c) { c.SendAddFriendPageAddress(u"http://f/"_s); }, "AFR%20http://f/{$}"},
        {"FAQ", [](CorvoProtocol& c) { c.SendFAQPageAddress(u"http://q/"_s); }, "FAQ%20http://q/{$}"},
        {"DMZ", [](CorvoProtocol& c) { c.SendDMZStatus(true); }, "DMZ%201000%20True{$}"},
        {"SVR", [](CorvoProtocol& c) { c.SendServerRedirectCommand(u"10.0.0.1"_s, 5061); }, "SVR%2010.0.0.1%205061{$}"},
        {"NSV", [](CorvoProtocol& c) { c.SendMainServerAddressChange(u"h"_s, -2); }, "NSV%20h%20-2{$}"},
        {"USB", [](CorvoProtocol& c) { c.SendUserAddressBook(); }, "USB%20{$}"},
        {"LRS", [](CorvoProtocol& c) { c.SendUserLanRealStatus(); }, "LRS%200{$}"},
        {"UPD", [](CorvoProtocol& c) { c.SendLastestExe(); }, "UPD%20{$}"},
        {"CRR", [](CorvoProtocol& c) { c.SendRinging(u"2000"_s); }, "CRR%202000{$}"},
        {"STA", [](CorvoProtocol& c) { c.SendMyStatus(u"2000"_s, u"away now"_s); }, "STA%202000%20away now{$}"},
        {"SIPCODE", [](CorvoProtocol& c) { c.SendSipPhoneLoginCode(u"x,y,z"_s); }, "SIPCODE%20x,y,z{$}"},
        {"start", [](CorvoProtocol& c) { c.start(); }, "APP%20CORVO {$}UIP%201000%20127.0.0.1%2040000%206000{$}"},
    };
    for (const RequestCase& c : cases) {
        c.send(cvp);
        EXPECT_EQ(sent(), c.bytes) << c.name;
    }
    cvp.setAccessRight(0);
    cvp.SendAccessRight();
    EXPECT_EQ(sent(), "ACC%200{$}");
    EXPECT_TRUE(box.shown.empty());
}

TEST_F(ProtocolTest, SignInRequestCarriesBothCredentialsEncipheredAndTheKeyInClear) {
    cvp.setUserName(u"1234567"_s);  // seven characters: two blocks
    cvp.SendUserNamePassword();
    const std::string key = "12/8/2026 4:45:00 PM";
    const std::string expected = "LOG%20" + crypto::EncryptText("1234567", key) + "%20" + crypto::EncryptText("pw", key) +
                                 "%20%20" + key + "{$}";
    const std::string bytes = sent();
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(crypto::EncryptText("1234567", key).size(), 32u);
    EXPECT_EQ(crypto::DecryptText(crypto::EncryptText("1234567", key), key), "1234567     ");
}

TEST_F(ProtocolTest, SignInRequestWithEmptyUserNameStillHasFiveFields) {
    cvp.setUserName(QString());
    cvp.SendUserNamePassword();
    const std::string bytes = sent();
    EXPECT_EQ(bytes.rfind("LOG%20%20", 0), 0u) << bytes;
    EXPECT_EQ(QString::fromStdString(bytes).chopped(3).split(u"%20"_s).size(), 5);
}

TEST_F(ProtocolTest, SipRequestCarriesTheEncipheredTextAndTheKey) {
    cvp.RequestSipPhoneLoginCode(u"1000"_s);
    const std::string key = "12/8/2026 4:45:00 PM";
    EXPECT_EQ(sent(), "SIP%20" + crypto::EncryptText("1000", key) + "%20" + key + "{$}");
}

TEST_F(ProtocolTest, NothingIsSentWhileNotConnectedAndOnlyTheSignInRequestSaysSo) {
    socket.Close();
    cvp.SendRinging(u"2000"_s);
    cvp.SendVersion();
    cvp.SendLocalIPandPort();
    cvp.sendConnectionRequestCancel(u"2000"_s);
    cvp.RequestSipPhoneLoginCode(u"1000"_s);
    EXPECT_TRUE(box.shown.empty());
    cvp.SendUserNamePassword();
    EXPECT_EQ(sent(), "");
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, u"You are not connected to VozeDezor server.");
    EXPECT_EQ(box.shown[0].title, u"VozeDezor");
    EXPECT_EQ(box.shown[0].icon, platform::MessageIcon::Information);
}

TEST_F(ProtocolTest, SendFailuresGoToTheCallerExceptWhereTheRequestTrapsThem) {
    socket.failSends = true;
    EXPECT_THROW(cvp.SendRinging(u"2000"_s), SocketFailure);
    EXPECT_NO_THROW(cvp.SendUserNamePassword());
    EXPECT_NO_THROW(cvp.sendConnectionRequestCancel(u"2000"_s));
    cvp.setTCPsock(nullptr);
    EXPECT_THROW(cvp.SendVersion(), SocketFailure);
    EXPECT_NO_THROW(cvp.SendUserNamePassword());  // says "not connected"
    EXPECT_EQ(box.shown.size(), 1u);
}

TEST_F(ProtocolTest, CredentialWithoutAWindows1252ByteIsNeverSentMangled) {
    cvp.setPassword(u"pass\u0436word"_s);  // Cyrillic zhe has no byte
    cvp.SendUserNamePassword();
    EXPECT_EQ(sent(), "");
    EXPECT_EQ(socket.State(), 0) << "the connection is closed";
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_TRUE(QString::fromStdU16String(box.shown[0].text).contains(u"cannot be sent"_s));
    EXPECT_EQ(box.shown[0].title, u"Login Fail");
    EXPECT_EQ(events.raised, ev({"InvalidLogin()"})) << "the owner gets its sign-in back";
}

TEST_F(ProtocolTest, Windows1252CharactersBeyondAsciiAreSentAsSingleBytes) {
    cvp.setPassword(u"\u20ACuro\u00E9"_s);  // euro sign 0x80, e acute 0xE9
    cvp.SendUserNamePassword();
    const std::string key = "12/8/2026 4:45:00 PM";
    EXPECT_NE(sent().find(crypto::EncryptText("\x80uro\xE9", key)), std::string::npos);
    cvp.SendMyStatus(u"\u00E9"_s, u"x"_s);
    EXPECT_EQ(sent(), "STA%20\xE9%20x{$}");
    EXPECT_THROW(cvp.SendMyStatus(u"\u0436"_s, u"x"_s), pelex::codepage::UnrepresentableText);
    EXPECT_EQ(sent(), "");
}

}  // namespace
}  // namespace pelex::account_protocol
