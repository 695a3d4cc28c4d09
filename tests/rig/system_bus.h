#pragma once
// A private system bus (dbus-daemon on a socket path of its own) and a
// stand-in for logind on it, for tests of what the phone does when the
// machine sleeps.
//
//   pelex::testing::SystemBus bus;       // DBUS_SYSTEM_BUS_ADDRESS now names it
//   pelex::testing::StandInLogind logind(bus.address());
//   logind.prepareForSleep(true);  ...  logind.prepareForSleep(false);
//
// The bus ends with the object, and with the test process should it crash.
// Make it before anything in the process first uses the system bus: Qt keeps
// the first system bus connection for the life of the process.

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include "tests/rig/scoped_env.h"

namespace pelex::testing {

class SystemBus {
public:
    SystemBus() {
        char pattern[] = "/tmp/pelex-bus.XXXXXX";
        if (::mkdtemp(pattern) == nullptr) throw std::runtime_error("cannot make a folder for the bus");
        dir_ = pattern;
        address_ = "unix:path=" + dir_ + "/system_bus_socket";
        const std::string config = std::string("--config-file=") + PELEX_SYSTEM_BUS_CONFIG;
        const std::string listen = "--address=" + address_;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);  // gone with the test, whatever happens to it
            ::execlp("dbus-daemon", "dbus-daemon", "--nofork", "--nopidfile", config.c_str(), listen.c_str(),
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        const auto socket = std::filesystem::path(dir_) / "system_bus_socket";
        for (int i = 0; i < 100 && !std::filesystem::exists(socket); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (pid_ < 0 || !std::filesystem::exists(socket)) {
            stop();
            throw std::runtime_error("the private system bus did not start");
        }
        busAddress_.emplace("DBUS_SYSTEM_BUS_ADDRESS", address_);
    }
    ~SystemBus() { stop(); }
    SystemBus(const SystemBus&) = delete;
    SystemBus& operator=(const SystemBus&) = delete;

    /// "unix:path=...", as DBUS_SYSTEM_BUS_ADDRESS has it.
    const std::string& address() const { return address_; }

private:
    void stop() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
        busAddress_.reset();
    }

    std::string dir_;
    std::string address_;
    std::optional<ScopedEnv> busAddress_;  // this bus for the process while it runs
    pid_t pid_ = -1;
};

/// A connection to a bus that sends logind's sleep signal; as logind itself
/// when it owns logind's name, as anyone else otherwise.
class StandInLogind {
public:
    /// Connects to the bus at `address`; owns org.freedesktop.login1 when `ownName`.
    explicit StandInLogind(const std::string& address, bool ownName = true, const QString& connection = "logind")
        : name_(connection), bus_(QDBusConnection::connectToBus(QString::fromStdString(address), connection)) {
        if (!bus_.isConnected()) throw std::runtime_error("the stand-in logind cannot reach the bus");
        if (ownName && !bus_.registerService(QStringLiteral("org.freedesktop.login1")))
            throw std::runtime_error("the stand-in logind cannot own logind's name");
    }
    ~StandInLogind() { QDBusConnection::disconnectFromBus(name_); }
    StandInLogind(const StandInLogind&) = delete;
    StandInLogind& operator=(const StandInLogind&) = delete;

    /// Sends PrepareForSleep(`start`): true before sleeping, false after waking.
    void prepareForSleep(bool start) {
        auto signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                                 QStringLiteral("org.freedesktop.login1.Manager"),
                                                 QStringLiteral("PrepareForSleep"));
        signal << start;
        if (!bus_.send(signal)) throw std::runtime_error("the stand-in logind cannot send");
    }

private:
    QString name_;
    QDBusConnection bus_;
};

}  // namespace pelex::testing
