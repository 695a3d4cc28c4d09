// pelexmsn-host: hosts the soft-phone control the way the messenger hosts an
// activity. See README.md for the command line.

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <cstring>
#include <cstdio>
#include <filesystem>

#include "control/library/store_access.h"
#include "host/automation_adaptor.h"
#include "host/control_locator.h"
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

}  // namespace

int main(int argc, char** argv) {
    // Registration needs no display: a plain application object does then.
    const bool windowless = std::any_of(argv + 1, argv + argc, [](const char* a) {
        return std::strcmp(a, "--register") == 0 || std::strcmp(a, "--unregister") == 0;
    });
    std::unique_ptr<QCoreApplication> application =
        windowless ? std::make_unique<QCoreApplication>(argc, argv) : std::make_unique<QApplication>(argc, argv);
    QCoreApplication& app = *application;
    QCoreApplication::setApplicationName(QStringLiteral("pelexmsn-host"));
    QCommandLineParser cli;
    cli.setApplicationDescription(QStringLiteral("Hosts the Pelex soft phone control like a messenger activity."));
    cli.addHelpOption();
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
    cli.addOptions({library, regsvr, unregsvr, tour, texts, check, noDbus});
    cli.process(app);

    if (cli.isSet(regsvr)) return registration(cli.value(regsvr), false);
    if (cli.isSet(unregsvr)) return registration(cli.value(unregsvr), true);

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
    if (cli.isSet(library)) {
        library_path = cli.value(library).toStdString();
    } else if (store) {
        if (auto where = locateControl(*store, host_folder, error)) {
            library_path = where->library;
            class_id = where->class_id;
        } else {
            problem = QString::fromStdString(error);
        }
    }
    std::unique_ptr<ControlLibrary> lib;
    if (!library_path.empty()) {
        lib = ControlLibrary::load(library_path, error);
        if (!lib) problem = QString::fromStdString(error);
    }

    HostWindow window(std::move(lib), class_id, problem);
    QObject::connect(&window, &HostWindow::controlPainted, [] { say(QStringLiteral("control painted")); });
    if (!problem.isEmpty()) complain(problem);
    else if (window.createControl()) say(QStringLiteral("showing the control from ") + QString::fromStdString(library_path.string()));
    else complain(window.problem());
    window.show();
    if (cli.isSet(check)) {
        if (!window.control()) return 1;
        QObject::connect(&window, &HostWindow::controlPainted, &app, &QCoreApplication::quit);
        QTimer::singleShot(10000, &app, [] { QCoreApplication::exit(1); });
        return app.exec();
    }

    if (!cli.isSet(noDbus) && window.control()) {
        QString why;
        if (!publishAutomation(&window, why)) complain(QStringLiteral("automation over D-Bus is off: ") + why);
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
