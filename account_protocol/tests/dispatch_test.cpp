// ProcessStringData: each branch, the sign-in result, the contact list, the
// updater and where a failure ends a message or is ignored.

#include "protocol_fixture.h"

#include "account_protocol/testing/memory_contact_list.h"
#include "crypto/credential_text.h"

namespace pelex::account_protocol {
namespace {

class DispatchTest : public ProtocolTest {
protected:
    void handle(const QString& message) { cvp.ProcessStringData(message); }
};

TEST_F(DispatchTest, EventBranchesPassTheirFields) {
    handle(u"IPH%2010.1.1.1"_s);
    handle(u"BUZ%20alice"_s);
    handle(u"UNL"_s);  // no separator at all
    handle(u"SVR%20h%20 5061 "_s);
    handle(u"CPR%20bob%20 "_s);
    handle(u"ADV%20http://a"_s);
    handle(u"REG%20http://r"_s);
    handle(u"AFR%20http://f"_s);
    handle(u"FAQ%20http://q"_s);
    handle(u"NSV%20host%20x"_s);
    handle(u"CNS%201.2.3.4%209"_s);
    handle(u"STA%20gone fishing"_s);
    handle(u"CRR%20"_s);
    handle(u"CNC%20a%20b"_s);
    handle(u"SIPCODE%20AB,host, 5060"_s);
    EXPECT_EQ(events.raised,
              ev({"RouterIPHer(10.1.1.1)", "BuzzAndRequestPermission(alice)", "UnloadMe()", "RedirectServer(h|5061)",
                  "ConnectionRejected(bob| )", "AdvertisementPage(http://a)", "RegistrationPage(http://r)",
                  "AddFriendPage(http://f)", "FAQPage(http://q)", "MainServerAddressChange(host|x)",
                  "LanToLanClientConnect(1.2.3.4|9)", "ShowStatus(gone fishing)", "UserRing()",
                  "ConnectUser(CNC%20a%20b)", "LoginCode(AB,host, 5060)"}));
    EXPECT_EQ(sent(), "");
}

TEST_F(DispatchTest, MessagesThatHaveNoEffect) {
    for (const QString& m : {u""_s, u"acc%20-1"_s, u"SIP%20x%20y"_s, u"LOG%20a%20b%20%20k"_s, u"RAF%20x"_s,
                             u"RAS%20"_s, u"RRF%20x"_s, u"RRS%20"_s, u"RAU%2077"_s, u"RRU%20a%2077"_s,
                             u"CPG%20a%20b"_s, u"MSG%20Rejected by user"_s, u"XYZ%20"_s}) {
        EXPECT_NO_THROW(handle(m)) << m.toStdString();
    }
    EXPECT_TRUE(events.raised.empty());
    EXPECT_EQ(sent(), "");
    EXPECT_TRUE(box.shown.empty());
    EXPECT_EQ(cvp.AccessRight(), -1);
}

TEST_F(DispatchTest, MsgRaisesRejectionOnlyForTheLowerCaseWord) {
    handle(u"MSG%20call rejected by 2000"_s);
    EXPECT_EQ(events.raised, ev({"ConnectionRejected(call rejected by 2000| )"}));
}

TEST_F(DispatchTest, CcrCarriesItsUserOnlyWithExactlyOneValue) {
    handle(u"CCR%202000"_s);
    handle(u"CCR%202000%20extra"_s);
    handle(u"CCR"_s);
    EXPECT_EQ(events.raised,
              ev({"ConnectionRequestCancel(2000)", "ConnectionRequestCancel()", "ConnectionRequestCancel()"}));
}

TEST_F(DispatchTest, AppIsAnsweredWithAutAndAutWithANewSignIn) {
    handle(u"APP%20CORVO "_s);
    EXPECT_EQ(sent(), "AUT%20{$}");
    handle(u"AUT%20"_s);
    EXPECT_EQ(sent().rfind("LOG%20", 0), 0u);
}

TEST_F(DispatchTest, AcceptedSignInStoresCorvo2FieldsRaisesLoginSipAndAsksForTheCode) {
    handle(u"ACC%200%20u2%20p2%20s2"_s);
    EXPECT_EQ(cvp.AccessRight(), 0);
    EXPECT_EQ(cvp.Corvo2UserName, u"u2");
    EXPECT_EQ(cvp.Corvo2Password, u"p2");
    EXPECT_EQ(cvp.Corvo2ServerIP, u"s2");
    EXPECT_EQ(events.raised, ev({"LoginSIP()"}));
    const std::string key = "12/8/2026 4:45:00 PM";
    EXPECT_EQ(sent(), "SIP%20" + crypto::EncryptText("1000", key) + "%20" + key + "{$}");
}

TEST_F(DispatchTest, AcceptedSignInWithoutExtraFieldsKeepsTheCorvo2Fields) {
    cvp.Corvo2UserName = u"old"_s;
    handle(u"ACC%200%20new"_s);
    EXPECT_EQ(cvp.Corvo2UserName, u"new");
    handle(u"ACC%200"_s);
    EXPECT_EQ(cvp.Corvo2UserName, u"new");
    EXPECT_EQ(events.raised, ev({"LoginSIP()", "LoginSIP()"}));
}

TEST_F(DispatchTest, WrongCredentialsCloseShowTheBoxThenRaiseInvalidLogin) {
    events.onEvent = [&](const std::string&) {
        EXPECT_EQ(box.shown.size(), 1u) << "box first";
        EXPECT_EQ(socket.State(), 0) << "socket closed first";
    };
    handle(u"ACC%20-1"_s);
    EXPECT_EQ(cvp.AccessRight(), -1);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, u"Invalid user name and password, please try again !!!");
    EXPECT_EQ(box.shown[0].title, u"Login Fail");
    EXPECT_EQ(box.shown[0].icon, platform::MessageIcon::None);
    EXPECT_EQ(events.raised, ev({"InvalidLogin()"}));
    EXPECT_EQ(sent(), "");
}

TEST_F(DispatchTest, ExpiredAccountClosesExplainsAndGivesTheSignInBack) {
    cvp.setServiceWebHost(u"www.example.net"_s);
    handle(u"ACC%20-2"_s);
    EXPECT_EQ(cvp.AccessRight(), -2);
    EXPECT_EQ(socket.State(), 0);
    ASSERT_EQ(box.shown.size(), 1u);
    const QString text = QString::fromStdU16String(box.shown[0].text);
    EXPECT_TRUE(text.contains(u"expired"_s));
    EXPECT_TRUE(text.endsWith(u"www.example.net"_s));
    EXPECT_EQ(box.shown[0].title, u"Login Fail");
    EXPECT_EQ(events.raised, ev({"InvalidLogin()"}));
}

TEST_F(DispatchTest, OtherResultsOnlyStoreTheNumber) {
    handle(u"ACC%207"_s);
    EXPECT_EQ(cvp.AccessRight(), 7);
    EXPECT_TRUE(events.raised.empty());
    EXPECT_TRUE(box.shown.empty());
    EXPECT_EQ(socket.State(), 7);
}

TEST_F(DispatchTest, MissingFieldsAndBadNumbersAreFailuresThatChangeNothingAfterThem) {
    cvp.setAccessRight(5);
    EXPECT_THROW(handle(u"ACC"_s), ProtocolFailure);
    EXPECT_THROW(handle(u"ACC%20abc"_s), ProtocolFailure);
    EXPECT_THROW(handle(u"ACC%2040000"_s), ProtocolFailure);
    EXPECT_EQ(cvp.AccessRight(), 5);
    for (const QString& m : {u"SVR%20h"_s, u"SVR%20h%20x"_s, u"BUZ"_s, u"IPH"_s, u"STA"_s, u"CPR%20a"_s,
                             u"CNS%20a"_s, u"NSV%20a"_s, u"MSG"_s, u"LRS%20x"_s}) {
        EXPECT_THROW(handle(m), ProtocolFailure) << m.toStdString();
    }
    EXPECT_TRUE(events.raised.empty());
}

TEST_F(DispatchTest, LoginCodeWithoutItsFieldIsAnEmptyCodeNotAFailure) {
    // The server answered, with nothing the client can use: the control
    // hears an empty code (a failed login) at once instead of waiting.
    EXPECT_NO_THROW(handle(u"SIPCODE"_s));
    EXPECT_NO_THROW(handle(u"SIPCODE%20"_s));
    EXPECT_EQ(events.raised, ev({"LoginCode()", "LoginCode()"}));
}

TEST_F(DispatchTest, NumbersAllowBlanksAndASignWithinSixteenBits) {
    EXPECT_EQ(toInt16(u"  -32768 "_s), -32768);
    EXPECT_EQ(toInt16(u"+32767"_s), 32767);
    EXPECT_EQ(toInt16(u"007"_s), 7);
    // Leading zeros do not count against the range, however many there are.
    EXPECT_EQ(toInt16(u"0000007"_s), 7);
    EXPECT_EQ(toInt16(u" -000000000032768"_s), -32768);
    EXPECT_EQ(toInt16(u"0000000000"_s), 0);
    handle(u"LRS%200000007"_s);
    EXPECT_EQ(cvp.LRStatus, 7);
    for (const QString& bad : {u""_s, u" "_s, u"-"_s, u"32768"_s, u"1 2"_s, u"0x10"_s, u"1.5"_s, u"9999999"_s,
                               u"000000032768"_s, u"99999999999999999999999"_s}) {
        EXPECT_THROW(toInt16(bad), ProtocolFailure) << bad.toStdString();
    }
}

TEST_F(DispatchTest, LrsStoresTheNumberAndIgnoresFailuresOfItsEvent) {
    handle(u"LRS%203%20192.168.1.1"_s);
    EXPECT_EQ(cvp.LRStatus, 3);
    EXPECT_EQ(events.raised, ev({"NetworkTypeIdentification(3|192.168.1.1)"}));
    events.raised.clear();
    EXPECT_NO_THROW(handle(u"LRS%204"_s));  // field 2 missing: no event, no failure
    EXPECT_EQ(cvp.LRStatus, 4);
    EXPECT_TRUE(events.raised.empty());
    events.onEvent = [](const std::string&) { throw std::runtime_error("handler failed"); };
    EXPECT_NO_THROW(handle(u"LRS%205%20r"_s));
    EXPECT_EQ(cvp.LRStatus, 5);
}

TEST_F(DispatchTest, AFailingEventHandlerEndsTheMessage) {
    events.onEvent = [](const std::string&) { throw std::runtime_error("handler failed"); };
    EXPECT_THROW(handle(u"ACC%200"_s), std::runtime_error);
    EXPECT_EQ(sent(), "") << "the SIP request comes after LoginSIP and is not sent";
}

TEST_F(DispatchTest, UpdaterStartsFromTheControlFolderAndMissingFileShowsNothing) {
    handle(u"UPD%20"_s);
    ASSERT_EQ(starter.started.size(), 1u);
    EXPECT_EQ(starter.started[0].program, u"/opt/pelex/PatchRunner.exe");
    EXPECT_EQ(starter.started[0].style, platform::WindowStyle::MinimizedWithFocus);
    starter.result = false;  // the file is not there
    EXPECT_NO_THROW(handle(u"UPD%20"_s));
    EXPECT_TRUE(box.shown.empty());
    EXPECT_EQ(sent(), "");
}

class ContactListTest : public DispatchTest {
protected:
    void SetUp() override {
        DispatchTest::SetUp();
        cvp.setListViewControl(&list);
    }
    testing::MemoryContactList list;
};

TEST_F(ContactListTest, UsbAddsRowsWithStatusAndIcon) {
    handle(u"USB%20alice%201%20bob%200%20carol%202%20dave%209"_s);
    ASSERT_EQ(list.rows.size(), 4u);
    EXPECT_EQ(list.rows[u"key-alice"_s].caption, u"alice");
    EXPECT_EQ(list.rows[u"key-alice"_s].status, u"Online");
    EXPECT_EQ(list.rows[u"key-alice"_s].smallIcon, 2);
    EXPECT_EQ(list.rows[u"key-bob"_s].status, u"Offline");
    EXPECT_EQ(list.rows[u"key-bob"_s].smallIcon, 1);
    EXPECT_EQ(list.rows[u"key-carol"_s].status, u"Undefine");
    EXPECT_EQ(list.rows[u"key-dave"_s].status, u"Undefine") << "an unknown number keeps the previous text";
    EXPECT_EQ(list.rows[u"key-dave"_s].smallIcon, 10);
}

TEST_F(ContactListTest, UsfUpdatesOnlyExistingRows) {
    handle(u"USB%20alice%200"_s);
    handle(u"USF%20alice%201%20zed%201%20"_s);  // trailing separator: empty last field
    ASSERT_EQ(list.rows.size(), 1u);
    EXPECT_EQ(list.rows[u"key-alice"_s].status, u"Online");
    handle(u"USF%20alice%201%20alice%203"_s);
    EXPECT_EQ(list.rows[u"key-alice"_s].status, u"Online");
    EXPECT_EQ(list.rows[u"key-alice"_s].smallIcon, 4);
}

TEST_F(ContactListTest, UsbOnAnExistingKeyUpdatesTheRow) {
    handle(u"USB%20alice%200"_s);
    handle(u"USB%20alice%201"_s);
    ASSERT_EQ(list.rows.size(), 1u);
    EXPECT_EQ(list.rows[u"key-alice"_s].status, u"Online");
}

TEST_F(ContactListTest, BlankUserIdsAreSkippedAndKeysKeepTheirBlanks) {
    handle(u"USB%20  %20x%20 bo %201"_s);
    ASSERT_EQ(list.rows.size(), 1u);
    EXPECT_EQ(list.rows.begin()->first, u"key- bo ");
}

TEST_F(ContactListTest, AMissingOrBadStatusEndsTheMessageAfterEarlierPairs) {
    EXPECT_THROW(handle(u"USB%20alice%201%20bob"_s), ProtocolFailure);
    EXPECT_EQ(list.rows.size(), 1u);
    EXPECT_THROW(handle(u"USB%20carol%20x%20dave%201"_s), ProtocolFailure);
    EXPECT_EQ(list.rows.count(u"key-dave"_s), 0u);
}

TEST_F(DispatchTest, WithoutAContactListTheContactCodesStop) {
    EXPECT_NO_THROW(handle(u"USB%20alice%20x"_s));
    EXPECT_NO_THROW(handle(u"USF%20alice"_s));
}

}  // namespace
}  // namespace pelex::account_protocol
