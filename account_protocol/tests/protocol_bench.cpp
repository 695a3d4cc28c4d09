// Feeds bursts of small server messages through the receive loop and the
// dispatcher in one arrival and prints the time each burst takes, so the
// cost per message can be seen to stay flat as the burst grows.

#include <chrono>
#include <ctime>
#include <cstdio>
#include <string>

#include "account_protocol/corvo_protocol.h"
#include "account_protocol/receive_loop.h"
#include "account_protocol/testing/memory_socket.h"
#include "platform/testing/recording_message_box.h"
#include "platform/testing/recording_process_starter.h"

using namespace pelex::account_protocol;

namespace {

// CPU seconds of this process: unlike the wall clock, not inflated when
// other programs share the machine.
double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

class CountingEvents : public CorvoProtocolEvents {
public:
    void ShowStatus(const QString&) override { ++count; }
    void UserRing() override { ++count; }
    long count = 0;
};

}  // namespace

int main() {
    std::printf("%-10s %10s %12s %12s %14s\n", "messages", "bytes", "wall s", "cpu s", "cpu ns/msg");
    for (long n : {10'000L, 100'000L, 1'000'000L}) {
        std::string burst;
        for (long i = 0; i < n; ++i) {
            burst += (i % 2) ? "CRR%20{$}" : "STA%20status " + std::to_string(i % 1000) + "{$}";
        }
        CountingEvents events;
        pelex::platform::testing::RecordingMessageBox box;
        pelex::platform::testing::RecordingProcessStarter starter;
        CorvoProtocol cvp(events, box, starter);
        testing::MemorySocket socket;
        socket.setConnected();
        cvp.setTCPsock(&socket);
        ReceiveLoop loop;
        socket.deliverSilently(burst);

        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = cpuSeconds();
        const ArrivalOutcome outcome = loop.onDataArrival(socket, cvp);
        const double cpu = cpuSeconds() - cpuStart;
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;

        if (outcome != ArrivalOutcome::Handled || events.count != n) {
            std::fprintf(stderr, "burst of %ld: handled %ld messages\n", n, events.count);
            return 1;
        }
        std::printf("%-10ld %10zu %12.4f %12.4f %14.1f\n", n, burst.size(), took.count(), cpu, cpu * 1e9 / n);
    }
    return 0;
}
