#include "tests/rig/sound_io.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace pelex::testing {
namespace {

/// Starts `argv` with its standard input (`childReads`) or output connected
/// to a pipe; returns the process and our end of the pipe.
std::pair<pid_t, int> spawnWithPipe(const std::vector<std::string>& argv, bool childReads) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    const int childEnd = childReads ? fds[0] : fds[1];
    const int ourEnd = childReads ? fds[1] : fds[0];
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, childEnd, childReads ? STDIN_FILENO : STDOUT_FILENO);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(childEnd);
    if (rc != 0) {
        ::close(ourEnd);
        throw std::runtime_error("cannot start " + argv[0]);
    }
    return {pid, ourEnd};
}

void endProcess(pid_t& pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    pid = -1;
}

std::vector<std::string> formatArgs(int rate, int latencyMs) {
    return {"--format=s16le", "--rate=" + std::to_string(rate), "--channels=1", "--raw",
            "--latency-msec=" + std::to_string(latencyMs)};
}

}  // namespace

SourceRecorder::SourceRecorder(std::string source, int rate) : source_(std::move(source)), rate_(rate) {
    std::vector<std::string> argv{"parec", "--device=" + source_};
    for (auto& a : formatArgs(rate_, 10)) argv.push_back(a);
    auto [pid, fd] = spawnWithPipe(argv, false);
    pid_ = pid;
    fd_ = fd;
    reader_ = std::thread([this, fd = fd_] { readLoop(fd); });
    // Returns once the recording runs, so nothing played after it is missed.
    if (!waitForSamples(1, std::chrono::seconds(5))) {
        stop();
        throw std::runtime_error("nothing arrives from " + source_);
    }
}

SourceRecorder::~SourceRecorder() { stop(); }

void SourceRecorder::readLoop(int fd) {
    char buffer[4096];
    bool haveOdd = false;
    char odd = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        const auto arrived = Clock::now();
        std::lock_guard lock(mutex_);
        std::size_t i = 0;
        if (haveOdd) {
            samples_.push_back(static_cast<std::int16_t>((static_cast<unsigned char>(odd)) |
                                                         (static_cast<unsigned char>(buffer[0]) << 8)));
            i = 1;
            haveOdd = false;
        }
        for (; i + 1 < std::size_t(n); i += 2)
            samples_.push_back(static_cast<std::int16_t>(static_cast<unsigned char>(buffer[i]) |
                                                         (static_cast<unsigned char>(buffer[i + 1]) << 8)));
        if (i < std::size_t(n)) {
            haveOdd = true;
            odd = buffer[i];
        }
        marks_.push_back({samples_.size(), arrived});
    }
}

void SourceRecorder::stop() {
    endProcess(pid_);
    if (reader_.joinable()) reader_.join();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

Audio SourceRecorder::audio() const {
    std::lock_guard lock(mutex_);
    return Audio{rate_, samples_};
}

std::size_t SourceRecorder::size() const {
    std::lock_guard lock(mutex_);
    return samples_.size();
}

SourceRecorder::Clock::time_point SourceRecorder::timeOf(std::size_t index) const {
    std::lock_guard lock(mutex_);
    const auto mark = std::upper_bound(marks_.begin(), marks_.end(), index,
                                       [](std::size_t i, const Mark& m) { return i < m.end; });
    if (mark == marks_.end()) throw std::out_of_range("sample " + std::to_string(index) + " has not arrived");
    const auto later = std::chrono::duration<double>(double(mark->end - index) / rate_);
    return mark->arrived - std::chrono::duration_cast<Clock::duration>(later);
}

bool SourceRecorder::waitForSamples(std::size_t count, std::chrono::milliseconds limit) const {
    const auto end = Clock::now() + limit;
    while (size() < count) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

SoundPlayer::SoundPlayer(std::string sink, std::vector<std::int16_t> samples, int rate)
    : samples_(std::move(samples)) {
    std::vector<std::string> argv{"pacat", "--playback", "--device=" + sink};
    for (auto& a : formatArgs(rate, 20)) argv.push_back(a);
    auto [pid, fd] = spawnWithPipe(argv, true);
    pid_ = pid;
    fd_ = fd;
    writer_ = std::thread([this] {
        // A player that went away makes the write fail with EPIPE; the signal
        // stays blocked (and pending) on this thread alone.
        sigset_t pipeSignal;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
        const auto* bytes = reinterpret_cast<const char*>(samples_.data());
        std::size_t left = samples_.size() * 2;
        while (left > 0) {
            const ssize_t n = ::write(fd_, bytes, left);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            bytes += n;
            left -= std::size_t(n);
        }
        ::close(fd_);
    });
}

SoundPlayer::~SoundPlayer() {
    if (pid_ > 0) endProcess(pid_);
    if (writer_.joinable()) writer_.join();
}

bool SoundPlayer::wait(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (pid_ > 0) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            break;
        }
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (writer_.joinable()) writer_.join();
    return true;
}

std::string pactl(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{"pactl"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    auto [pid, fd] = spawnWithPipe(argv, false);
    std::string out;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        out.append(buffer, std::size_t(n));
    }
    ::close(fd);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::string command = "pactl";
        for (const auto& a : arguments) command += " " + a;
        throw std::runtime_error(command + " failed");
    }
    return out;
}

std::vector<ServerStream> serverStreams(const std::string& kind) {
    std::vector<ServerStream> streams;
    std::istringstream in(pactl({"list", kind}));
    auto trimmed = [](std::string text) {
        const auto first = text.find_first_not_of(" \t");
        return first == std::string::npos ? std::string() : text.substr(first);
    };
    for (std::string line; std::getline(in, line);) {
        if (const auto hash = line.find('#'); line.rfind("Sink Input #", 0) == 0 || line.rfind("Source Output #", 0) == 0) {
            streams.emplace_back().index = std::stoi(line.substr(hash + 1));
            continue;
        }
        if (streams.empty()) continue;
        const auto text = trimmed(line);
        if (text.rfind("Owner Module: ", 0) == 0) {
            const auto value = text.substr(14);
            if (!value.empty() && std::isdigit(static_cast<unsigned char>(value[0])) != 0)
                streams.back().ownerModule = std::stoi(value);
        } else if (const auto eq = text.find(" = \""); eq != std::string::npos && text.back() == '"') {
            streams.back().properties[text.substr(0, eq)] = text.substr(eq + 4, text.size() - eq - 5);
        }
    }
    return streams;
}

ClientStreams streamsOf(pid_t pid) {
    const auto own = [pid](const std::string& kind) {
        int count = 0;
        for (const auto& stream : serverStreams(kind))
            count += stream.property("application.process.id") == std::to_string(pid);
        return count;
    };
    return {own("sink-inputs"), own("source-outputs")};
}

}  // namespace pelex::testing
