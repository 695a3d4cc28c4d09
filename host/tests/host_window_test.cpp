#include "host/host_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <fstream>

#include "control/library/class_registration.h"
#include "host/automation_adaptor.h"
#include "host/missed_calls.h"
#include "settings/store.h"
#include "control/library/store_access.h"

namespace pelex::host {
namespace {

void application() {}  // made by the test main

const char* kId = "{6C1E2A52-9D4B-4F7E-8A31-5E0B7C2D4F10}";

std::unique_ptr<ControlLibrary> realLibrary() {
    std::string error;
    auto lib = ControlLibrary::load(PELEX_OCX_PATH, error);
    EXPECT_TRUE(lib) << error;
    return lib;
}

TEST(ControlLibrary, MissingFileOrAFileWithoutEntryPointsIsAClearError) {
    std::string error;
    EXPECT_FALSE(ControlLibrary::load("/nonexistent/PelexMSN.ocx", error));
    EXPECT_NE(error.find("cannot be loaded"), std::string::npos) << error;
    const auto text = std::filesystem::temp_directory_path() / "pelex-not-a-library.ocx";
    std::ofstream(text) << "hello";
    EXPECT_FALSE(ControlLibrary::load(text, error));
    std::filesystem::remove(text);
    error.clear();
    EXPECT_FALSE(ControlLibrary::load("libc.so.6", error));
    EXPECT_NE(error.find("not a control library"), std::string::npos) << error;
}

TEST(ControlLibrary, AnotherClassIdIsRefused) {
    auto lib = realLibrary();
    ASSERT_TRUE(lib);
    std::string error;
    EXPECT_EQ(lib->factory("{00000000-0000-0000-0000-000000000001}", error), nullptr);
    EXPECT_NE(error.find("does not provide"), std::string::npos);
    EXPECT_NE(lib->factory(kId, error), nullptr);
}

TEST(ControlLibrary, ALibraryOfAnOlderVersionIsRefusedAndTheNextCopyIsUsed) {
    std::string error;
    auto old = ControlLibrary::load(PELEX_OLD_OCX_PATH, error);
    ASSERT_TRUE(old) << error;
    EXPECT_EQ(old->interfaceVersion(kId), PELEX_CONTROL_ABI_VERSION - 1);
    EXPECT_EQ(old->factory(kId, error), nullptr);
    EXPECT_NE(error.find("an older version"), std::string::npos) << error;

    const std::vector<ControlLocation> copies{{"/nonexistent/PelexMSN.ocx", kId, "the registered control"},
                                              {PELEX_OLD_OCX_PATH, kId, "the installer's copy"},
                                              {PELEX_OCX_PATH, kId, "the packaged control"}};
    std::vector<std::string> passedOver;
    const auto usable = loadFirstUsable(copies, passedOver);
    ASSERT_TRUE(usable);
    EXPECT_EQ(usable->where.library, PELEX_OCX_PATH);
    EXPECT_NE(usable->library->factory(kId, error), nullptr);
    ASSERT_EQ(passedOver.size(), 2u);
    EXPECT_EQ(passedOver[0].rfind("Passed over the registered control: ", 0), 0u) << passedOver[0];
    EXPECT_NE(passedOver[0].find("cannot be loaded"), std::string::npos) << passedOver[0];
    EXPECT_NE(passedOver[1].find(std::string("the installer's copy: The control library ") + PELEX_OLD_OCX_PATH +
                                 " speaks control interface " + std::to_string(PELEX_CONTROL_ABI_VERSION - 1)),
              std::string::npos)
        << passedOver[1];

    passedOver.clear();
    EXPECT_FALSE(loadFirstUsable({copies[0], copies[1]}, passedOver));
    EXPECT_EQ(passedOver.size(), 2u);
}

TEST(HostWindow, ShowsHidesDestroysAndRecreatesTheControl) {
    application();
    auto lib = realLibrary();
    ASSERT_TRUE(lib);
    HostWindow window(std::move(lib), kId, {});
    QSignalSpy painted(&window, &HostWindow::controlPainted);
    ASSERT_TRUE(window.createControl());
    window.show();
    QWidget* w = window.controlWidget();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(painted.wait(5000));
    EXPECT_TRUE(w->isVisible());
    window.hideControl();
    EXPECT_FALSE(w->isVisible());
    window.showControl();
    EXPECT_TRUE(w->isVisible());
    window.destroyControl();
    EXPECT_EQ(window.control(), nullptr);
    EXPECT_NE(window.problem().indexOf(QStringLiteral("closed")), -1);
    window.hideControl();  // nothing to hide: no effect
    ASSERT_TRUE(window.createControl());
    EXPECT_NE(window.controlWidget(), nullptr);
    EXPECT_TRUE(window.problem().isEmpty());
}

TEST(HostWindow, WithoutALibraryItShowsTheProblem) {
    application();
    HostWindow window(nullptr, kId, QStringLiteral("The Pelex soft phone activity is not installed."));
    EXPECT_FALSE(window.createControl());
    EXPECT_EQ(window.control(), nullptr);
    EXPECT_EQ(window.problem(), QStringLiteral("The Pelex soft phone activity is not installed."));
}

TEST(HostWindow, LibraryWithoutTheClassShowsWhy) {
    application();
    HostWindow window(realLibrary(), "{00000000-0000-0000-0000-000000000001}", {});
    EXPECT_FALSE(window.createControl());
    EXPECT_NE(window.problem().indexOf(QStringLiteral("does not provide")), -1);
}

TEST(HostWindow, MissedCallsKeepTheLastTenNewestFirstAndTheUnseenUntilTheUserHasSeenThem) {
    MissedCalls missed;
    QSignalSpy changed(&missed, &MissedCalls::changed);
    const QDateTime nine(QDate(2026, 12, 9), QTime(9, 0));
    for (int i = 0; i < 12; ++i) missed.add(QString::number(1000 + i), nine.addSecs(60 * i));
    ASSERT_EQ(missed.calls().size(), MissedCalls::kKept);
    EXPECT_EQ(missed.calls().front().caller, "1011");
    EXPECT_EQ(missed.calls().back().caller, "1002") << "the two oldest are forgotten";
    EXPECT_EQ(missed.unseen(), MissedCalls::kKept) << "no more unseen than are kept";
    EXPECT_EQ(missed.countText(), "10 missed calls");
    const auto lines = missed.noteText().split(u'\n');
    ASSERT_EQ(lines.size(), 10);
    EXPECT_EQ(lines.front(), "Missed call from 1011 at 09:11");
    EXPECT_EQ(lines.back(), "Missed call from 1002 at 09:02");
    EXPECT_EQ(changed.count(), 12);

    missed.markSeen();
    EXPECT_EQ(missed.unseen(), 0u);
    EXPECT_TRUE(missed.noteText().isEmpty());
    EXPECT_TRUE(missed.countText().isEmpty());
    EXPECT_EQ(missed.calls().size(), MissedCalls::kKept) << "seen calls stay in the list";
    missed.markSeen();
    EXPECT_EQ(changed.count(), 13) << "nothing new to see changes nothing";

    missed.add("+15550100", nine.addSecs(3600));
    EXPECT_EQ(missed.countText(), "1 missed call");
    EXPECT_EQ(missed.noteText(), "Missed call from +15550100 at 10:00");
    EXPECT_EQ(missed.calls().front().caller, "+15550100");
}

TEST(Automation, MethodsWithoutAControlDoNothing) {
    application();
    HostWindow window(nullptr, kId, QStringLiteral("none"));
    AutomationAdaptor adaptor(&window, QDBusConnection(QStringLiteral("none")));
    adaptor.imgLogin_Click();
    adaptor.imgCall_Click();
    adaptor.UserControl_Terminate();
    adaptor.HideControl();
    EXPECT_EQ(window.control(), nullptr);
}

// The host program as a user runs it: from a terminal without a display, in
// a home of its own.
class HostProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "DBUS_SESSION_BUS_ADDRESS"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
        env.insert(QStringLiteral("PELEX_REGISTRY"), home.filePath(QStringLiteral("registry.sqlite")));
        env.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:/nonexistent"));
    }
    struct Run {
        int exitCode = -1;
        std::string out, err;
    };
    Run run(const QStringList& arguments) {
        QProcess host;
        host.setProcessEnvironment(env);
        host.start(QStringLiteral(PELEX_HOST_PATH), arguments);
        EXPECT_TRUE(host.waitForFinished(60000)) << "the host did not end";
        Run r{host.exitStatus() == QProcess::NormalExit ? host.exitCode() : -1,
              host.readAllStandardOutput().toStdString(), host.readAllStandardError().toStdString()};
        return r;
    }
    static bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

