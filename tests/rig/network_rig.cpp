#include "tests/rig/network_rig.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <vector>

namespace pelex::testing {
namespace {

std::optional<std::string> getenvOr(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

void restoreEnv(const char* name, const std::optional<std::string>& value) {
    if (value) ::setenv(name, value->c_str(), 1);
    else ::unsetenv(name);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

NamespaceGuard::NamespaceGuard(const std::string& path) {
    back_ = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    const int target = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const bool entered = back_ >= 0 && target >= 0 && ::setns(target, CLONE_NEWNET) == 0;
    const int error = errno;
    if (target >= 0) ::close(target);
    if (!entered) {
        if (back_ >= 0) ::close(back_);
        back_ = -1;
        throw std::runtime_error("cannot enter the network namespace " + path + ": " + std::strerror(error));
    }
}

NamespaceGuard::~NamespaceGuard() {
    if (back_ < 0) return;
    [[maybe_unused]] const int ignored = ::setns(back_, CLONE_NEWNET);
    ::close(back_);
}

NetworkRig::NetworkRig(NetworkRigOptions options)
    : dir_(std::string(PELEX_NETRIG_DEFAULT_DIR) + "/" + std::to_string(::getpid())) {
    std::filesystem::create_directories(std::filesystem::path(dir_).parent_path());
    stop();  // a rig left over in the same folder
    const std::string command = "PELEX_NETRIG_OWNER_PID=" + std::to_string(::getpid()) +
                                " PELEX_NETRIG_UDP_TIMEOUT=" + std::to_string(options.udpMappingSeconds) + " " +
                                options.sip.environment() + script("start") + " > '" + dir_ + ".start.log' 2>&1";
    const int status = std::system(command.c_str());
    if (status != 0) {
        if (WIFEXITED(status) && WEXITSTATUS(status) == 77)
            throw NetworkRigUnavailable(readFile(dir_ + ".start.log"));
        stop();
        throw std::runtime_error("the network rig did not start:\n" + readFile(dir_ + ".start.log"));
    }
    loadRigSettings(dir_ + "/netrig.env");
    savedSipPort_ = getenvOr("PELEX_SIP_LOCAL_PORT");
    savedRtpPorts_ = getenvOr("PELEX_SIP_RTP_PORTS");
    ::setenv("PELEX_SIP_LOCAL_PORT", std::to_string(kPhoneSipPort).c_str(), 1);
    ::setenv("PELEX_SIP_RTP_PORTS", std::getenv("PELEX_NETRIG_PHONE_RTP"), 1);
    try {
        onPhoneSide_.emplace(enter(Side::Phone));
    } catch (...) {
        stop();
        throw;
    }
}

NetworkRig::~NetworkRig() {
    onPhoneSide_.reset();
    restoreEnv("PELEX_SIP_LOCAL_PORT", savedSipPort_);
    restoreEnv("PELEX_SIP_RTP_PORTS", savedRtpPorts_);
    stop();
}

bool NetworkRig::available() { return ::geteuid() == 0 && std::system("unshare -n true 2>/dev/null") == 0; }

NamespaceGuard NetworkRig::enter(Side side) const { return NamespaceGuard("/run/netns/" + namespaceOf(side)); }

void NetworkRig::setLoss(double percent) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", percent);
    act(std::string("loss ") + text);
}

void NetworkRig::setDelay(int ms, int jitterMs) {
    act("delay " + std::to_string(ms) + " " + std::to_string(jitterMs));
}

std::string NetworkRig::mappings() const {
    const std::string command = "ip netns exec '" + namespaceOf(Side::Router) + "' conntrack -L 2>/dev/null";
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char chunk[4096];
        for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) out.append(chunk, n);
        ::pclose(pipe);
    }
    return out;
}

int NetworkRig::run(Side side, const std::string& command) const {
    const std::string line = "ip netns exec '" + namespaceOf(side) + "' sh -c '" + command + "'";
    return std::system(line.c_str());
}

void NetworkRig::act(const std::string& action) const {
    const std::string command = script(action) + " >> '" + dir_ + ".actions.log' 2>&1";
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("the network rig could not " + action + ":\n" + readFile(dir_ + ".actions.log"));
}

std::string NetworkRig::script(const std::string& action) const {
    return std::string("PELEX_NETRIG_DELAY_TOOL='") + PELEX_NETRIG_DELAY_TOOL + "' " + PELEX_NETRIG_SCRIPT + " " +
           action + " --dir '" + dir_ + "'";
}

std::string NetworkRig::namespaceOf(Side side) const {
    const char* name = side == Side::Phone    ? "PELEX_NETRIG_PHONE_NS"
                       : side == Side::Router ? "PELEX_NETRIG_ROUTER_NS"
                                              : "PELEX_NETRIG_FAR_NS";
    const char* value = std::getenv(name);
    if (value == nullptr) throw std::runtime_error("the network rig is not running");
    return value;
}

void NetworkRig::stop() noexcept {
    const std::string command = script("stop") + " >> '" + dir_ + ".start.log' 2>&1";
    [[maybe_unused]] const int ignored = std::system(command.c_str());
}

JunkFlood::JunkFlood(const NetworkRig& rig, std::string address, int port, int packetsPerSecond)
    : thread_([this, &rig, address = std::move(address), port, packetsPerSecond] {
          run(rig, address, port, packetsPerSecond);
      }) {}

JunkFlood::~JunkFlood() {
    stopping_ = true;
    thread_.join();
}

void JunkFlood::run(const NetworkRig& rig, const std::string& address, int port, int packetsPerSecond) {
    // This thread alone moves to the router's side.
    const auto guard = rig.enter(NetworkRig::Side::Router);
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET, address.c_str(), &to.sin_addr);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0, 255), size(60, 1200);
    std::vector<char> junk;
    const auto period = std::chrono::nanoseconds(1'000'000'000 / packetsPerSecond);
    auto next = std::chrono::steady_clock::now();
    for (std::uint64_t n = 0; !stopping_; ++n) {
        junk.resize(static_cast<std::size_t>(size(random)));
        for (auto& c : junk) c = static_cast<char>(byte(random));
        if (n % 10 == 0) {
            static constexpr char kStart[] = "INVITE sip:1000@192.0.2.2 SIP/2.0\r\nVia: SIP/2.0/UDP ";
            std::copy(kStart, kStart + sizeof kStart - 1, junk.begin());
        }
        if (::sendto(fd, junk.data(), junk.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) > 0) ++sent_;
        timespec used{};
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &used);
        cpuSeconds_ = static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
        next += period;
        std::this_thread::sleep_until(next);
    }
    ::close(fd);
}

}  // namespace pelex::testing
