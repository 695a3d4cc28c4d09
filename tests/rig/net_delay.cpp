// pelex-netdelay: holds the packets of one NFQUEUE queue, each for its own
// random delay, and then lets it go on: a network's delay and jitter, made
// without netem (which this kernel lacks). Packets that overtake each other
// arrive reordered, as on a real path with jitter.
//
//   pelex-netdelay [--queue N] [--delay MS] [--jitter MS]
//
// Each packet is held DELAY +/- JITTER ms (uniform, never below zero). The
// queue comes from an iptables rule such as
//   iptables -t mangle -A FORWARD -p udp --dport 40000:40019 -j NFQUEUE --queue-num 0 --queue-bypass
// Run as root in the namespace whose traffic it delays. It prints "holding"
// once it listens, and on SIGTERM or SIGINT a summary of what it held.
// The C library's address types first: the kernel's netfilter header would
// otherwise bring in its own, which clash with them.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <libnetfilter_queue/libnetfilter_queue.h>
#include <linux/netfilter.h>
#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <queue>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

volatile sig_atomic_t stopping = 0;
void onSignal(int) { stopping = 1; }

struct Held {
    Clock::time_point due;
    std::uint32_t id;
    bool operator>(const Held& other) const { return due > other.due; }
};

struct Delayer {
    std::chrono::microseconds delay{0};
    std::chrono::microseconds jitter{0};
    std::mt19937 random{std::random_device{}()};
    std::priority_queue<Held, std::vector<Held>, std::greater<>> held;
    std::uint64_t packets = 0;
    double totalMs = 0;

    Clock::time_point dueFromNow() {
        std::uniform_int_distribution<long> spread(-jitter.count(), jitter.count());
        const auto wait = std::max<long>(0, delay.count() + spread(random));
        totalMs += wait / 1000.0;
        return Clock::now() + std::chrono::microseconds(wait);
    }
};

int onPacket(nfq_q_handle*, nfgenmsg*, nfq_data* data, void* context) {
    auto& delayer = *static_cast<Delayer*>(context);
    if (const auto* header = nfq_get_msg_packet_hdr(data)) {
        delayer.held.push({delayer.dueFromNow(), ntohl(header->packet_id)});
        ++delayer.packets;
    }
    return 0;
}

int option(int argc, char** argv, const char* name, int fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0) return std::atoi(argv[i + 1]);
    return fallback;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0) {
            std::puts("usage: pelex-netdelay [--queue N] [--delay MS] [--jitter MS]");
            return 0;
        }
    Delayer delayer;
    const int queue = option(argc, argv, "--queue", 0);
    delayer.delay = std::chrono::milliseconds(option(argc, argv, "--delay", 40));
    delayer.jitter = std::chrono::milliseconds(option(argc, argv, "--jitter", 0));

    nfq_handle* handle = nfq_open();
    if (handle == nullptr) {
        std::perror("pelex-netdelay: nfq_open");
        return 1;
    }
    nfq_q_handle* q = nfq_create_queue(handle, static_cast<std::uint16_t>(queue), &onPacket, &delayer);
    if (q == nullptr || nfq_set_mode(q, NFQNL_COPY_META, 0) < 0) {
        std::perror("pelex-netdelay: cannot take the queue");
        nfq_close(handle);
        return 1;
    }
    // Room for a few seconds of audio in both directions.
    nfq_set_queue_maxlen(q, 4096);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::printf("holding queue %d: %lld ms +/- %lld ms\n", queue,
                static_cast<long long>(delayer.delay.count() / 1000),
                static_cast<long long>(delayer.jitter.count() / 1000));
    std::fflush(stdout);

    const int fd = nfq_fd(handle);
    std::vector<char> buffer(0x10000);
    while (stopping == 0) {
        int timeout = 100;
        if (!delayer.held.empty()) {
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(delayer.held.top().due - Clock::now());
            timeout = static_cast<int>(std::clamp<long long>(wait.count(), 0, 100));
        }
        pollfd ready{fd, POLLIN, 0};
        const int n = ::poll(&ready, 1, timeout);
        if (n < 0 && errno != EINTR) break;
        if (n > 0)
            for (ssize_t length; (length = ::recv(fd, buffer.data(), buffer.size(), MSG_DONTWAIT)) > 0;)
                nfq_handle_packet(handle, buffer.data(), static_cast<int>(length));
        for (const auto now = Clock::now(); !delayer.held.empty() && delayer.held.top().due <= now;) {
            nfq_set_verdict(q, delayer.held.top().id, NF_ACCEPT, 0, nullptr);
            delayer.held.pop();
        }
    }
    // Whatever is still held goes on now rather than being lost.
    for (; !delayer.held.empty(); delayer.held.pop()) nfq_set_verdict(q, delayer.held.top().id, NF_ACCEPT, 0, nullptr);
    std::printf("held %llu packets, %.1f ms on average\n", static_cast<unsigned long long>(delayer.packets),
                delayer.packets ? delayer.totalMs / static_cast<double>(delayer.packets) : 0.0);
    nfq_destroy_queue(q);
    nfq_close(handle);
    return 0;
}
