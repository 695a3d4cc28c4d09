// pelexmsn-host: hosts the soft-phone control the way the messenger hosts an
// activity. See README.md for the command line.

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <cstring>
#include <cstdio>
#include <filesystem>

#include "control/library/store_access.h"
#include "host/automation_adaptor.h"
#include "host/call_link.h"
#include "host/control_locator.h"
#include "host/desktop_presence.h"
#include "host/display_watcher.h"
#include "host/host_window.h"
#include "host/tour.h"
#include "host/build_identity.h"

namespace fs = std::filesystem;
using namespace pelex::host;

namespace {

int signal_pipe[2] = {-1, -1};  // written by the signal handler, read by the event loop

void onSignal(int) {
    const char b = 1;
    [[maybe_unused]] auto n = write(signal_pipe[1], &b, 1);
}

void say(const QString& line) {
    std::printf("pelexmsn-host: %s\n", qPrintable(line));
    std::fflush(stdout);
}

void complain(const QString& line) {
    std::fprintf(stderr, "pelexmsn-host: %s\n", qPrintable(line));
    std::fflush(stderr);
}

// regsvr-style: loads the library and calls one of its registration entry points.
int registration(const QString& path, bool unregister) {
    std::string error;
    auto lib = ControlLibrary::load(path.toStdString(), error);
    if (!lib) {
        complain(QString::fromStdString(error));
        return 1;
    }
    const PelexResult r = unregister ? lib->unregisterServer() : lib->registerServer();
    if (r != PELEX_S_OK) {
        complain((unregister ? QStringLiteral("DllUnregisterServer failed in ") : QStringLiteral("DllRegisterServer failed in ")) + path);
        return 1;
    }
    say((unregister ? QStringLiteral("unregistered ") : QStringLiteral("registered ")) + path);
    return 0;
}

// What a user or a packager may set; shown by --help and kept in step with
// README.md.
const char* const kSettings = R"(Settings (environment variables):
  PELEX_ACCOUNT_SERVER  The account server as host or host:port ([v6address]:port
                        for IPv6). Default account.vozedezor.example:5061.
  PELEX_WEB_SITE        The service's web site (home and sign-up pages), as a
                        host name or an address. Default http://www.vozedezor.example.
  PELEX_REGISTRY        The settings store file (the registry: saved number,
                        password, options, the control's registration). Default
                        $XDG_CONFIG_HOME/pelex/registry.sqlite.
  XDG_CONFIG_HOME       Base of the settings store. Default ~/.config.
  XDG_DATA_HOME         Base of the SIP engine's folder and of the folder that
                        stands for the Windows folder ($XDG_DATA_HOME/pelex/windows,
                        where the installer puts the control). Default ~/.local/share.
  PELEX_SIP_DATA_DIR    The SIP engine's folder. Default $XDG_DATA_HOME/pelex/sip.
  PELEX_SIP_LOCAL_PORT  Local SIP port (UDP and TCP). Default: a free port.
  PELEX_SIP_RTP_PORTS   Local RTP port range as min-max. Default: free ports.
  PELEX_SIP_AUDIO       "files": send a generated tone instead of the microphone.
  PELEX_SIP_RING_BOUND  Seconds an unanswered incoming call may ring before the
                        phone answers "not available" (480). Default 300.
  PELEX_SIP_LOG         "1": write the SIP stack's log into the SIP engine's
                        folder; any other text: the log file to write.
  DISPLAY, WAYLAND_DISPLAY  The display the window opens on (X11, Wayland).
                        Without one, --check draws offscreen.

Call links: pelexmsn-host tel:NUMBER (also sip:NUMBER@HOST, callto:NUMBER, or a
plain number) dials the number once the line is idle, after the sign-in if need
be: when that is within a minute of the link or of the sign-in, and the number
box was not edited meanwhile (else the number stays in the box). When the phone
runs already, the number goes to it over D-Bus and this start ends once the
phone has taken it: exit code 0, 2 for a link that names no number, 3 while a
call is in progress.)";

// Exit codes of a start that hands its link to the running phone.
constexpr int kHandedOver = 0, kHandOverFailed = 1, kNotDialable = 2, kLineBusy = 3;
// The running phone answers Dial once it has taken the number, which waits
// while one of its message boxes is open: a user reading it gets that long.
constexpr int kDialReplyMs = 120000, kPresentReplyMs = 10000;

bool isStarting(const QDBusMessage& reply) {
    const QString name = reply.errorName();
    return name == QStringLiteral("org.freedesktop.DBus.Error.UnknownObject") ||
           name == QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod") ||
           name == QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface");
}

// Another phone owns the service name: give it the link (or bring it to the
// front). It may still be starting up, so it is asked again for a while.
int handOver(QDBusConnection& bus, const QString& link) {
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kDBusService), QString::fromLatin1(kDBusObject),
                                                       QString::fromLatin1(kDBusInterface),
                                                       link.isEmpty() ? QStringLiteral("Present") : QStringLiteral("Dial"));
    if (!link.isEmpty()) call << link;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QDBusMessage reply = bus.call(call, QDBus::Block, link.isEmpty() ? kPresentReplyMs : kDialReplyMs);
        if (reply.type() == QDBusMessage::ReplyMessage) {
            if (link.isEmpty()) say(QStringLiteral("the phone is running already; brought it to the front"));
            else say(QStringLiteral("handed %1 to the running phone").arg(reply.arguments().value(0).toString()));
            return kHandedOver;
        }
        if (reply.errorName() == QString::fromLatin1(kDBusNotDialable)) {
            complain(reply.errorMessage());
            return kNotDialable;
        }
        if (reply.errorName() == QString::fromLatin1(kDBusLineBusy)) {
            complain(QStringLiteral("the running phone did not dial: ") + reply.errorMessage());
            return kLineBusy;
        }
        if (!isStarting(reply)) {
            complain(QStringLiteral("the running phone did not answer: ") + reply.errorMessage());
            return kHandOverFailed;
        }
        QThread::msleep(100);
    }
    complain(QStringLiteral("the running phone did not become ready"));
    return kHandOverFailed;
}

