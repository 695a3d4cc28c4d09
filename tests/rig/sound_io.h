#pragma once
// Recording from and playing into the test sound server, through the
// server's own command-line clients (parec, pacat) talking to $PULSE_SERVER.
//
//   SourceRecorder heard("phone_speaker.monitor");   // records from now on
//   SoundPlayer voice("phone_mic_feed", tone);        // plays in the background
//   ... heard.audio() ...                            // what was recorded so far
//
// Each recorded block is stamped with the moment it arrived, so recordings of
// two devices can be put on one time line (to within one block, 10 ms).

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/rig/signal_analysis.h"

namespace pelex::testing {

class SourceRecorder {
public:
    using Clock = std::chrono::steady_clock;
    /// Starts recording `source` (a source, or "<sink>.monitor") as mono at
    /// `rate` and returns once the first samples arrived. Throws
    /// std::runtime_error when parec cannot be started or nothing arrives.
    explicit SourceRecorder(std::string source, int rate = 8000);
    ~SourceRecorder();
    SourceRecorder(const SourceRecorder&) = delete;
    SourceRecorder& operator=(const SourceRecorder&) = delete;

    /// Everything recorded so far.
    Audio audio() const;
    /// Samples recorded so far.
    std::size_t size() const;
    /// When sample `index` was captured, estimated from the arrival of the
    /// block holding it. Needs that block to have arrived.
    Clock::time_point timeOf(std::size_t index) const;
    /// Waits until at least `count` samples arrived or `limit` passed; true when they did.
    bool waitForSamples(std::size_t count, std::chrono::milliseconds limit) const;
    /// Stops recording (the recording stays readable).
    void stop();

private:
    void readLoop(int fd);
    struct Mark {
        std::size_t end;  // samples recorded once this block arrived
        Clock::time_point arrived;
    };
    std::string source_;
    int rate_;
    pid_t pid_ = -1;
    int fd_ = -1;
    mutable std::mutex mutex_;
    std::vector<std::int16_t> samples_;
    std::vector<Mark> marks_;
    std::thread reader_;
};

class SoundPlayer {
public:
    /// Starts playing `samples` (mono, `rate`) into `sink`. Throws
    /// std::runtime_error when pacat cannot be started.
    SoundPlayer(std::string sink, std::vector<std::int16_t> samples, int rate = 8000);
    /// Stops playing if it has not finished.
    ~SoundPlayer();
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;
    /// Waits until everything was played (or `limit` passed); true when it was.
    bool wait(std::chrono::milliseconds limit);

private:
    pid_t pid_ = -1;
    int fd_ = -1;
    std::vector<std::int16_t> samples_;
    std::thread writer_;
};

/// Runs `pactl` with `arguments` against $PULSE_SERVER and returns its
/// output. Throws std::runtime_error when it fails.
std::string pactl(const std::vector<std::string>& arguments);

/// A stream on the server, from `pactl list sink-inputs` / `source-outputs`.
struct ServerStream {
    int index = -1;
    int ownerModule = -1;                           ///< -1: a client's stream
    std::map<std::string, std::string> properties;  ///< "media.role" -> "phone", quotes removed
    /// The property `key`, or "" where it is not set.
    std::string property(const std::string& key) const {
        const auto it = properties.find(key);
        return it == properties.end() ? std::string() : it->second;
    }
};
/// The streams of `kind` ("sink-inputs" or "source-outputs") on $PULSE_SERVER.
std::vector<ServerStream> serverStreams(const std::string& kind);
/// The streams a process has open on $PULSE_SERVER.
struct ClientStreams {
    int playback = 0;   ///< sink inputs
    int recording = 0;  ///< source outputs
    bool operator==(const ClientStreams&) const = default;
};
/// The streams of process `pid`, as the server lists them. Throws
/// std::runtime_error when pactl fails.
ClientStreams streamsOf(pid_t pid);

}  // namespace pelex::testing
