// Figures of the hosted phone, one "name value unit" line each:
//   - time from starting pelexmsn-host to the control painted (a fresh process each run);
//   - time from the sign-in click to the idle text, against the local service
//     (the loopback rig's Kamailio and the reference account server);
//   - resident memory before signing in (the stack's libraries loaded, no
//     stack running) and while signed in, registered and idle, that split into
//     anonymous and file-backed pages, and the largest mappings it is made of
//     (libraries by name, anonymous memory as [anon]).
// The sign-in and memory figures are taken in this process, which hosts the
// control library exactly as pelexmsn-host does.
//
//   pelex-host-bench [--runs N] [--idle-seconds S]

#include <QAbstractButton>
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "host/accessible_tree.h"
#include "host/host_window.h"

using namespace pelex::host;

namespace {

const QString kIdle = QStringLiteral("Line 1 is initialized and ready to make/receive calls.");

void figure(const char* name, double value, const char* unit) {
    std::printf("%s %.1f %s\n", name, value, unit);
    std::fflush(stdout);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

bool waitUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(500);
    }
    return true;
}

// Memory of this process in MB, from /proc/self/status: resident, peak
// resident, and the resident part that is anonymous (its own heap, stacks and
// the library data it wrote) and file-backed (library pages it mapped,
// shared with every other process that maps them).
struct Resident {
    double rss = 0, hwm = 0, anon = 0, file = 0;
};
Resident residentMb() {
    QFile f(QStringLiteral("/proc/self/status"));
    Resident r;
    if (!f.open(QIODevice::ReadOnly)) return r;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const auto kb = line.mid(line.indexOf(':') + 1).trimmed().split(' ').value(0).toDouble();
        if (line.startsWith("VmRSS:")) r.rss = kb / 1024;
        if (line.startsWith("VmHWM:")) r.hwm = kb / 1024;
        if (line.startsWith("RssAnon:")) r.anon = kb / 1024;
        if (line.startsWith("RssFile:")) r.file = kb / 1024;
    }
    return r;
}

// Resident memory of this process by mapping (/proc/self/smaps), in MB,
// largest first: each file by its name, anonymous memory as "[anon]".
std::vector<std::pair<QString, double>> residentByMapping() {
    QFile f(QStringLiteral("/proc/self/smaps"));
    QHash<QString, double> byName;
    if (!f.open(QIODevice::ReadOnly)) return {};
    QString name;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("Rss:")) {
            byName[name] += line.mid(4).trimmed().split(' ').value(0).toDouble() / 1024;
            continue;
        }
        const QList<QByteArray> fields = line.simplified().split(' ');
        // A mapping's header: address range, permissions, offset, device, inode[, path].
        if (fields.size() >= 5 && fields[0].contains('-') && !fields[0].endsWith(':')) {
            const QString path = fields.size() >= 6 ? QString::fromUtf8(fields.mid(5).join(' ')) : QString();
            name = path.isEmpty() ? QStringLiteral("[anon]") : path.section(QLatin1Char('/'), -1);
        }
    }
    std::vector<std::pair<QString, double>> sorted(byName.keyValueBegin(), byName.keyValueEnd());
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    return sorted;
}

// Starts pelexmsn-host `runs` times; milliseconds from start to "control painted".
std::vector<double> startToPainted(const QString& bin, int runs, const QProcessEnvironment& env) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QProcess host;
        host.setProcessEnvironment(env);
        host.setProcessChannelMode(QProcess::SeparateChannels);
        QElapsedTimer clock;
        clock.start();
        host.start(bin + QStringLiteral("/pelexmsn-host"),
                   {QStringLiteral("--library"), bin + QStringLiteral("/PelexMSN.ocx"), QStringLiteral("--no-dbus"),
                    QStringLiteral("--check")});
        QByteArray out;
        while (!out.contains("control painted") && host.waitForReadyRead(10000)) out += host.readAllStandardOutput();
        const double ms = clock.nsecsElapsed() / 1e6;
        host.waitForFinished(10000);
        if (!out.contains("control painted")) {
            std::fprintf(stderr, "pelex-host-bench: the host did not paint: %s\n", host.readAllStandardError().constData());
            continue;
        }
        times.push_back(ms);
    }
    return times;
}