bool given(int argc, char** argv, std::initializer_list<const char*> options) {
    return std::any_of(argv + 1, argv + argc, [&](const char* a) {
        for (const char* option : options)
            if (std::strcmp(a, option) == 0) return true;
        return false;
    });
}

// The check of an installed phone runs on any terminal: when no display
// answers, Qt draws offscreen instead of ending with its platform error. A
// platform the user chose stays as it is. Returns true when it chose.
bool drawOffscreenWithoutADisplay() {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) return false;
    QByteArray platforms;
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) platforms += "wayland;";
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) platforms += "xcb;";
    qputenv("QT_QPA_PLATFORM", platforms + "offscreen");
    return true;
}

// The phone's version and the control interface this host speaks, and the
// interface of each control library beside it or in its package folder.
int printVersion(const fs::path& host_folder) {
    std::printf("pelexmsn-host %s\ncontrol interface %u\n", kVersion, unsigned(PELEX_CONTROL_ABI_VERSION));
    for (const fs::path& folder : {host_folder, (host_folder / kPackagedControlFolder).lexically_normal()}) {
        const fs::path file = folder / kControlFile;
        std::error_code ec;
        if (!fs::is_regular_file(file, ec)) continue;
        std::string error;
        const auto lib = ControlLibrary::load(file, error);
        const auto version = lib ? lib->interfaceVersion(kBuiltClassId) : std::nullopt;
        if (version) std::printf("%s: control interface %u\n", file.c_str(), unsigned(*version));
        else std::printf("%s: %s\n", file.c_str(), lib ? "does not provide the control" : error.c_str());
    }
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Registration needs no display: a plain application object does then.
    // So do the help text and the version.
    const bool windowless =
        given(argc, argv, {"--register", "--unregister", "--help", "-h", "--help-all", "-?", "--version", "-v"});
    const bool offscreenIfNeeded = given(argc, argv, {"--check"}) && drawOffscreenWithoutADisplay();
    std::unique_ptr<QCoreApplication> application =
        windowless ? std::make_unique<QCoreApplication>(argc, argv) : std::make_unique<QApplication>(argc, argv);
    QCoreApplication& app = *application;
    QCoreApplication::setApplicationName(QStringLiteral("pelexmsn-host"));
    QCommandLineParser cli;
    cli.setApplicationDescription(QStringLiteral("Hosts the Pelex soft phone control like a messenger activity.\n\n") +
                                  QString::fromUtf8(kSettings));
    cli.addHelpOption();
    cli.addPositionalArgument(QStringLiteral("link"), QStringLiteral("A tel:, sip: or callto: link (or a number) to dial."),
                              QStringLiteral("[link]"));
    const QCommandLineOption library({QStringLiteral("l"), QStringLiteral("library")},
                                     QStringLiteral("Load the control from this library file instead of looking it up."),
                                     QStringLiteral("path"));
    const QCommandLineOption regsvr(QStringLiteral("register"),
                                    QStringLiteral("Register the control library at this path and exit."), QStringLiteral("path"));
    const QCommandLineOption unregsvr(QStringLiteral("unregister"),
                                      QStringLiteral("Unregister the control library at this path and exit."),
                                      QStringLiteral("path"));
    const QCommandLineOption tour(QStringLiteral("tour"),
                                  QStringLiteral("Run a scripted tour that dials this number, then exit."),
                                  QStringLiteral("number"));
    const QCommandLineOption texts(QStringLiteral("print-texts"),
                                   QStringLiteral("Print each text the control shows as it appears."));
    const QCommandLineOption check(QStringLiteral("check"),
                                   QStringLiteral("Find, load and show the control, then exit: 0 once it is painted, "
                                                  "1 when it cannot be shown."));
    const QCommandLineOption noDbus(QStringLiteral("no-dbus"), QStringLiteral("Do not offer the automation interface on D-Bus."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Print the version and the control interface, then exit."));
    cli.addOptions({library, regsvr, unregsvr, tour, texts, check, noDbus, version});
    cli.process(app);

    if (cli.isSet(version)) return printVersion(fs::path(QCoreApplication::applicationDirPath().toStdString()));
    if (cli.isSet(regsvr)) return registration(cli.value(regsvr), false);
    if (cli.isSet(unregsvr)) return registration(cli.value(unregsvr), true);
    if (cli.positionalArguments().size() > 1) {
        complain(QStringLiteral("give at most one link to dial"));
        return kNotDialable;
    }
    const QString link = cli.positionalArguments().value(0);

    // One phone per session: the first start owns the automation name; a
    // later start hands its link to it and ends.
    const bool automation = !cli.isSet(noDbus) && !cli.isSet(check) && !cli.isSet(tour);
    bool ownsName = false;
    QDBusConnection bus = automation ? QDBusConnection::sessionBus() : QDBusConnection(QStringLiteral("unused"));
    if (automation) {
        bool taken = false;
        QString why;
        ownsName = claimAutomationName(bus, taken, why);
        if (taken) return handOver(bus, link);
        if (!ownsName) complain(QStringLiteral("automation over D-Bus is off: ") + why);
    }

    const fs::path host_folder = fs::path(QCoreApplication::applicationDirPath().toStdString());
    std::unique_ptr<pelex::library::RegistrationStore> store;
    QString problem;
    try {
        store = pelex::library::openSettingsStore();
        if (!registerHostFolder(*store, host_folder))
            complain(QStringLiteral("could not register this folder as the messenger's folder"));
    } catch (const std::exception& e) {
        problem = QStringLiteral("The settings store cannot be opened: ") + QString::fromUtf8(e.what());
    }

    std::string class_id = kBuiltClassId;
    fs::path library_path;
    std::string error;
    std::unique_ptr<ControlLibrary> lib;
    if (cli.isSet(library)) {
        library_path = cli.value(library).toStdString();
        lib = ControlLibrary::load(library_path, error);
        if (!lib) problem = QString::fromStdString(error);
    } else if (store) {
        // The first copy this host can use; one left by an older version of
        // the phone (the installer's, a registration) gives way to the next.
        const auto copies =
            locateControls(*store, host_folder, error, (host_folder / kPackagedControlFolder).lexically_normal());
        std::vector<std::string> passedOver;
        auto usable = copies.empty() ? std::nullopt : loadFirstUsable(copies, passedOver);
        for (const auto& why : passedOver) complain(QString::fromStdString(why));
        if (usable) {
            lib = std::move(usable->library);
            library_path = usable->where.library;
            class_id = usable->where.class_id;
        } else if (copies.empty()) {
            problem = QString::fromStdString(error);
        } else {
            problem = QStringLiteral("No copy of the Pelex soft phone control can be used. Reinstall the phone.");
            for (const auto& why : passedOver) problem += QStringLiteral("\n\n") + QString::fromStdString(why);
        }
    }

    HostWindow window(std::move(lib), class_id, problem);
    QObject::connect(&window, &HostWindow::controlPainted, [] { say(QStringLiteral("control painted")); });
    if (!problem.isEmpty()) complain(problem);
    else if (window.createControl()) say(QStringLiteral("showing the control from ") + QString::fromStdString(library_path.string()));
    else complain(window.problem());
    window.show();
    if (cli.isSet(check)) {
        if (!window.control()) return 1;
        if (offscreenIfNeeded && QGuiApplication::platformName() == QStringLiteral("offscreen"))
            say(QStringLiteral("no display answered: the control is checked offscreen"));
        QObject::connect(&window, &HostWindow::controlPainted, &app, &QCoreApplication::quit);
        QTimer::singleShot(10000, &app, [] { QCoreApplication::exit(1); });
        return app.exec();
    }

    if (ownsName) {
        QString why;
        if (!publishAutomation(&window, bus, why)) complain(QStringLiteral("automation over D-Bus is off: ") + why);
    }
    // Calls reach the user when the window is behind others: notifications
    // and the tray icon (a tour is watched in its window only).
    std::unique_ptr<DesktopPresence> presence;
    if (!cli.isSet(tour)) {
        presence = std::make_unique<DesktopPresence>(window, QDBusConnection::sessionBus());
        QObject::connect(&presence->alerts(), &CallAlerts::told, [](const QString& what) { say(what); });
    }
    if (!link.isEmpty()) {
        window.dialLink(link, [](const DialOutcome& outcome) {
            if (outcome.kind == DialOutcome::Kind::Dialling) say(QStringLiteral("dialling %1").arg(outcome.number));
            else if (outcome.taken()) say(QStringLiteral("will dial %1 once the line is idle").arg(outcome.number));
            else complain(outcome.error);
        });
    }

    // SIGTERM and SIGINT end the event loop, so the control is destroyed
    // properly. A tour runs outside that loop and keeps the default: it ends.
    std::unique_ptr<QSocketNotifier> signals_in;
    if (!cli.isSet(tour) && pipe2(signal_pipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        signals_in = std::make_unique<QSocketNotifier>(signal_pipe[0], QSocketNotifier::Read);
        QObject::connect(signals_in.get(), &QSocketNotifier::activated, &app, &QCoreApplication::quit);
        std::signal(SIGTERM, onSignal);
        std::signal(SIGINT, onSignal);
    }

    auto control = [&window] { return window.controlWidget(); };
    std::unique_ptr<DisplayWatcher> watcher;
    if (cli.isSet(texts) || cli.isSet(tour)) {
        watcher = std::make_unique<DisplayWatcher>(control, 20);
        QObject::connect(watcher.get(), &DisplayWatcher::textAppeared,
                         [](const QString& t) { std::printf("display: %s\n", qPrintable(t)), std::fflush(stdout); });
    }
    if (cli.isSet(tour)) {
        if (!window.control()) return 1;
        const int result = runTour(control, cli.value(tour));
        window.destroyControl();
        return result;
    }
    return app.exec();
}
