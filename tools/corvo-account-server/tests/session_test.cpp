// The reference server's conversation logic, without the network.

#include <gtest/gtest.h>

#include "accounts.h"
#include "crypto/credential_text.h"
#include "session.h"

namespace pelex::corvo_server {
namespace {

const std::string kKey = "12/8/2026 4:45:00 PM";

std::string login(const std::string& user, const std::string& password, const std::string& key = kKey) {
    return "LOG%20" + crypto::EncryptText(user, key) + "%20" + crypto::EncryptText(password, key) + "%20%20" + key +
           "{$}";
}

std::string sipRequest(const std::string& user, const std::string& key = kKey) {
    return "SIP%20" + crypto::EncryptText(user, key) + "%20" + key + "{$}";
}

class SessionTest : public ::testing::Test {
protected:
    Accounts accounts = parseAccounts(R"({"1000": {"password": "secret", "sip_password": "s1p-pass"},
                                          "2000": {"password": "old", "sip_password": "x", "expired": true},
                                          "caf\u00e9": {"password": "\u20ac"}})");
    ServerSettings settings;
    Session session{accounts, settings};
};

TEST_F(SessionTest, AcceptedSignInThenLoginCodeUnderTheClientsKey) {
    Session::Output out = session.receive(login("1000", "secret"));
    EXPECT_EQ(out.reply, "ACC%200%201000%20" + crypto::EncryptText("s1p-pass", kKey) + "%20127.0.0.1{$}");
    ASSERT_EQ(out.log.size(), 1u);
    EXPECT_NE(out.log[0].find("user=1000 -> ACC 0"), std::string::npos) << out.log[0];
    out = session.receive(sipRequest("1000"));
    EXPECT_EQ(out.reply, "SIPCODE%20" + crypto::EncryptText("s1p-pass", kKey) + ",127.0.0.1,5060{$}");
}

TEST_F(SessionTest, RefusalsForWrongPasswordUnknownUserAndExpiredAccount) {
    EXPECT_EQ(session.receive(login("1000", "wrong")).reply, "ACC%20-1{$}");
    EXPECT_EQ(session.receive(login("9999", "secret")).reply, "ACC%20-1{$}");
    EXPECT_EQ(session.receive(login("2000", "old")).reply, "ACC%20-2{$}");
    EXPECT_EQ(session.receive(login("", "")).reply, "ACC%20-1{$}");
}

TEST_F(SessionTest, NoLoginCodeWithoutAnAcceptedSignInAsThatUser) {
    EXPECT_EQ(session.receive(sipRequest("1000")).reply, "SIPCODE%20{$}");
    session.receive(login("1000", "secret"));
    EXPECT_EQ(session.receive(sipRequest("2000")).reply, "SIPCODE%20{$}");
    session.receive(login("1000", "wrong"));
    EXPECT_EQ(session.receive(sipRequest("1000")).reply, "SIPCODE%20{$}") << "a later refusal signs out";
}

TEST_F(SessionTest, Windows1252CredentialsMatchTheAccountsFile) {
    EXPECT_EQ(session.receive(login("caf\xE9", "\x80")).reply.substr(0, 11), "ACC%200%20c");
}

TEST_F(SessionTest, SixCharacterBoundaryPasswordsAreNotConfusedByFiller) {
    // "secret" fills one block exactly; "secret " would decipher the same
    // after trimming filler, which is the protocol's own limit.
    EXPECT_EQ(session.receive(login("1000", "secre")).reply, "ACC%20-1{$}");
    EXPECT_EQ(session.receive(login("1000", "secretsecret")).reply, "ACC%20-1{$}");
}

TEST_F(SessionTest, ChallengeAnswersTheFirstSignInWithAut) {
    settings.challengeFirstLogin = true;
    EXPECT_EQ(session.receive(login("1000", "secret")).reply, "AUT%20{$}");
    EXPECT_EQ(session.receive(login("1000", "secret")).reply.substr(0, 10), "ACC%200%20");
}

TEST_F(SessionTest, ExtraMessagesGoOutBeforeEveryAccessReply) {
    settings.beforeAccessReply = "STA%20hi{$}";
    EXPECT_EQ(session.receive(login("1000", "wrong")).reply, "STA%20hi{$}ACC%20-1{$}");
}

TEST_F(SessionTest, PiecesAndBatchesAreFramedLikeTheClientDoes) {
    const std::string both = "APP%20CORVO {$}" + login("1000", "secret");
    std::string replies;
    for (char c : both) replies += session.receive(std::string(1, c)).reply;
    EXPECT_EQ(replies.substr(0, 19), "AUT%20{$}ACC%200%20");
}

TEST_F(SessionTest, MalformedInputIsAnsweredOrIgnoredNeverFatal) {
    EXPECT_EQ(session.receive("LOG%20x{$}").reply, "ACC%20-1{$}");
    EXPECT_EQ(session.receive("SIP{$}").reply, "SIPCODE%20{$}");
    EXPECT_EQ(session.receive("LOG%20zz%20\xff\xfe%20%20{$}").reply, "ACC%20-1{$}");
    const Session::Output out = session.receive("{$}XYZ{$}%20%20{$}");
    EXPECT_EQ(out.reply, "");
    EXPECT_EQ(out.log.size(), 3u);
    EXPECT_FALSE(out.drop);
}

TEST_F(SessionTest, AClientThatNeverEndsAMessageIsDropped) {
    settings.maxPending = 1000;
    EXPECT_FALSE(session.receive(std::string(1000, 'a')).drop);
    EXPECT_TRUE(session.receive("b").drop);
}

TEST_F(SessionTest, AMessageOverTheLimitIsDroppedEvenWhenItsDelimiterCameInTheSameRead) {
    settings.maxPending = 1000;
    const Session::Output out = session.receive(std::string(1500, 'z') + "SIP%201000{$}");
    EXPECT_TRUE(out.drop);
    EXPECT_TRUE(out.reply.empty());
}

TEST_F(SessionTest, RepliesToOneReadOverTheUnsentBoundDropTheClient) {
    // Small requests with large answers: one read may not make more reply
    // than a client may leave unread.
    settings.maxUnsent = 1000;
    settings.beforeAccessReply = frame("ADV", {std::string(100, 'x')});
    std::string eight;  // 8 replies of 109 + 11 bytes: 960
    for (int i = 0; i < 8; ++i) eight += "LOG{$}";
    const Session::Output fits = session.receive(eight);
    EXPECT_FALSE(fits.drop);
    EXPECT_EQ(fits.reply.size(), 960u);
    const Session::Output over = session.receive(eight + "LOG{$}");
    EXPECT_TRUE(over.drop);
    EXPECT_TRUE(over.reply.empty());
    ASSERT_FALSE(over.log.empty());
    EXPECT_NE(over.log.back().find("not read"), std::string::npos) << over.log.back();
}

TEST(AccountsTest, BadFilesAreRefusedWithTheReason) {
    EXPECT_THROW(parseAccounts("not json"), AccountsError);
    EXPECT_THROW(parseAccounts("[]"), AccountsError);
    EXPECT_THROW(parseAccounts(R"({"1": {"sip_password": "x"}})"), AccountsError);
    EXPECT_THROW(parseAccounts(R"({"1": {"password": 5}})"), AccountsError);
    EXPECT_THROW(parseAccounts(R"({"1": {"password": "p", "expired": "yes"}})"), AccountsError);
    try {
        parseAccounts(R"({"1": {"password": "\u0436"}})");
        FAIL() << "a password Windows-1252 cannot hold was accepted";
    } catch (const AccountsError& e) {
        EXPECT_NE(std::string(e.what()).find("account \"1\""), std::string::npos) << e.what();
    }
    EXPECT_THROW(loadAccounts("/nonexistent/accounts.json"), AccountsError);
    const Accounts ok = parseAccounts(R"({"1": {"password": "p"}})");
    EXPECT_EQ(ok.at("1").sipPassword, "");
    EXPECT_FALSE(ok.at("1").expired);
}

}  // namespace
}  // namespace pelex::corvo_server