// The loopback rig and the account server, stopped on destruction.
class DemoService {
public:
    DemoService(const QString& source, const QString& bin, const QString& folder) : source_(source) {
        env_ = QProcessEnvironment::systemEnvironment();
        env_.insert(QStringLiteral("PELEX_RIG_DIR"), folder + QStringLiteral("/rig"));
        // The phone registers with its SIP server on the standard port.
        env_.insert(QStringLiteral("PELEX_RIG_BASE_PORT"), QStringLiteral("5060"));
        QProcess rig;
        rig.setProcessEnvironment(env_);
        rig.start(QStringLiteral("bash"), {source + QStringLiteral("/tests/rig/rig.sh"), QStringLiteral("start")});
        rig_started_ = true;
        if (!rig.waitForFinished(90000) || rig.exitCode() != 0) {
            error = QStringLiteral("rig.sh start failed: ") + QString::fromUtf8(rig.readAllStandardError());
            return;
        }
        QHash<QString, QString> values;
        for (const QByteArray& line : rig.readAllStandardOutput().split('\n'))
            if (const int eq = line.indexOf('='); eq > 0) values[QString::fromUtf8(line.left(eq))] = QString::fromUtf8(line.mid(eq + 1));
        number = values.value(QStringLiteral("PELEX_RIG_PHONE_USER"));
        password = QStringLiteral("bench") + number;
        QFile accounts(folder + QStringLiteral("/accounts.json"));
        accounts.open(QIODevice::WriteOnly);
        accounts.write(QStringLiteral("{\"%1\": {\"password\": \"%2\", \"sip_password\": \"%3\", \"expired\": false}}")
                           .arg(number, password, values.value(QStringLiteral("PELEX_RIG_PHONE_PASSWORD")))
                           .toUtf8());
        accounts.close();
        server_.start(bin + QStringLiteral("/corvo-account-server"),
                      {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--accounts"),
                       accounts.fileName(), QStringLiteral("--sip-server"), QStringLiteral("127.0.0.1"),
                       QStringLiteral("--sip-port"), values.value(QStringLiteral("PELEX_RIG_SIP_PORT"))});
        QByteArray out;
        while (!out.contains('\n') && server_.waitForReadyRead(10000)) out += server_.readAllStandardOutput();
        const auto m = QRegularExpression(QStringLiteral("listening on (\\S+)")).match(QString::fromUtf8(out));
        if (!m.hasMatch()) {
            error = QStringLiteral("the account server did not start");
            return;
        }
        address = m.captured(1);
    }
    ~DemoService() {
        server_.terminate();
        server_.waitForFinished(5000);
        if (rig_started_) {
            QProcess rig;
            rig.setProcessEnvironment(env_);
            rig.start(QStringLiteral("bash"), {source_ + QStringLiteral("/tests/rig/rig.sh"), QStringLiteral("stop")});
            rig.waitForFinished(60000);
        }
    }
    QString error, number, password, address;

private:
    QString source_;
    QProcessEnvironment env_;
    QProcess server_;
    bool rig_started_ = false;
};

bool shows(QWidget* root, const QString& text) { return root && visibleTexts(root).contains(text); }

