// The receive loop over the in-memory socket: framing across arrivals,
// failure semantics, nested arrivals, the buffer bound, and the connect
// hand-over.

#include "protocol_fixture.h"

#include "account_protocol/receive_loop.h"
#include "crypto/credential_text.h"

namespace pelex::account_protocol {
namespace {

class ReceiveLoopTest : public ProtocolTest, public SocketEvents {
protected:
    void SetUp() override {
        ProtocolTest::SetUp();
        socket.setEvents(this);
    }
    void DataArrival(std::size_t) override { outcomes.push_back(loop.onDataArrival(socket, cvp)); }

    ReceiveLoop loop;
    std::vector<ArrivalOutcome> outcomes;
};

TEST_F(ReceiveLoopTest, SeveralMessagesInOneReadAreHandledInOrder) {
    socket.deliver("STA%20one{$}STA%20two{$}UNL%20{$}");
    EXPECT_EQ(events.raised, ev({"ShowStatus(one)", "ShowStatus(two)", "UnloadMe()"}));
    EXPECT_EQ(outcomes, std::vector{ArrivalOutcome::Handled});
    EXPECT_TRUE(socket.peekBytes().empty());
}

TEST_F(ReceiveLoopTest, MessageSplitByteByByteIsHandledOnceWhenItsDelimiterArrives) {
    const std::string stream = "STA%20slow{$}IPH%201.2.3.4{$}";
    for (char c : stream) socket.deliver(std::string(1, c));
    EXPECT_EQ(events.raised, ev({"ShowStatus(slow)", "RouterIPHer(1.2.3.4)"}));
}

TEST_F(ReceiveLoopTest, DelimiterSplitAcrossReadsIsFound) {
    socket.deliver("STA%20a{$");
    EXPECT_TRUE(events.raised.empty());
    socket.deliver("}STA%20b{");
    EXPECT_EQ(events.raised, ev({"ShowStatus(a)"}));
    socket.deliver("$}");
    EXPECT_EQ(events.raised, ev({"ShowStatus(a)", "ShowStatus(b)"}));
}

TEST_F(ReceiveLoopTest, DataAfterTheLastDelimiterBecomesTheFrontOfTheNextMessage) {
    socket.deliver("STA%20a{$}STA%20b");
    EXPECT_EQ(socket.peekBytes(), "STA%20b");
    socket.deliver("c{$}");
    EXPECT_EQ(events.raised, ev({"ShowStatus(a)", "ShowStatus(bc)"}));
}

TEST_F(ReceiveLoopTest, DelimiterOnlyMessageIsTheEmptyTextAndDoesNothing) {
    socket.deliver("{$}{$}STA%20x{$}");
    EXPECT_EQ(events.raised, ev({"ShowStatus(x)"}));
}

TEST_F(ReceiveLoopTest, AFailureStopsTheBatchAndTheRestWaitsForTheNextArrival) {
    socket.deliver("STA%20a{$}ACC%20bad{$}STA%20b{$}STA%20c");
    EXPECT_EQ(events.raised, ev({"ShowStatus(a)"}));
    EXPECT_EQ(outcomes.back(), ArrivalOutcome::StoppedAtFailure);
    EXPECT_EQ(socket.peekBytes(), "STA%20b{$}STA%20c") << "the failed message is gone, the rest stays";
    socket.deliver("{$}");
    EXPECT_EQ(events.raised, ev({"ShowStatus(a)", "ShowStatus(b)", "ShowStatus(c)"}));
    EXPECT_EQ(outcomes.back(), ArrivalOutcome::Handled);
}

TEST_F(ReceiveLoopTest, ANestedArrivalNeverHandlesAMessageTwice) {
    // The first handler runs "the event loop": more data arrives and the
    // socket's handler runs again inside it.
    bool nested = false;
    events.onEvent = [&](const std::string& name) {
        if (name == "ShowStatus" && !nested) {
            nested = true;
            socket.deliver("STA%20three{$}");
        }
    };
    socket.deliver("STA%20one{$}STA%20two{$}");
    EXPECT_EQ(events.raised, ev({"ShowStatus(one)", "ShowStatus(two)", "ShowStatus(three)"}));
    EXPECT_EQ(outcomes.size(), 2u);
}

TEST_F(ReceiveLoopTest, ClosingFromInsideAHandlerEndsTheBatch) {
    events.onEvent = [&](const std::string& name) {
        if (name == "LoginCode") socket.Close();
    };
    socket.deliver("SIPCODE%20a,b,c{$}STA%20late{$}");
    EXPECT_EQ(events.raised, ev({"LoginCode(a,b,c)"}));
    EXPECT_EQ(outcomes.back(), ArrivalOutcome::Handled);
}

TEST_F(ReceiveLoopTest, RefusedSignInClosesSoNothingBehindItIsHandled) {
    socket.deliver("ACC%20-1{$}STA%20after{$}");
    EXPECT_EQ(events.raised, ev({"InvalidLogin()"}));
}

TEST_F(ReceiveLoopTest, TooMuchDataWithoutADelimiterClosesAndReportsOverflow) {
    ReceiveLoop small(100);
    socket.setEvents(nullptr);
    socket.deliverSilently("STA%20ok{$}");
    socket.deliverSilently(std::string(100, 'x'));
    EXPECT_EQ(small.onDataArrival(socket, cvp), ArrivalOutcome::Handled) << "100 bytes are allowed";
    socket.deliverSilently("y");
    EXPECT_EQ(small.onDataArrival(socket, cvp), ArrivalOutcome::Overflow);
    EXPECT_EQ(socket.State(), 0);
    EXPECT_TRUE(socket.peekBytes().empty());
    EXPECT_EQ(events.raised, ev({"ShowStatus(ok)"}));
}

TEST_F(ReceiveLoopTest, AnOverlongMessageWithItsDelimiterIsRefusedToo) {
    ReceiveLoop small(100);
    socket.setEvents(nullptr);
    socket.deliverSilently("STA%20" + std::string(200, 'x') + "{$}");
    EXPECT_EQ(small.onDataArrival(socket, cvp), ArrivalOutcome::Overflow);
    EXPECT_TRUE(events.raised.empty());
}

TEST_F(ReceiveLoopTest, AnotherReaderTakingDataInvalidatesWhatTheLoopRemembered) {
    socket.deliver("XXXXXXSTA%20ab");  // searched up to near its end
    socket.takeBytes(6);               // someone else takes from the front
    socket.deliver("{$}");             // the delimiter now sits before that point
    EXPECT_EQ(events.raised, ev({"ShowStatus(ab)"}));
    EXPECT_TRUE(socket.peekBytes().empty());
}

TEST_F(ReceiveLoopTest, BytesBecomeWindows1252Characters) {
    socket.deliver("STA%20caf\xE9 \x80{$}");
    EXPECT_EQ(events.raised, ev({"ShowStatus(caf\xC3\xA9 \xE2\x82\xAC)"}));
}

TEST_F(ReceiveLoopTest, TextApiPeeksAndTakesCharacters) {
    socket.deliverSilently("ab\xE9{$}rest");
    EXPECT_EQ(socket.PeekData(), u"ab\u00E9{$}rest");
    EXPECT_EQ(socket.GetData(6), u"ab\u00E9{$}");
    EXPECT_EQ(socket.PeekData(), u"rest");
    EXPECT_EQ(socket.GetData(100), u"rest");
}

class HandOverTest : public ProtocolTest {};

TEST_F(HandOverTest, ConnectedSocketGetsTheCredentialsAndTheSignInRequest) {
    testing::MemorySocket fresh;
    CorvoProtocol other(events, box, starter);
    fresh.setConnected();
    handOverConnection(fresh, other, u" 1000 "_s, u"pw"_s, u"key-1"_s);
    EXPECT_EQ(other.TCPsock(), &fresh);
    EXPECT_EQ(other.UserName(), u" 1000 ") << "as typed, not trimmed";
    EXPECT_EQ(other.DecodeKey, u"key-1");
    EXPECT_EQ(fresh.takeSent(), "LOG%20" + crypto::EncryptText(" 1000 ", "key-1") + "%20" +
                                    crypto::EncryptText("pw", "key-1") + "%20%20key-1{$}");
}

TEST_F(HandOverTest, NothingHappensUnlessConnected) {
    testing::MemorySocket fresh;
    CorvoProtocol other(events, box, starter);
    fresh.Connect(u"h"_s, 5061);  // still connecting
    handOverConnection(fresh, other, u"1000"_s, u"pw"_s, u"k"_s);
    EXPECT_EQ(other.TCPsock(), nullptr);
    EXPECT_TRUE(box.shown.empty());
}

}  // namespace
}  // namespace pelex::account_protocol
