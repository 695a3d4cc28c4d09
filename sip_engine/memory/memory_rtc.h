#pragma once
// An RTC client that lives in memory, scripted by tests. It records every
// call made on it (as short texts in `calls`), fails any member named in
// `failing`, and delivers events only when a test fires them.

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "sip_engine/one_shot_timer.h"
#include "sip_engine/rtc/rtc_client.h"
#include "sip_engine/rtc/video_window.h"

namespace pelex::sip_engine::memory {

/// What the objects of one client share: the call log and the failure list.
struct Script {
    std::vector<std::string> calls;  ///< e.g. "SendDTMF 16", "Terminate 3" (UTF-8)
    std::set<std::string> failing;   ///< member names that throw RTCError, e.g. "Answer"
    /// Records `call` and throws when its member (the text before the first space) is failing.
    void record(const std::string& call);
};

class MemoryProfile final : public rtc::IRTCProfile {
public:
    explicit MemoryProfile(std::shared_ptr<Script> script) : script_(std::move(script)) {}
    rtc::RegistrationState State() const override;
    rtc::RegistrationState state = rtc::RegistrationState::NotRegistered;

private:
    std::shared_ptr<Script> script_;
};

class MemoryParticipant final : public rtc::IRTCParticipant {
public:
    explicit MemoryParticipant(std::u16string uri) : uri_(std::move(uri)) {}
    std::u16string UserURI() const override { return uri_; }

private:
    std::u16string uri_;
};

class MemorySession final : public rtc::IRTCSession,
                            public rtc::IRTCSessionCallControl,
                            public std::enable_shared_from_this<MemorySession> {
public:
    explicit MemorySession(std::shared_ptr<Script> script, rtc::SessionState initial);
    rtc::SessionState State() const override;
    void Answer() override;
    void Terminate(rtc::TerminateReason reason) override;
    std::shared_ptr<rtc::IRTCParticipant> AddParticipant(const std::u16string& address,
                                                         const std::u16string& displayName) override;
    std::shared_ptr<rtc::IRTCCollection> Participants() const override;
    std::shared_ptr<rtc::IRTCSessionCallControl> CallControl() override;
    void Hold(std::int32_t cookie) override;
    void UnHold(std::int32_t cookie) override;
    void Refer(const std::u16string& address, const std::u16string& cookie) override;

    rtc::SessionState state;
    std::vector<std::shared_ptr<MemoryParticipant>> participants;

private:
    std::shared_ptr<Script> script_;
};

class MemoryVideoWindow final : public rtc::IVideoWindow {
public:
    void put_WindowStyle(std::int32_t value) override { style = value; }
    void put_Owner(rtc::WindowHandle value) override { owner = value; }
    void SetWindowPosition(std::int32_t l, std::int32_t t, std::int32_t w, std::int32_t h) override {
        left = l, top = t, width = w, height = h;
    }
    void put_Visible(bool value) override { visible = value; }

    std::int32_t style = 0;
    rtc::WindowHandle owner = 0;
    std::int32_t left = -1, top = -1, width = -1, height = -1;
    bool visible = false;
};

class MemoryClient final : public rtc::IRTCClient,
                           public rtc::IRTCClientProvisioning,
                           public std::enable_shared_from_this<MemoryClient> {
public:
    MemoryClient();

    // IRTCClient
    void Initialize() override;
    std::shared_ptr<rtc::IRTCClientProvisioning> Provisioning() override;
    void put_EventFilter(std::int32_t filter) override;
    void put_ListenForIncomingSessions(rtc::ListenMode mode) override;
    void SetPreferredMediaTypes(std::int32_t mediaTypes, bool persistent) override;
    std::shared_ptr<rtc::IRTCSession> CreateSession(rtc::SessionType type, const std::u16string& localPhoneURI,
                                                    const std::shared_ptr<rtc::IRTCProfile>& profile,
                                                    std::int32_t flags) override;
    void PlayRing(rtc::RingType type, bool play) override;
    void SendDTMF(std::int32_t toneCode) override;
    void InvokeTuningWizard(rtc::WindowHandle parent) override;
    void PrepareForShutdown() override;
    void Shutdown() override;
    void Advise(rtc::IRTCEventSink& sink) override;
    void Unadvise() override;

    // IRTCClientProvisioning
    std::shared_ptr<rtc::IRTCProfile> CreateProfile(const std::u16string& document) override;
    void EnableProfile(const std::shared_ptr<rtc::IRTCProfile>& profile, std::int32_t registerFlags) override;
    void DisableProfile(const std::shared_ptr<rtc::IRTCProfile>& profile) override;

    // ---- Scripting, for tests ----
    /// Sets the profile's state and delivers a registration-state event.
    void fireRegistration(rtc::RegistrationState state);
    /// Sets `session`'s state and delivers a session-state event with `statusText`.
    void fireSessionState(const std::shared_ptr<MemorySession>& session, rtc::SessionState state,
                          const std::u16string& statusText = {});
    /// Creates an incoming session from `remoteURI` and delivers its Incoming event.
    std::shared_ptr<MemorySession> fireIncoming(const std::u16string& remoteURI);
    void fireClientEvent(rtc::ClientEventType type);
    void fireMedia(std::int32_t mediaType, rtc::MediaEventType type);
    /// True while an event sink is connected.
    bool advised() const { return sink_ != nullptr; }

    std::shared_ptr<Script> script;
    std::u16string lastDocument;                        ///< the document given to CreateProfile
    std::shared_ptr<MemoryProfile> profile;             ///< the last profile created
    std::vector<std::shared_ptr<MemorySession>> sessions;  ///< every session, oldest first

private:
    void deliver(rtc::EventType type, rtc::IRTCEvent& event);
    rtc::IRTCEventSink* sink_ = nullptr;
};

/// Timers a test fires by hand.
class ManualTimers {
public:
    /// A factory of timers that report to this object (which must outlive them).
    OneShotTimerFactory factory();
    /// True when some timer is waiting.
    bool anyActive() const;
    /// The delay of the most recent start.
    std::chrono::milliseconds lastDelay() const { return lastDelay_; }
    /// Runs every waiting timer's callback once.
    void fireAll();

private:
    class Timer;
    std::vector<Timer*> timers_;
    std::chrono::milliseconds lastDelay_{0};
};

/// Narrow ASCII text of a wide text (for call logs); other characters become '?'.
std::string narrow(const std::u16string& text);

}  // namespace pelex::sip_engine::memory
