// The RTC client on liblinphone: what it wires together. The stack's
// configuration (stack_config), its log (stack_log), its local SIP port
// (local_sip_port), the turn loop (turn_loop), the profiles and their
// registrations (account_registrations), the calls and their sessions
// (call_sessions), touch tones (touch_tones), the sound hooks (call_sound),
// the network and sleep (network_follower) and the sign-out
// (sign_out_cleanup, core_stopper).
#include "sip_engine/linphone/linphone_client.h"

#include "sip_engine/linphone/account_registrations.h"
#include "sip_engine/linphone/call_sessions.h"
#include "sip_engine/linphone/call_sound.h"
#include "sip_engine/linphone/core_stopper.h"
#include "sip_engine/linphone/linphone_objects.h"
#include "sip_engine/linphone/local_sip_port.h"
#include "sip_engine/linphone/network_follower.h"
#include "sip_engine/linphone/qt_one_shot_timer.h"
#include "sip_engine/linphone/sign_out_cleanup.h"
#include "sip_engine/linphone/stack_config.h"
#include "sip_engine/linphone/stack_log.h"
#include "sip_engine/linphone/touch_tones.h"
#include "sip_engine/linphone/turn_loop.h"
#include "sip_engine/rtc/event_values.h"
#include "sip_engine/rtc/rtc_error.h"

