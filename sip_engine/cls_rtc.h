#pragma once
// clsRTC: the soft phone's SIP call engine. It owns one RTC client, holds the
// SIP account, registers through a provisioning profile, places and answers
// one call at a time and turns the client's events into its own events
// (ClsRTCEvents). Operations return nothing; outcomes arrive as events.
//
// Failure policy per operation (see platform/failure_policy.h):
//   Init, Connect, Answer, Terminate, ReregisterProfile, Key, Wizard,
//   CallHold, CallunHold, destruction      skip a failing step, go on
//   ShutDown, CallTransfer                  trap nothing (throws to the caller)
//   the client-event dispatcher and the
//   registration procedure                  trap nothing (back to the client)
//   session-state and media handlers        skip a failing step, go on

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "sip_engine/cls_rtc_events.h"
#include "sip_engine/one_shot_timer.h"
#include "sip_engine/rtc/rtc_client.h"
#include "sip_engine/rtc/video_window.h"

namespace pelex::sip_engine {

/// What the engine needs from the platform: a way to create the RTC client and
/// a timer for the bounded registration wait.
struct ClsRTCPlatform {
    rtc::RTCClientFactory createClient;
    OneShotTimerFactory createTimer;
};

class clsRTC final : private rtc::IRTCEventSink {
public:
    /// `events` receives the engine's events and must outlive it (null: nobody listens).
    clsRTC(ClsRTCPlatform platform, ClsRTCEvents* events);
    /// Ends a current call, shuts the client down and releases everything.
    ~clsRTC() override;
    clsRTC(const clsRTC&) = delete;
    clsRTC& operator=(const clsRTC&) = delete;

    // ---- Public properties, readable and writable by the owner ----
    std::shared_ptr<rtc::IRTCClient> g_objRTCClient;       ///< created by Init
    std::shared_ptr<rtc::IRTCSession> g_objSession;        ///< the current call
    std::shared_ptr<rtc::IVideoWindow> g_objVideoSend;     ///< local video window (set by the owner)
    std::shared_ptr<rtc::IRTCSessionCallControl> g_objSessionCallControl;  ///< hold/unhold/transfer view
    std::u16string userURI;       ///< user part of the last incoming caller's address
    std::u16string HerName;       ///< text in front of " IDLE"
    rtc::WindowHandle picVideoMe = 0;   ///< owner window of the local video
    rtc::WindowHandle picVideoHer = 0;  ///< owner window of the remote video
    std::u16string URIher;        ///< address to call: number@server
    std::u16string URIme;         ///< kept for the owner; unused here
    std::u16string RegServerIP;   ///< SIP server (host name or address, no port)
    std::u16string RegUserName;   ///< SIP account name
    std::u16string RegPassword;   ///< SIP password (kept in memory only)
    std::u16string RegSIPPort;    ///< SIP port from the account server; stored, unused
    std::u16string LineNumber;    ///< line label in front of most status texts ("Line 1")
    /// Longest wait for the first registration to settle before the line
    /// shows it as failed; the stack keeps trying afterwards.
    std::chrono::milliseconds RegistrationTimeout{std::chrono::seconds(30)};

    // ---- Operations ----
    /// Creates and starts the client, provisions the profile from the Reg*
    /// properties and starts registering. `bVideo` selects audio+video media.
    void Init(bool bVideo = false);
    /// Places a call to URIher (trimmed).
    void Connect();
    /// True while the current call has its remote party: false after a
    /// Connect that could not place the call (nothing to call, no client).
    bool HasParticipant() const { return g_objParticipant != nullptr; }
    /// Answers the current incoming call.
    void Answer();
    /// Rejects a ringing incoming call, or hangs up any other current call.
    void Terminate();
    /// Starts the sign-out; onSignOut follows when the client has cleaned up.
    /// From here on no registration outcome is reported. Throws when there
    /// is no client.
    void ShutDown();
    /// Registers again with the same profile (also lifts a rejection).
    void ReregisterProfile();
    /// Sends the touch tone of keypad key `Index` (0-9, 10 star, 11 pound, 12 flash).
    void Key(const std::int16_t& Index);
    /// Opens the audio tuning dialog over window `hwndParent`.
    void Wizard(std::int64_t hwndParent);
    /// Transfers the current call to strURI@RegServerIP. Throws when there is no call.
    void CallTransfer(const std::u16string& strURI, const std::u16string& strCookie);
    /// Puts the current call on hold.
    void CallHold();
    /// Takes the current call off hold.
    void CallunHold();

    /// The provisioning document Init gives the client for these account values.
    static std::u16string ProvisioningDocument(const std::u16string& userName, const std::u16string& password,
                                               const std::u16string& serverIP);

private:
    void Event(rtc::EventType type, rtc::IRTCEvent& event) override;  // the dispatcher
    void OnClientEvent(rtc::IRTCEvent& event);
    void OnRegistrationStateChange();
    void OnSessionStateChange(rtc::IRTCEvent& event);
    void OnMediaEvent(rtc::IRTCEvent& event);
    void ReportRegistration();
    void GiveUpRegistration();
    void OnNetworkLost();
    void OnNetworkBack();
    void ShowNetworkLost();
    void IncomingSession(rtc::IRTCSessionStateChangeEvent& event);
    bool callInProgress() const;
    void adoptPlacedByStack(const std::shared_ptr<rtc::IRTCSession>& session);
    bool giveBackHeldCall();
    void endHeldCall();
    void setClientWithEvents(std::shared_ptr<rtc::IRTCClient> client);

    template <class Handler, class... Args>
    void raise(Handler handler, Args&&... args) {
        if (events_ != nullptr) (events_->*handler)(std::forward<Args>(args)...);
    }

    ClsRTCPlatform platform_;
    ClsRTCEvents* events_;
    std::unique_ptr<OneShotTimer> registrationWait_;

    std::shared_ptr<rtc::IRTCClient> g_objRTCClientWithEvents;
    std::shared_ptr<rtc::IRTCClientProvisioning> g_objProvisioning;
    std::shared_ptr<rtc::IRTCProfile> g_objProfile;
    std::shared_ptr<rtc::IRTCParticipant> g_objParticipant;
    std::shared_ptr<rtc::IVideoWindow> g_objVideoReceive;
    std::int32_t lHoldCookie = 0;

    /// What the line last showed of the registration. After the first
    /// outcome the stack goes on by itself (retries, refreshes); only a change
    /// of outcome is shown again, and not while a call is in progress.
    enum class Shown { Nothing, Registered, NotRegistered, Rejected, NoNetwork };
    Shown registrationShown_ = Shown::Nothing;
    static Shown shownAs(rtc::RegistrationState state);
    bool registrationReportDeferred_ = false;  // an outcome changed during a call
    bool signingOut_ = false;                  // ShutDown ran: nothing more is reported
    bool currentCallTransferred_ = false;      // the far end referred the current call elsewhere
    bool networkGone_ = false;                 // the client said the network is gone
    /// The call a far-end transfer left on hold while the stack calls the
    /// transfer target, until it ends. Its states do not reach the line (the
    /// new call's status text stays). Should the new call fail before it
    /// connects, the held call is the line's call again (the stack resumes
    /// it); otherwise it is ended with the new call, so no call is left that
    /// the line does not show.
    std::shared_ptr<rtc::IRTCSession> heldByTransfer_;
    bool heldCallComesBack_ = false;  // until the new call connects or the user hangs up
};

}  // namespace pelex::sip_engine