// Clicks the button named `name` at once (the accessibility press action
// clicks only after a short animation, which would count in the figures).
bool click(QWidget* root, const QString& name) {
    for (QAbstractButton* b : root->findChildren<QAbstractButton*>())
        if (b->accessibleName() == name && b->isVisibleTo(root) && b->isEnabled()) {
            b->click();
            return true;
        }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("PULSE_SERVER", "unix:/nonexistent");
    QApplication app(argc, argv);
    QCommandLineParser cli;
    cli.addHelpOption();
    const QCommandLineOption runsOpt(QStringLiteral("runs"), QStringLiteral("Runs of each timing."), QStringLiteral("n"), QStringLiteral("5"));
    const QCommandLineOption idleOpt(QStringLiteral("idle-seconds"), QStringLiteral("Idle time before memory is read."),
                                     QStringLiteral("s"), QStringLiteral("5"));
    cli.addOptions({runsOpt, idleOpt});
    cli.process(app);
    const int runs = std::max(1, cli.value(runsOpt).toInt());
    const QString bin = QStringLiteral(PELEX_BIN_DIR);

    QTemporaryDir folder;
    qputenv("PELEX_REGISTRY", (folder.path() + QStringLiteral("/registry.sqlite")).toUtf8());
    qputenv("XDG_DATA_HOME", (folder.path() + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (folder.path() + QStringLiteral("/config")).toUtf8());

    const auto painted = startToPainted(bin, runs, QProcessEnvironment::systemEnvironment());
    if (painted.empty()) return 1;
    figure("start_to_painted_median", median(painted), "ms");
    figure("start_to_painted_max", *std::max_element(painted.begin(), painted.end()), "ms");

    DemoService service(QStringLiteral(PELEX_SOURCE_DIR), bin, folder.path());
    if (!service.error.isEmpty()) {
        std::fprintf(stderr, "pelex-host-bench: %s\n", qPrintable(service.error));
        return 1;
    }
    qputenv("PELEX_ACCOUNT_SERVER", service.address.toUtf8());
    qputenv("PELEX_WEB_SITE", "http://localhost:9");

    std::string error;
    auto library = ControlLibrary::load((bin + QStringLiteral("/PelexMSN.ocx")).toStdString(), error);
    if (!library) {
        std::fprintf(stderr, "pelex-host-bench: %s\n", error.c_str());
        return 1;
    }
    HostWindow window(std::move(library), PELEX_CONTROL_CLSID, {});
    if (!window.createControl()) return 1;
    window.show();
    QWidget* control = window.controlWidget();
    for (QLineEdit* box : control->findChildren<QLineEdit*>()) {
        if (box->accessibleName() == QStringLiteral("VOIP Number")) box->setText(service.number);
        if (box->accessibleName() == QStringLiteral("Password")) box->setText(service.password);
    }

    // The control is up and the stack's libraries are loaded, but no stack runs yet.
    waitUntil([&] { return findPressable(control, QStringLiteral("Sign in")) != nullptr; }, 20000);
    figure("resident_before_sign_in", residentMb().rss, "MB");

    std::vector<double> sign_in;
    for (int i = 0; i < runs; ++i) {
        if (!waitUntil([&] { return findPressable(control, QStringLiteral("Sign in")) != nullptr; }, 20000)) {
            std::fprintf(stderr, "pelex-host-bench: no sign-in button\n");
            return 1;
        }
        QElapsedTimer clock;
        clock.start();
        click(control, QStringLiteral("Sign in"));
        if (!waitUntil([&] { return shows(control, kIdle); }, 20000)) {
            std::fprintf(stderr, "pelex-host-bench: no idle text after signing in: %s\n",
                         qPrintable(visibleTexts(control).join(QStringLiteral(" | "))));
            return 1;
        }
        sign_in.push_back(clock.nsecsElapsed() / 1e6);
        if (i + 1 == runs) break;
        press(control, QStringLiteral("Sign out"));
    }
    figure("sign_in_click_to_idle_median", median(sign_in), "ms");
    figure("sign_in_click_to_idle_max", *std::max_element(sign_in.begin(), sign_in.end()), "ms");

    waitUntil([] { return false; }, cli.value(idleOpt).toInt() * 1000);
    const Resident idle = residentMb();
    figure("resident_idle_registered", idle.rss, "MB");
    figure("resident_peak", idle.hwm, "MB");
    figure("resident_idle_anonymous", idle.anon, "MB");
    figure("resident_idle_file", idle.file, "MB");
    // Where it goes: the largest mappings, then how many libraries hold the rest.
    const auto mappings = residentByMapping();
    double rest = 0;
    for (std::size_t i = 0; i < mappings.size(); ++i) {
        if (i < 15) std::printf("resident_by_mapping %s %.1f MB\n", qPrintable(mappings[i].first), mappings[i].second);
        else rest += mappings[i].second;
    }
    std::printf("resident_by_mapping (%zu others) %.1f MB\n", mappings.size() > 15 ? mappings.size() - 15 : 0, rest);
    std::fflush(stdout);
    press(control, QStringLiteral("Sign out"));
    waitUntil([&] { return findPressable(control, QStringLiteral("Sign in")) != nullptr; }, 10000);
    window.destroyControl();
    return 0;
}
