#pragma once
// A CorvoProtocol wired to an in-memory socket, recording events, boxes and
// process starts; signed in as "1000" with the password "pw".

#include <gtest/gtest.h>

#include "account_protocol/corvo_protocol.h"
#include "account_protocol/testing/memory_socket.h"
#include "account_protocol/testing/recording_events.h"
#include "platform/testing/recording_message_box.h"
#include "platform/testing/recording_process_starter.h"

namespace pelex::account_protocol {

using namespace Qt::Literals::StringLiterals;

class ProtocolTest : public ::testing::Test {
protected:
    void SetUp() override {
        socket.setConnected();
        cvp.setTCPsock(&socket);
        cvp.setUserName(QStringLiteral("1000"));
        cvp.setPassword(QStringLiteral("pw"));
        cvp.DecodeKey = QStringLiteral("12/8/2026 4:45:00 PM");
    }

    /// What the client sent since the last call.
    std::string sent() { return socket.takeSent(); }

    testing::RecordingEvents events;
    platform::testing::RecordingMessageBox box;
    platform::testing::RecordingProcessStarter starter;
    testing::MemorySocket socket;
    CorvoProtocol cvp{events, box, starter, QStringLiteral("/opt/pelex")};
};

inline std::vector<std::string> ev(std::initializer_list<const char*> names) {
    return std::vector<std::string>(names.begin(), names.end());
}

}  // namespace pelex::account_protocol
