#include "tests/rig/packet_capture.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace pelex::testing {

PacketCapture::PacketCapture(std::string file) : file_(std::move(file)) {
    const std::string log = file_ + ".log";
    pid_ = ::fork();
    if (pid_ == 0) {
        ::setpgid(0, 0);
        std::FILE* out = std::freopen(log.c_str(), "w", stderr);
        (void)out;
        ::execlp("tshark", "tshark", "-q", "-i", "lo", "-f", "udp", "-w", file_.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (pid_ < 0) throw std::runtime_error("cannot start tshark");
    for (int i = 0; i < 100; ++i) {
        std::ifstream in(log);
        std::stringstream text;
        text << in.rdbuf();
        if (text.str().find("Capturing on") != std::string::npos) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    stop();
    throw std::runtime_error("tshark did not start capturing");
}

PacketCapture::~PacketCapture() { stop(); }

void PacketCapture::stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGINT);
    for (int i = 0; i < 50; ++i) {
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

std::vector<CapturedRtp> PacketCapture::stopAndDecode(int eventPayloadType) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    stop();
    const std::string command = "tshark -r '" + file_ +
                                "' -o rtp.heuristic_rtp:TRUE -o rtpevent.event_payload_type_value:" +
                                std::to_string(eventPayloadType) +
                                " -Y rtp -T fields -E separator=, -e udp.srcport -e udp.dstport -e rtp.p_type"
                                " -e rtpevent.event_id 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    if (!pipe) throw std::runtime_error("cannot run tshark");
    std::vector<CapturedRtp> packets;
    std::array<char, 256> line{};
    while (std::fgets(line.data(), line.size(), pipe.get()) != nullptr) {
        CapturedRtp p;
        char event[32] = "";
        if (std::sscanf(line.data(), "%d,%d,%d,%31s", &p.sourcePort, &p.destinationPort, &p.payloadType, event) >= 3) {
            if (event[0] != '\0') p.telephoneEvent = std::atoi(event);
            packets.push_back(p);
        }
    }
    return packets;
}

}  // namespace pelex::testing
