// The RTC client on liblinphone: start-up, provisioning, events, shut-down.
#include "sip_engine/linphone/linphone_client.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <mutex>

#include "sip_engine/linphone/core_stopper.h"
#include "sip_engine/linphone/linphone_objects.h"
#include "sip_engine/linphone/sip_socket_watch.h"
#include "sip_engine/linphone/tone_file.h"
#include "sip_engine/linphone/tone_pacer.h"
#include "sip_engine/linphone/tuning_wizard.h"
#include "sip_engine/rtc/event_values.h"
#include "sip_engine/rtc/rtc_error.h"

namespace pelex::sip_engine::linphone_rtc {

using namespace rtc;

namespace {

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

/// Sends the stack's log to a file of ours, or nowhere. The stack logs from
/// its media and resolver threads as well as from ours, so writes are
/// serialised.
class LogSink final : public linphone::LoggingServiceListener {
public:
    explicit LogSink(const std::filesystem::path& file) {
        if (!file.empty()) out_.open(file, std::ios::app);
    }
    void onLogMessageWritten(const std::shared_ptr<linphone::LoggingService>&, const std::string& domain,
                             linphone::LogLevel, const std::string& message) override {
        const std::lock_guard lock(mutex_);
        if (!out_) return;
        const auto now = std::chrono::system_clock::now();
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
        const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
        std::tm local{};
        localtime_r(&seconds, &local);
        char stamp[16];
        std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                      static_cast<int>(ms));
        out_ << stamp << ' ' << domain << ": " << message << '\n';
    }

private:
    std::mutex mutex_;
    std::ofstream out_;
};

void configureLogging(const std::filesystem::path& logFile) {
    // The stack's logging service is process-wide: set it up once.
    static std::once_flag once;
    std::call_once(once, [&] {
        auto service = linphone::LoggingService::get();
        service->addListener(std::make_shared<LogSink>(logFile));
        service->setLogLevel(logFile.empty() ? linphone::LogLevel::Fatal : linphone::LogLevel::Message);
    });
}

bool isRejection(int code) { return code == 401 || code == 403 || code == 407; }

/// Longest ring of an unanswered incoming call (see Initialize).
constexpr int kIncomingCallBoundSeconds = 300;
/// Shortest time between the starts of two attempts to register.
constexpr auto kRegistrationRetrySpacing = std::chrono::seconds(60);

class LinphoneClient final : public IRTCClient,
                             public IRTCClientProvisioning,
                             public std::enable_shared_from_this<LinphoneClient> {
public:
    explicit LinphoneClient(LinphoneOptions options)
        : options_(std::move(options)),
          context_(std::make_shared<Context>()),
          listener_(std::make_shared<Listener>(*this)) {}

    ~LinphoneClient() override { stopCore(); }

    void Initialize() override {
        if (context_->core || shutDown_) throw RTCError("the client is already initialized");
        std::filesystem::create_directories(options_.dataDir);
        configureLogging(options_.logFile);
        auto factory = linphone::Factory::get();
        const std::string dir = options_.dataDir.string() + "/";
        factory->setDataDir(dir);
        factory->setConfigDir(dir);
        factory->setDownloadDir(dir);

        // In memory: nothing of the account (nor its password) reaches a file.
        auto config = factory->createConfigFromString("");
        config->setString("storage", "uri", "null");
        config->setString("storage", "call_logs_db_uri", "null");
        config->setString("storage", "zrtp_secrets_db_uri", "null");
        config->setString("misc", "uuid", "0");
        config->setInt("sip", "sip_port", options_.sipPort);
        config->setInt("sip", "sip_tcp_port", 0);
        config->setInt("sip", "sip_tls_port", 0);
        config->setInt("misc", "max_calls", 4);
        config->setInt("sound", "echocancellation", 0);
        // The jitter buffer starts at 40 ms and adapts to the network from
        // there; the stack's 60 ms start made the mouth-to-ear delay on a
        // quiet network about 210 to 270 ms instead of about 100 ms.
        config->setInt("rtp", "audio_jitt_comp", 40);
        // The phone rings and plays its ring-back itself; the stack's own
        // ringer and ring-back tone stay silent ("native" ringing is the
        // stack's name for an application that rings by itself).
        config->setInt("sound", "use_native_ringing", 1);
        // Nor its other tones (call waiting, on hold, the beeps when a call
        // ends or fails): the phone's sounds are its own, and the stack's
        // tone player lingering after each call only delays the next one.
        config->setInt("sound", "tone_indications", 0);
        // An unanswered incoming call rings until the caller gives up. The
        // bound only ends a call whose cancel never arrived (proxies give up
        // after two or three minutes), and it answers "not available", not busy.
        config->setInt("sip", "inc_timeout", kIncomingCallBoundSeconds);
        config->setInt("sip", "inc_timeout_status_code", 480);
        config->setInt("video", "capture", 0);
        config->setInt("video", "display", 0);
        auto core = factory->createCoreWithConfig(config, nullptr);
        if (!core) throw RTCError("the SIP stack did not start");
        core->enableAutoIterate(false);
        core->setRingback("");  // no ring-back tone from the stack
        core->setUserAgent("Pelex", "2.0");
        core->enableVideoCapture(false);
        core->enableVideoDisplay(false);
        if (options_.rtpPortMin > 0) core->setAudioPortRange(options_.rtpPortMin, options_.rtpPortMax);
        else core->setAudioPort(-1);
        if (options_.audioFromFiles) {
            const auto tone = options_.dataDir / "send-tone.wav";
            writeToneFile(tone);
            core->setUseFiles(true);
            core->setPlayFile(tone.string());
        } else {
            // Sent in place of a microphone only when the stack has no capture
            // device at all.
            const auto silence = options_.dataDir / "silence.wav";
            writeSilenceFile(silence);
            core->setPlayFile(silence.string());
        }
        core->addListener(listener_);
        if (core->start() != 0) throw RTCError("the SIP stack did not start");
        std::shared_ptr<sound::SoundServer> server;
        if (!options_.audioFromFiles)
            server = options_.soundServer ? options_.soundServer : std::make_shared<sound::SoundServer>();
        sound_ = std::make_shared<SoundDevices>(core, std::move(server), options_.audioChoices, options_.soundNote);
        if (!options_.audioFromFiles) sound_->refresh();
        context_->core = std::move(core);

        timer_ = std::make_unique<QTimer>();
        QObject::connect(timer_.get(), &QTimer::timeout, [weak = weak_from_this()] {
            if (auto self = weak.lock()) self->tick();
        });
        timer_->start(options_.iterateMs);
        context_->onBusy = [this] { paceTurns(); };
    }

    std::shared_ptr<IRTCClientProvisioning> Provisioning() override { return shared_from_this(); }

    void put_EventFilter(std::int32_t filter) override { context_->filter = filter; }

    void put_ListenForIncomingSessions(ListenMode) override {
        // The stack listens from start-up on its own port (see LinphoneOptions::sipPort).
        context_->liveCore();
    }

    void SetPreferredMediaTypes(std::int32_t mediaTypes, bool) override {
        context_->liveCore();
        if ((mediaTypes & (media::AudioSend | media::AudioReceive)) == 0)
            throw RTCError("calls need audio");
        context_->preferredMedia = mediaTypes;
    }

    std::shared_ptr<IRTCSession> CreateSession(SessionType type, const std::u16string&,
                                               const std::shared_ptr<IRTCProfile>&, std::int32_t) override {
        context_->liveCore();
        if (type != SessionType::PcToPc && type != SessionType::PcToPhone)
            throw RTCError("only voice sessions are supported");
        // The call about to be placed takes the devices in place now.
        if (sound_ && !options_.audioFromFiles) sound_->refresh();
        return std::make_shared<LinphoneSession>(context_);
    }

    void PlayRing(RingType, bool play) override {
        auto& core = context_->liveCore();
        if (!play) core.stopRinging();
        else if (core.playLocal(core.getRing()) != 0) throw RTCError("cannot play the ring");
    }

    void SendDTMF(std::int32_t toneCode) override {
        static constexpr char kTones[] = "0123456789*#ABCD!";
        if (toneCode < 0 || toneCode > 16) throw RTCError("no such touch tone");
        auto call = context_->liveCore().getCurrentCall();
        if (!call) throw RTCError("no call to send a touch tone on");
        // Tones still waiting for an earlier call are not sent on this one.
        if (toneCall_.lock() != call) tones_.clear();
        toneCall_ = call;
        tones_.add(kTones[toneCode]);
    }

    /// Hands one paced tone to the call it was meant for, while that call lasts.
    bool sendTone(char tone) {
        auto call = toneCall_.lock();
        if (!call || !context_->core) return false;
        const auto state = call->getState();
        if (state == linphone::Call::State::End || state == linphone::Call::State::Released ||
            state == linphone::Call::State::Error)
            return false;
        return call->sendDtmf(tone) == 0;
    }

    void InvokeTuningWizard(WindowHandle parent) override {
        auto core = context_->core;
        if (!core || shuttingDown_) throw RTCError("the client is not running");
        if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
            throw RTCError("no user interface to show the tuning dialog in");
        // The dialog runs the event loop: the client may be shut down and
        // released meanwhile. It lives on until the dialog is closed, and
        // the dialog holds what it uses.
        const auto keepAlive = shared_from_this();
        runTuningWizard(core, sound_, parent, options_.dataDir);
    }

    void PrepareForShutdown() override {
        auto& core = context_->signallingCore();
        if (shuttingDown_) return;
        shuttingDown_ = true;
        cleanupDeadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        core.terminateAllCalls();
        for (const auto& account : core.getAccountList()) {
            auto params = account->getParams()->clone();
            params->enableRegister(false);
            account->setParams(params);
        }
    }

    void Shutdown() override {
        context_->liveCore();
        stopCore();
        shutDown_ = true;
    }

    void Advise(IRTCEventSink& sink) override { context_->sink = &sink; }
    void Unadvise() override { context_->sink = nullptr; }

    std::shared_ptr<IRTCProfile> CreateProfile(const std::u16string& document) override {
        context_->liveCore();
        auto profile = std::make_shared<LinphoneProfile>(readProvisioning(document));
        context_->profiles.push_back(profile);
        return profile;
    }

    void EnableProfile(const std::shared_ptr<IRTCProfile>& profile, std::int32_t) override {
        auto& core = context_->signallingCore();
        auto p = std::dynamic_pointer_cast<LinphoneProfile>(profile);
        if (!p) throw RTCError("not a profile of this client");
        p->rejected = false;
        p->retryPending = false;
        ++p->retryGeneration;
        if (!p->account) {
            p->account = createAccount(core, p->provisioned);
            core.addAccount(p->account);
            core.setDefaultAccount(p->account);
        } else {
            auto params = p->account->getParams()->clone();
            params->enableRegister(true);
            p->account->setParams(params);
            p->account->refreshRegister();
        }
    }

    void DisableProfile(const std::shared_ptr<IRTCProfile>& profile) override {
        context_->signallingCore();
        auto p = std::dynamic_pointer_cast<LinphoneProfile>(profile);
        if (!p) throw RTCError("not a profile of this client");
        if (!p->account) return;
        const bool wasRegistered = p->state == RegistrationState::Registered;
        p->rejected = false;
        p->retryPending = false;
        ++p->retryGeneration;
        auto params = p->account->getParams()->clone();
        params->enableRegister(false);
        p->account->setParams(params);
        setProfileState(*p, wasRegistered ? RegistrationState::Unregistering : RegistrationState::NotRegistered,
                        0, u"");
    }

    void onAccountRegistrationStateChanged(const std::shared_ptr<linphone::Account>& account,
                                           linphone::RegistrationState state, const std::string& message) {
        auto profile = profileOf(account);
        // Unregistering is part of the shut-down, which ends with its own
        // clean-up event rather than a registration failure.
        if (!profile || profile->rejected || shuttingDown_) return;
        const auto info = account->getErrorInfo();
        const int code = info ? info->getProtocolCode() : 0;
        using R = linphone::RegistrationState;
        RegistrationState mapped = profile->state;
        switch (state) {
            case R::None:
            case R::Cleared:
                // Pausing between attempts clears the account; it is still failing.
                if (profile->retryPending) return;
                mapped = RegistrationState::NotRegistered;
                break;
            case R::Progress:
                profile->attemptStarted = std::chrono::steady_clock::now();
                if (profile->state != RegistrationState::Registered) mapped = RegistrationState::Registering;
                break;
            case R::Ok: mapped = RegistrationState::Registered; break;
            case R::Failed:
                if (isRejection(code)) {
                    // A rejected password is not tried again by itself: retries
                    // with the same wrong password get accounts locked.
                    profile->rejected = true;
                    setRegistering(*account, false);
                    mapped = RegistrationState::Rejected;
                } else {
                    mapped = RegistrationState::Error;
                    retryLater(profile);
                }
                break;
            default: break;
        }
        setProfileState(*profile, mapped, code, utf16(info && !info->getPhrase().empty() ? info->getPhrase() : message));
    }

    void onCallStateChanged(const std::shared_ptr<linphone::Call>& call, linphone::Call::State state) {
        onCallSound(*call, state);
        std::shared_ptr<LinphoneSession> session;
        if (auto found = context_->sessions.find(call.get()); found != context_->sessions.end())
            session = found->second.lock();
        if (!session && state == linphone::Call::State::Released) return;
        if (!session && call->getDir() == linphone::Call::Dir::Outgoing) session = context_->placing.lock();
        if (!session) {
            // An incoming call, or a call the stack placed by itself (after a transfer).
            session = std::make_shared<LinphoneSession>(context_);
            session->adopt(call);
            sessionsKeptAlive_.push_back(session);
        } else if (!session->call) {
            session->call = call;
            context_->sessions[call.get()] = session;
        }
        session->onCallState(state);
        if (state == linphone::Call::State::Released) std::erase(sessionsKeptAlive_, session);
    }

private:
    /// Hands the stack's callbacks to the client (while it lives).
    class Listener final : public linphone::CoreListener {
    public:
        explicit Listener(LinphoneClient& owner) : owner_(owner) {}
        void onAccountRegistrationStateChanged(const std::shared_ptr<linphone::Core>&,
                                               const std::shared_ptr<linphone::Account>& account,
                                               linphone::RegistrationState state,
                                               const std::string& message) override {
            owner_.onAccountRegistrationStateChanged(account, state, message);
        }
        void onCallStateChanged(const std::shared_ptr<linphone::Core>&, const std::shared_ptr<linphone::Call>& call,
                                linphone::Call::State state, const std::string&) override {
            owner_.onCallStateChanged(call, state);
        }

    private:
        LinphoneClient& owner_;
    };

    // Each call starts on the devices in place now (the desktop's default may
    // have changed); a device that came or went during a call is taken into
    // the stack's list once the last call is gone.
    void onCallSound(linphone::Call& call, linphone::Call::State state) {
        using S = linphone::Call::State;
        if (!sound_ || options_.audioFromFiles || !context_->core) return;
        if (state == S::IncomingReceived) {
            sound_->refresh();
            sound_->applyTo(call);
        }
        else if (state == S::Released) soundProbeDue_ = true;  // once the call is gone (tick)
    }
    void probeSoundIfDue() {
        if (!soundProbeDue_ || !sound_ || context_->core->getCallsNb() != 0) return;
        soundProbeDue_ = false;
        sound_->reloadIfDue();
    }

    static std::shared_ptr<linphone::Account> createAccount(linphone::Core& core, const ProvisionedProfile& p) {
        const ProvisionedServer* registrar = p.server(u"registrar");
        const ProvisionedServer* proxy = p.server(u"proxy");
        if (!registrar) registrar = proxy ? proxy : &p.servers.front();
        auto transport = [](const ProvisionedServer& s) {
            if (s.protocol == u"TCP") return linphone::TransportType::Tcp;
            if (s.protocol == u"TLS") return linphone::TransportType::Tls;
            return linphone::TransportType::Udp;
        };
        auto params = core.createAccountParams();
        if (params->setIdentityAddress(sipAddress(p.uri)) != 0) throw RTCError("bad user address");
        auto server = serverAddress(registrar->addr);
        server->setTransport(transport(*registrar));
        if (params->setServerAddress(server) != 0) throw RTCError("bad server address");
        if (proxy && proxy->addr != registrar->addr) {
            auto route = serverAddress(proxy->addr);
            route->setTransport(transport(*proxy));
            params->setRoutesAddresses({route});
        }
        params->enableRegister(true);
        auto factory = linphone::Factory::get();
        core.addAuthInfo(factory->createAuthInfo(utf8(p.account), "", utf8(p.password), "", "", ""));
        auto account = core.createAccount(params);
        if (!account) throw RTCError("the account could not be created");
        return account;
    }

    static void setRegistering(linphone::Account& account, bool on) {
        auto params = account.getParams()->clone();
        params->enableRegister(on);
        account.setParams(params);
    }

    // A registration that failed (no answer, a server error) is tried again,
    // but no sooner than a minute after the previous attempt began: the
    // stack by itself would try again two seconds after a timeout. Meanwhile
    // the account is paused, and taken up again when the minute is over.
    void retryLater(const std::shared_ptr<LinphoneProfile>& profile) {
        const auto due = profile->attemptStarted + kRegistrationRetrySpacing;
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(due - std::chrono::steady_clock::now());
        if (wait.count() <= 0 || !profile->account) return;
        profile->retryPending = true;
        setRegistering(*profile->account, false);
        const auto generation = ++profile->retryGeneration;
        QTimer::singleShot(wait, timer_.get(), [weak = std::weak_ptr(profile), generation, this] {
            auto p = weak.lock();
            if (!p || p->retryGeneration != generation || !p->retryPending || shuttingDown_ || !p->account) return;
            p->retryPending = false;
            context_->markBusy();
            setRegistering(*p->account, true);  // registers again at once
        });
    }

    std::shared_ptr<LinphoneProfile> profileOf(const std::shared_ptr<linphone::Account>& account) {
        for (const auto& weak : context_->profiles)
            if (auto p = weak.lock(); p && p->account == account) return p;
        return nullptr;
    }

    void setProfileState(LinphoneProfile& profile, RegistrationState state, std::int32_t code,
                         std::u16string text) {
        if (profile.state == state) return;
        profile.state = state;
        auto event = std::make_shared<RegistrationEvent>();
        event->state = state;
        event->code = code;
        event->text = std::move(text);
        for (const auto& weak : context_->profiles)
            if (auto p = weak.lock(); p.get() == &profile) event->profile = p;
        context_->post(EventType::RegistrationStateChange,
                       [event](IRTCEventSink& sink, EventType type) { sink.Event(type, *event); });
    }

    // The stack turns at once when a SIP message arrives (sipSocket_), every
    // iterateMs for its timers, and every 2 ms for two seconds after we
    // asked it to send something (it sends some requests on a later turn),
    // so signalling round trips stay short without costing an idle phone its
    // CPU.
    void tick() {
        if (iterating_ || !context_->core) return;
        iterating_ = true;
        context_->core->iterate();
        probeSoundIfDue();
        iterating_ = false;
        if (!context_->core) return;
        if (auto transports = context_->core->getTransportsUsed()) sipSocket_.follow(transports->getUdpPort());
        paceTurns();
        if (shuttingDown_ && !cleanupPosted_ && cleanupDone()) {
            cleanupPosted_ = true;
            context_->post(EventType::Client, [](IRTCEventSink& sink, EventType type) {
                ClientEvent event(ClientEventType::AsyncCleanupDone);
                sink.Event(type, event);
            });
        }
        auto keepAlive = shared_from_this();  // a handler may release the last outside reference
        context_->drain();
    }

    // Every 2 ms while signalling is under way (the stack defers some sending
    // to its next turn), else every iterateMs. A changed interval restarts
    // the timer, so a request just made is sent within 2 ms.
    void paceTurns() {
        if (!timer_) return;
        const bool busy = std::chrono::steady_clock::now() < context_->busyUntil;
        const int interval = busy ? std::min(2, options_.iterateMs) : options_.iterateMs;
        if (timer_->interval() != interval) timer_->setInterval(interval);
    }

    bool cleanupDone() const {
        if (std::chrono::steady_clock::now() > cleanupDeadline_) return true;
        auto& core = *context_->core;
        return core.getCallsNb() == 0 && !anyAccountRegistered(core);
    }

    // The stack's calls and accounts must go before the core that made them:
    // the engine may hold sessions and profiles longer than the client, so
    // they let go of them here, and only then is the core stopped.
    void stopCore() {
        context_->onBusy = nullptr;
        tones_.clear();
        toneCall_.reset();
        timer_.reset();
        if (sound_) sound_->detach();  // an open tuning dialog may still hold it
        sound_.reset();
        sipSocket_.follow(0);
        context_->discard();
        for (auto& [call, weak] : context_->sessions)
            if (auto session = weak.lock()) session->detach();
        context_->sessions.clear();
        sessionsKeptAlive_.clear();
        for (const auto& weak : context_->profiles)
            if (auto profile = weak.lock()) profile->account.reset();
        if (auto core = std::exchange(context_->core, nullptr)) {
            core->removeListener(listener_);
            stopInBackground(std::move(core));
        }
    }

    LinphoneOptions options_;
    std::shared_ptr<Context> context_;
    std::shared_ptr<Listener> listener_;
    std::unique_ptr<QTimer> timer_;
    std::shared_ptr<SoundDevices> sound_;
    bool soundProbeDue_ = false;
    SipSocketWatch sipSocket_{[this] { tick(); }};
    TonePacer tones_{[this](char tone) { return sendTone(tone); }};
    std::weak_ptr<linphone::Call> toneCall_;
    std::vector<std::shared_ptr<LinphoneSession>> sessionsKeptAlive_;  // calls the stack started
    bool iterating_ = false;
    bool shuttingDown_ = false;
    bool cleanupPosted_ = false;
    bool shutDown_ = false;
    std::chrono::steady_clock::time_point cleanupDeadline_{};
};

}  // namespace

LinphoneOptions LinphoneOptions::fromEnvironment() {
    LinphoneOptions options;
    if (auto dir = env("PELEX_SIP_DATA_DIR"); !dir.empty()) {
        options.dataDir = dir;
    } else {
        const auto xdg = env("XDG_DATA_HOME");
        const auto base = !xdg.empty() ? std::filesystem::path(xdg)
                                       : std::filesystem::path(env("HOME")) / ".local" / "share";
        options.dataDir = base / "pelex" / "sip";
    }
    if (auto port = env("PELEX_SIP_LOCAL_PORT"); !port.empty()) options.sipPort = std::atoi(port.c_str());
    if (auto ports = env("PELEX_SIP_RTP_PORTS"); !ports.empty()) {
        if (const auto dash = ports.find('-'); dash != std::string::npos) {
            options.rtpPortMin = std::atoi(ports.substr(0, dash).c_str());
            options.rtpPortMax = std::atoi(ports.substr(dash + 1).c_str());
        }
    }
    options.audioFromFiles = env("PELEX_SIP_AUDIO") == "files";
    if (auto log = env("PELEX_SIP_LOG"); !log.empty())
        options.logFile = log == "1" ? options.dataDir / "linphone.log" : std::filesystem::path(log);
    return options;
}

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
