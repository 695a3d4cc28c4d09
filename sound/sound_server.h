#pragma once
// The desktop's sound server through libpulse: one long-lived connection on
// a thread of its own that follows the server's devices and defaults as they
// change (it subscribes to sink, source, card and server changes), asks now
// and then whether the server still answers, and connects again when the
// server went and came back.
//
// Callers on the window's thread read the latest picture (state()), which
// never waits on the server, and hear of changes through the two signals,
// delivered on the thread that made the object (queued through Qt). The
// phone's own sounds play on the same connection (AlertPlayer).
//
//   auto server = std::make_shared<sound::SoundServer>();
//   QObject::connect(server.get(), &sound::SoundServer::devicesChanged, ...);
//   if (server->state().running) ...

#include <QObject>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "sound/server_state.h"

struct pa_context;

namespace pelex::sound {

class DeviceCensus;
class PulseLoop;
class PulseTimer;

/// How often and how patiently the phone asks the server.
struct ServerTiming {
    /// How often the phone asks whether the server still answers.
    std::chrono::milliseconds probeEvery{1000};
    /// How long an answer may take before the server counts as not answering.
    std::chrono::milliseconds patience{500};
    /// The wait before the next attempt to connect, doubled after each
    /// failed attempt up to reconnectAtMost.
    std::chrono::milliseconds reconnectEvery{1000};
    std::chrono::milliseconds reconnectAtMost{16000};
};

class SoundServer : public QObject {
    Q_OBJECT
public:

    /// Connects in the background to $PULSE_SERVER, else the session's
    /// server, never starting one. The server lists the phone as `clientName`.
    /// Make it on the thread that is to receive the signals.
    explicit SoundServer(std::string clientName = "Pelex phone", ServerTiming timing = {});
    ~SoundServer() override;

    /// The latest picture of the server (not running until it answered).
    ServerState state() const;

    /// The connection's loop, for players on this server.
    PulseLoop& loop() { return *loop_; }

signals:
    /// A device or card came or went, or the whole server did.
    void devicesChanged();
    /// Something in state() changed (after devicesChanged when both did).
    void stateChanged();

private:
    // On the loop's thread:
    void onReady(pa_context& context);
    void onLost();
    void probe();
    void onPatienceOver();
    void onEvent(pa_context& context, int facility, int kind);
    void onProbeAnswer(pa_context& context, bool answered);
    struct Callbacks;  // libpulse's callbacks into the above
    void publish(ServerState next);

    ServerTiming timing_;
    mutable std::mutex mutex_;
    ServerState state_;  // guarded by mutex_; written on the loop's thread only
    // Loop-thread state (made before the loop starts, freed after it stopped).
    std::unique_ptr<DeviceCensus> census_;
    std::unique_ptr<PulseLoop> loop_;
    std::unique_ptr<PulseTimer> probeTimer_, patienceTimer_;
    bool probing_ = false;  // a probe is unanswered
    unsigned epoch_ = 0;    // see ServerState::epoch
    bool connected_ = false;
};

}  // namespace pelex::sound