namespace pelex::sip_engine::linphone_rtc {

using namespace rtc;

namespace {

class LinphoneClient final : public IRTCClient,
                             public IRTCClientProvisioning,
                             public std::enable_shared_from_this<LinphoneClient> {
public:
    explicit LinphoneClient(LinphoneOptions options)
        : options_(std::move(options)),
          context_(std::make_shared<Context>()),
          listener_(std::make_shared<Listener>(*this)),
          sipPort_(options_.sipPort,
                   [this] {
                       context_->markBusy();
                       if (network_) network_->releaseHold();
                   }),
          registrations_(context_, qtOneShotTimerFactory()),
          sessions_(context_),
          sound_(options_),
          turns_(context_, options_.iterateMs, options_.idleIterateMs, [this] { tick(); }) {}

    ~LinphoneClient() override { stopCore(); }

    void Initialize() override {
        if (context_->core || shutDown_) throw RTCError("the client is already initialized");
        configureStackLog(options_.logFile);
        network_ = std::make_unique<NetworkFollower>(context_, [this] { registrations_.endPauses(); });
        auto core = createStackCore(options_, sipPort_.portToBind(), network_->watching());
        sound_.preparePlayFile(*core);
        core->addListener(listener_);
        if (core->start() != 0) throw RTCError("the SIP stack did not start");
        sipPort_.claim(core);
        if (sipPort_.waiting()) network_->holdUnreachable();
        sound_.start(core);
        context_->core = std::move(core);
        turns_.start();
        network_->start();
    }

    std::shared_ptr<IRTCClientProvisioning> Provisioning() override { return shared_from_this(); }

    void put_EventFilter(std::int32_t filter) override { context_->filter = filter; }

    void put_ListenForIncomingSessions(ListenMode) override {
        // The stack listens from start-up on its own port (see LinphoneOptions::sipPort).
        context_->liveCore();
    }

    void SetPreferredMediaTypes(std::int32_t mediaTypes, bool) override {
        context_->liveCore();
        if ((mediaTypes & (media::AudioSend | media::AudioReceive)) == 0) throw RTCError("calls need audio");
        context_->preferredMedia = mediaTypes;
    }

    std::shared_ptr<IRTCSession> CreateSession(SessionType type, const std::u16string&,
                                               const std::shared_ptr<IRTCProfile>&, std::int32_t) override {
        context_->liveCore();
        if (type != SessionType::PcToPc && type != SessionType::PcToPhone)
            throw RTCError("only voice sessions are supported");
        sound_.beforeCall();
        return std::make_shared<LinphoneSession>(context_);
    }

    void PlayRing(RingType, bool play) override {
        auto& core = context_->liveCore();
        if (!play) core.stopRinging();
        else if (core.playLocal(core.getRing()) != 0) throw RTCError("cannot play the ring");
    }

    void SendDTMF(std::int32_t toneCode) override { tones_.send(context_->liveCore(), toneCode); }

    void InvokeTuningWizard(WindowHandle parent) override {
        if (signOut_.begun()) throw RTCError("the client is signing out");
        // The dialog runs the event loop, in which the client may be shut down
        // and released: the client and the core stay while it is open.
        const auto keepAlive = shared_from_this();
        auto core = context_->core;
        sound_.runTuningWizard(core, parent);
    }

    void PrepareForShutdown() override {
        auto& core = context_->signallingCore();
        if (!signOut_.begin(core)) return;
        registrations_.stopAll(core);
    }

    void Shutdown() override {
        context_->liveCore();
        stopCore();
        shutDown_ = true;
    }

    void Advise(IRTCEventSink& sink) override { context_->sink = &sink; }
    void Unadvise() override { context_->sink = nullptr; }

    std::shared_ptr<IRTCProfile> CreateProfile(const std::u16string& document) override {
        return registrations_.create(document);
    }
    void EnableProfile(const std::shared_ptr<IRTCProfile>& profile, std::int32_t) override {
        registrations_.enable(profile);
        // The network watch follows the route to the account's server.
        auto p = std::dynamic_pointer_cast<LinphoneProfile>(profile);
        if (network_ && p && p->account)
            if (auto server = p->account->getParams()->getServerAddress()) network_->setServer(server->getDomain());
    }
    void DisableProfile(const std::shared_ptr<IRTCProfile>& profile) override { registrations_.disable(profile); }

private:
    /// Hands the stack's callbacks to the client's parts (while it lives).
    class Listener final : public linphone::CoreListener {
    public:
        explicit Listener(LinphoneClient& owner) : owner_(owner) {}
        void onAccountRegistrationStateChanged(const std::shared_ptr<linphone::Core>&,
                                               const std::shared_ptr<linphone::Account>& account,
                                               linphone::RegistrationState state,
                                               const std::string& message) override {
            owner_.registrations_.onStateChanged(account, state, message);
        }
        void onCallStateChanged(const std::shared_ptr<linphone::Core>&, const std::shared_ptr<linphone::Call>& call,
                                linphone::Call::State state, const std::string&) override {
            owner_.sound_.onCallState(*call, state);
            owner_.sessions_.onCallState(call, state);
        }

    private:
        LinphoneClient& owner_;
    };

    // One turn of the stack, then the events it caused reach the sink.
    void tick() {
        auto keepAlive = shared_from_this();  // a handler may release the last outside reference
        if (!turns_.turn([this](linphone::Core& core) { sound_.probeIfDue(core); })) return;
        if (signOut_.finishedNow(*context_->core)) {
            context_->post(EventType::Client, [](IRTCEventSink& sink, EventType type) {
                ClientEvent event(ClientEventType::AsyncCleanupDone);
                sink.Event(type, event);
            });
        }
        context_->drain();
    }

    // The stack's calls and accounts must go before the core that made them:
    // the engine may hold sessions and profiles longer than the client, so
    // they let go of them here, and only then is the core stopped.
    void stopCore() {
        network_.reset();
        turns_.stop();
        sipPort_.release();
        tones_.clear();
        sound_.release();
        context_->discard();
        sessions_.release();
        registrations_.release();
        if (auto core = std::exchange(context_->core, nullptr)) {
            core->removeListener(listener_);
            stopInBackground(std::move(core));
        }
    }

    LinphoneOptions options_;
    std::shared_ptr<Context> context_;
    std::shared_ptr<Listener> listener_;
    LocalSipPort sipPort_;
    AccountRegistrations registrations_;
    CallSessions sessions_;
    CallSound sound_;
    TouchTones tones_;
    SignOutCleanup signOut_;
    TurnLoop turns_;
    std::unique_ptr<NetworkFollower> network_;
    bool shutDown_ = false;
};

}  // namespace

std::shared_ptr<IRTCClient> createLinphoneClient(LinphoneOptions options) {
    return std::make_shared<LinphoneClient>(std::move(options));
}

RTCClientFactory linphoneClientFactory() {
    return [] { return createLinphoneClient(); };
}

RTCClientFactory linphoneClientFactory(std::shared_ptr<sound::SoundServer> server,
                                       std::shared_ptr<AudioChoiceStore> choices, SoundNoteHandler note) {
    return [server = std::move(server), choices = std::move(choices), note = std::move(note)] {
        auto options = LinphoneOptions::fromEnvironment();
        options.soundServer = server;
        options.audioChoices = choices;
        options.soundNote = note;
        return createLinphoneClient(std::move(options));
    };
}

}  // namespace pelex::sip_engine::linphone_rtc