    QTemporaryDir home;
    QProcessEnvironment env;
};

TEST_F(HostProgram, VersionAndCheckWorkWithoutADisplay) {
    const Run version = run({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0) << version.err;
    EXPECT_TRUE(has(version.out, std::string("pelexmsn-host ") + PELEX_VERSION + "\n")) << version.out;
    const std::string interface = "control interface " + std::to_string(PELEX_CONTROL_ABI_VERSION) + "\n";
    EXPECT_TRUE(has(version.out, interface)) << version.out;
    EXPECT_TRUE(has(version.out, std::string(PELEX_OCX_PATH) + ": " + interface)) << version.out;

    for (const char* display : {"", ":97"}) {  // none at all, and one that nobody serves
        SCOPED_TRACE(display);
        if (*display) env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
        const Run check = run({QStringLiteral("--check"), QStringLiteral("--library"), QStringLiteral(PELEX_OCX_PATH)});
        EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
        EXPECT_TRUE(has(check.out, "pelexmsn-host: control painted\n")) << check.out << check.err;
        EXPECT_TRUE(has(check.out, "checked offscreen")) << check.out;
    }
}

TEST_F(HostProgram, AControlOfAnOlderVersionGivesWayToTheNextCopyAndIsNamed) {
    // Registered: the old copy. The installer's copy: the current control.
    const std::filesystem::path windows = home.filePath(QStringLiteral("windows")).toStdString();
    const auto copy = windows / "Downloaded Program Files" / "PelexMSN.ocx";
    std::filesystem::create_directories(copy.parent_path());
    std::filesystem::copy_file(PELEX_OCX_PATH, copy);
    {
        auto store = settings::Store::open(home.filePath(QStringLiteral("registry.sqlite")).toStdString());
        auto view = library::viewOf(store);
        ASSERT_TRUE(view->write(kWindowsKey, "PathName", windows.string()));
        ASSERT_TRUE(view->write(library::inprocServerKey(kId), "", PELEX_OLD_OCX_PATH));
    }
    const Run check = run({QStringLiteral("--check")});
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
    EXPECT_TRUE(has(check.out, "pelexmsn-host: showing the control from " + copy.string() + "\n")) << check.out << check.err;
    EXPECT_TRUE(has(check.err, std::string("Passed over the registered control: The control library ") + PELEX_OLD_OCX_PATH +
                                   " speaks control interface"))
        << check.err;
}

}  // namespace
}  // namespace pelex::host
