#pragma once
// Starts a private sound server (sound.sh) for C++ tests and stops it again,
// also when the test fails; a crashed test leaves nothing running either: the
// server's watchdog ends it once the test process is gone. The server is
// PulseAudio, or PipeWire with its PulseAudio server where
// PELEX_SOUND_SERVER=pipewire (ctest runs the sound tests on both).
//
//   pelex::testing::SoundRig sound;   // started; PULSE_SERVER now points at it
//   SourceRecorder heard(SoundRig::monitorOf(SoundRig::kPhoneSpeaker));
//
// Each rig gets a fresh folder under /tmp (the server's socket path must stay
// short), so tests of several processes run side by side. While it lives,
// PULSE_SERVER in this process's environment names it (children inherit it);
// the previous value comes back when it stops.

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "tests/rig/scoped_env.h"
#include "tests/rig/sound_io.h"

namespace pelex::testing {

class SoundRig {
public:
    static constexpr const char* kPhoneSpeaker = "phone_speaker";
    static constexpr const char* kPhoneMicFeed = "phone_mic_feed";
    static constexpr const char* kPhoneMic = "phone_mic";
    static constexpr const char* kPeerSpeaker = "peer_speaker";
    static constexpr const char* kPeerMicFeed = "peer_mic_feed";
    static constexpr const char* kPeerMic = "peer_mic";

    /// `server`: "pulseaudio" or "pipewire"; by default PELEX_SOUND_SERVER's,
    /// else PulseAudio.
    explicit SoundRig(std::string server = serverOfEnvironment()) : kind_(std::move(server)) {
        char pattern[] = "/tmp/pelex-sound.XXXXXX";
        if (::mkdtemp(pattern) == nullptr) throw std::runtime_error("cannot make a folder for the sound server");
        dir_ = pattern;
        const std::string command = "PELEX_SOUND_OWNER_PID=" + std::to_string(::getpid()) + " " + script() +
                                    " start --dir '" + dir_ + "' --server '" + kind_ + "' > '" + dir_ +
                                    "/start.log' 2>&1";
        if (std::system(command.c_str()) != 0) {
            std::ifstream log(dir_ + "/start.log");
            std::string why((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
            stop();
            throw std::runtime_error("the sound server did not start: " + why);
        }
        std::ifstream settings(dir_ + "/sound.env");
        for (std::string line; std::getline(settings, line);)
            if (const auto eq = line.find('='); eq != std::string::npos && line.compare(0, eq, "PULSE_SERVER") == 0)
                server_ = line.substr(eq + 1);
        pulseServer_.emplace("PULSE_SERVER", server_);
    }
    ~SoundRig() { stop(); }
    SoundRig(const SoundRig&) = delete;
    SoundRig& operator=(const SoundRig&) = delete;

    /// The server's address, "unix:<folder>/native".
    const std::string& server() const { return server_; }
    const std::string& dir() const { return dir_; }
    /// "pulseaudio" or "pipewire".
    const std::string& kind() const { return kind_; }
    static std::string serverOfEnvironment() {
        const char* kind = std::getenv("PELEX_SOUND_SERVER");
        return kind != nullptr && *kind != 0 ? kind : "pulseaudio";
    }
    /// The source that carries what is played into `sink`.
    static std::string monitorOf(const std::string& sink) { return sink + ".monitor"; }

    /// Adds a null sink (a further speaker) and returns its module number
    /// once the server lists it (PipeWire makes it after answering).
    int addSink(const std::string& name, const std::string& description) const {
        const int module = std::stoi(pactl({"load-module", "module-null-sink", "sink_name=" + name,
                                            "sink_properties=\"device.description='" + description + "'\""}));
        waitListed("sinks", name);
        return module;
    }
    /// Adds a microphone `name` that hears what is played into `feedSink`.
    int addMicrophone(const std::string& name, const std::string& feedSink, const std::string& description) const {
        waitListed("sources", monitorOf(feedSink));
        return std::stoi(pactl({"load-module", "module-remap-source", "source_name=" + name,
                                "master=" + monitorOf(feedSink),
                                "source_properties=\"device.description='" + description + "'\""}));
    }
    /// Plays what `sink` plays into `feedSink` too, `delayMs` later and
    /// `gainDb` louder (negative: quieter), as a laptop's microphone hears its
    /// speakers. Returns the module number (removeModule ends the echo).
    int addEcho(const std::string& sink, const std::string& feedSink, int delayMs, double gainDb) const {
        std::vector<std::string> load{"load-module", "module-loopback", "source=" + monitorOf(sink), "sink=" + feedSink,
                                      "latency_msec=" + std::to_string(delayMs)};
        // PulseAudio's loopback keeps changing its rate to hold its latency,
        // which moves the echo in time as no room does; PipeWire's runs on
        // the graph's one clock.
        if (kind_ == "pulseaudio") load.push_back("adjust_time=0");
        const int module = std::stoi(pactl(load));
        // The loopback's playback stream is the one the module owns; PipeWire
        // lists it a moment after answering.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        for (;;) {
            for (const auto& stream : serverStreams("sink-inputs"))
                if (stream.ownerModule == module) {
                    pactl({"set-sink-input-volume", std::to_string(stream.index),
                           std::to_string(std::pow(10.0, gainDb / 20.0))});  // a linear factor
                    return module;
                }
            if (std::chrono::steady_clock::now() > end)
                throw std::runtime_error("the echo's loopback stream did not appear");
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    /// Removes a module (and the devices it made) as if unplugged.
    void removeModule(int module) const { pactl({"unload-module", std::to_string(module)}); }
    /// Stops the server's process (SIGSTOP), as a desktop's server stalls for
    /// a moment after a resume: it keeps its clients but answers nobody.
    void freeze() const { signalServer(SIGSTOP); }
    /// Lets a frozen server go on.
    void thaw() const { signalServer(SIGCONT); }
    /// Stops the server now (as when the desktop's sound server goes away).
    void stop() {
        if (dir_.empty()) return;
        thaw();
        const std::string command = script() + " stop --dir '" + dir_ + "' --server '" + kind_ + "' > /dev/null 2>&1";
        [[maybe_unused]] int ignored = std::system(command.c_str());
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
        dir_.clear();
        pulseServer_.reset();
    }

private:
    static std::string script() { return PELEX_SOUND_SCRIPT; }
    /// Waits until `pactl list short <kind>` names `name` (5 s at most).
    static void waitListed(const std::string& kind, const std::string& name) {
        for (int i = 0; i < 100; ++i) {
            std::istringstream listed(pactl({"list", "short", kind}));
            for (std::string index, item, rest; listed >> index >> item && std::getline(listed, rest);)
                if (item == name) return;
            ::usleep(50'000);
        }
        throw std::runtime_error(name + " did not appear on the sound server");
    }
    void signalServer(int signal) const {
        pid_t pid = 0;
        std::ifstream(dir_ + "/server.pid") >> pid;  // the process that answers clients
        if (pid > 0) ::kill(pid, signal);
    }
    std::string kind_;
    std::string dir_;
    std::string server_;
    std::optional<ScopedEnv> pulseServer_;  // this server's address for the process while it runs
};

}  // namespace pelex::testing
