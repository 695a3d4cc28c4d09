#include "host/host_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QSignalSpy>
#include <fstream>

#include "host/automation_adaptor.h"

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

}  // namespace
}  // namespace pelex::host
