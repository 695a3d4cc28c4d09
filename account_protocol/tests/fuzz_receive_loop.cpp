// libFuzzer: arbitrary server byte streams, cut into arbitrary pieces, go
// through the receive loop into ProcessStringData. Nothing may crash or
// leak, and after a pass that handled everything, what waits in the socket
// is never more than the loop's bound.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

#include "account_protocol/corvo_protocol.h"
#include "account_protocol/receive_loop.h"
#include "account_protocol/testing/memory_contact_list.h"
#include "account_protocol/testing/memory_socket.h"
#include "platform/testing/recording_message_box.h"
#include "platform/testing/recording_process_starter.h"

namespace {

using namespace pelex::account_protocol;

constexpr std::size_t kLimit = 512;

// Counts events; on some of them delivers more data from inside the
// handler, the way a handler that runs the event loop can.
class Events : public CorvoProtocolEvents, public SocketEvents {
public:
    Events(testing::MemorySocket& socket, CorvoProtocol*& cvp, ReceiveLoop& loop)
        : socket_(socket), cvp_(cvp), loop_(loop) {}
    void DataArrival(std::size_t) override {
        const ArrivalOutcome outcome = loop_.onDataArrival(socket_, *cvp_);
        if (outcome == ArrivalOutcome::Handled && socket_.peekBytes().size() > kLimit) std::abort();
        if (outcome == ArrivalOutcome::Overflow) socket_.setConnected();  // the user signs in again
    }
    void ShowStatus(const QString&) override {
        if (depth_ < 2 && !nested.empty()) {
            ++depth_;
            const std::string more = std::move(nested);
            nested.clear();
            socket_.deliver(more);
            --depth_;
        }
    }
    void InvalidLogin() override { socket_.setConnected(); }
    void LoginCode(const QString&) override { socket_.setConnected(); }

    std::string nested;

private:
    testing::MemorySocket& socket_;
    CorvoProtocol*& cvp_;
    ReceiveLoop& loop_;
    int depth_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    testing::MemorySocket socket;
    ReceiveLoop loop(kLimit);
    CorvoProtocol* cvpRef = nullptr;
    Events events(socket, cvpRef, loop);
    pelex::platform::testing::RecordingMessageBox box;
    pelex::platform::testing::RecordingProcessStarter starter;
    testing::MemoryContactList contacts;
    CorvoProtocol cvp(events, box, starter, QStringLiteral("/opt/pelex"));
    cvpRef = &cvp;
    if (input.ConsumeBool()) cvp.setListViewControl(&contacts);
    cvp.setTCPsock(&socket);
    cvp.setUserName(QStringLiteral("1000"));
    cvp.setPassword(QStringLiteral("pw"));
    cvp.DecodeKey = QStringLiteral("key");
    socket.setEvents(&events);
    socket.setConnected();
    events.nested = input.ConsumeRandomLengthString(64);
    while (input.remaining_bytes() > 0) {
        const std::size_t piece = input.ConsumeIntegralInRange<std::size_t>(1, 96);
        socket.deliver(input.ConsumeBytesAsString(piece));
        socket.takeSent();
    }
    return 0;
}
