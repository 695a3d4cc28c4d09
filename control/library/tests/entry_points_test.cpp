// Loads PelexMSN.ocx with dlopen and exercises its four entry points.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QWidget>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "control/library/class_registration.h"
#include "control/library/library_version.h"
#include "control/library/pelex_control_abi.h"
#include "control/library/store_access.h"

namespace fs = std::filesystem;

namespace {

void application() {}  // made by the test main

class EntryPoints : public ::testing::Test {
protected:
    void SetUp() override {
        application();
        folder = fs::temp_directory_path() / ("pelex-ep-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        setenv("PELEX_REGISTRY", (folder / "store.sqlite").c_str(), 1);
        setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
        handle = dlopen(PELEX_OCX_PATH, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        ASSERT_NE(handle, nullptr) << dlerror();
        reg = reinterpret_cast<PelexDllRegisterServerFn>(dlsym(handle, "DllRegisterServer"));
        unreg = reinterpret_cast<PelexDllUnregisterServerFn>(dlsym(handle, "DllUnregisterServer"));
        get = reinterpret_cast<PelexDllGetClassObjectFn>(dlsym(handle, "DllGetClassObject"));
        can_unload = reinterpret_cast<PelexDllCanUnloadNowFn>(dlsym(handle, "DllCanUnloadNow"));
        ASSERT_TRUE(reg && unreg && get && can_unload);
    }
    void TearDown() override {
        if (handle) dlclose(handle);
        fs::remove_all(folder);
    }
    PelexClassFactory* factory() {
        PelexClassFactory* f = nullptr;
        EXPECT_EQ(get(pelex::library::kControlClassId, &f), PELEX_S_OK);
        return f;
    }

    fs::path folder;
    void* handle = nullptr;
    PelexDllRegisterServerFn reg = nullptr;
    PelexDllUnregisterServerFn unreg = nullptr;
    PelexDllGetClassObjectFn get = nullptr;
    PelexDllCanUnloadNowFn can_unload = nullptr;
};

TEST_F(EntryPoints, RegisterWritesTheLibrarysOwnPathAndUnregisterRemovesIt) {
    ASSERT_EQ(reg(), PELEX_S_OK);
    auto store = pelex::library::openSettingsStore();
    const auto key = pelex::library::inprocServerKey(pelex::library::kControlClassId);
    const auto path = store->read(key, "");
    ASSERT_TRUE(path.has_value());
    EXPECT_TRUE(fs::equivalent(*path, PELEX_OCX_PATH));
    EXPECT_EQ(store->read("HKEY_CLASSES_ROOT\\CLSID\\" + std::string(pelex::library::kControlClassId) + "\\Version", ""),
              "2.0.0.2");
    store.reset();

    ASSERT_EQ(unreg(), PELEX_S_OK);
    EXPECT_FALSE(pelex::library::openSettingsStore()->read(key, "").has_value());
}

TEST_F(EntryPoints, ClassFactoryAnswersOnlyTheControlsClassIdInAnyCase) {
    PelexClassFactory* f = reinterpret_cast<PelexClassFactory*>(this);
    EXPECT_EQ(get("{00000000-0000-0000-0000-000000000000}", &f), PELEX_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(f, nullptr);
    EXPECT_EQ(get(nullptr, &f), PELEX_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(get(pelex::library::kControlClassId, nullptr), PELEX_E_INVALIDARG);
    const QString lower = QString::fromLatin1(pelex::library::kControlClassId).toLower();
    EXPECT_EQ(get(lower.toLatin1().constData(), &f), PELEX_S_OK);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->vtbl->abi_version, PELEX_CONTROL_ABI_VERSION);
}

TEST_F(EntryPoints, UnloadTestFollowsTheLiveControls) {
    PelexClassFactory* f = factory();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(can_unload(), PELEX_S_OK);
    QWidget parent;
    PelexControl* a = nullptr;
    PelexControl* b = nullptr;
    ASSERT_EQ(f->vtbl->create(f, &parent, &a), PELEX_S_OK);
    ASSERT_EQ(f->vtbl->create(f, nullptr, &b), PELEX_S_OK);
    EXPECT_EQ(can_unload(), PELEX_S_FALSE);
    f->vtbl->destroy(f, a);
    EXPECT_EQ(can_unload(), PELEX_S_FALSE);
    f->vtbl->destroy(f, b);
    EXPECT_EQ(can_unload(), PELEX_S_OK);
    f->vtbl->destroy(f, nullptr);
    EXPECT_EQ(can_unload(), PELEX_S_OK);
}

TEST_F(EntryPoints, ControlIsAWidgetUnderItsParentThatHidesAndShows) {
    PelexClassFactory* f = factory();
    ASSERT_NE(f, nullptr);
    QWidget parent;
    parent.show();
    PelexControl* c = nullptr;
    ASSERT_EQ(f->vtbl->create(f, &parent, &c), PELEX_S_OK);
    auto* w = static_cast<QWidget*>(c->vtbl->widget(c));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->parentWidget(), &parent);
    c->vtbl->show(c);
    EXPECT_TRUE(w->isVisible());
    c->vtbl->hide(c);
    EXPECT_FALSE(w->isVisible());
    c->vtbl->show(c);
    EXPECT_TRUE(w->isVisible());
    // The automation methods run without an engine or a connection and leave the control alive.
    c->vtbl->UserControl_Terminate(c);
    c->vtbl->imgOption_Click(c);
    c->vtbl->imgDiscon_Click(c);
    EXPECT_EQ(c->vtbl->widget(c), w);
    f->vtbl->destroy(f, c);
}

TEST_F(EntryPoints, DialPutsADialableNumberIntoTheNumberBoxAndRefusesOtherText) {
    PelexClassFactory* f = factory();
    ASSERT_NE(f, nullptr);
    PelexControl* c = nullptr;
    ASSERT_EQ(f->vtbl->create(f, nullptr, &c), PELEX_S_OK);
    auto* w = static_cast<QWidget*>(c->vtbl->widget(c));
    auto* number = w->findChild<QLineEdit*>(QStringLiteral("lblcall"));
    ASSERT_NE(number, nullptr);
    EXPECT_EQ(c->vtbl->dial(c, "+15550100"), PELEX_S_FALSE);  // signed out: kept for after the sign-in
    EXPECT_EQ(number->text(), "+15550100");
    EXPECT_EQ(c->vtbl->dial(c, "tel:1001"), PELEX_E_INVALIDARG);
    EXPECT_EQ(c->vtbl->dial(c, nullptr), PELEX_E_INVALIDARG);
    EXPECT_EQ(number->text(), "+15550100");
    f->vtbl->destroy(f, c);
}

// The host hears of the line at once and then of every change, until it
// asks for no more; the control's own end reports nothing.
TEST_F(EntryPoints, HostEventsReportTheLineAtOnceAndStopWhenAskedOrDestroyed) {
    PelexClassFactory* f = factory();
    ASSERT_NE(f, nullptr);
    PelexControl* c = nullptr;
    ASSERT_EQ(f->vtbl->create(f, nullptr, &c), PELEX_S_OK);
    struct Heard {
        std::vector<uint32_t> states;
    } heard;
    PelexHostEvents events{&heard,
                           [](void* h, uint32_t state, const char*, const char* caller) {
                               static_cast<Heard*>(h)->states.push_back(state);
                               EXPECT_STREQ(caller, "");
                           },
                           nullptr};
    auto* w = static_cast<QWidget*>(c->vtbl->widget(c));
    const auto lineChanges = [w] { QMetaObject::invokeMethod(w, "lineChanged", Qt::DirectConnection); };
    c->vtbl->set_host_events(c, &events);
    ASSERT_EQ(heard.states, std::vector<uint32_t>{PELEX_LINE_SIGNED_OUT});
    lineChanges();
    EXPECT_EQ(heard.states.size(), 2u);
    c->vtbl->set_host_events(c, nullptr);
    lineChanges();
    EXPECT_EQ(heard.states.size(), 2u);
    c->vtbl->set_host_events(c, &events);
    c->vtbl->set_host_events(c, &events);  // a second table replaces the first
    lineChanges();
    EXPECT_EQ(heard.states.size(), 5u);
    f->vtbl->destroy(f, c);
    EXPECT_EQ(heard.states.size(), 5u);
}

TEST_F(EntryPoints, ControlWhoseParentWasDestroyedFirstIsStillDestroyedSafely) {
    PelexClassFactory* f = factory();
    ASSERT_NE(f, nullptr);
    PelexControl* c = nullptr;
    {
        QWidget parent;
        ASSERT_EQ(f->vtbl->create(f, &parent, &c), PELEX_S_OK);
    }
    EXPECT_EQ(c->vtbl->widget(c), nullptr);
    c->vtbl->imgLogin_Click(c);  // no widget left: nothing happens
    PelexHostEvents none{};
    c->vtbl->set_host_events(c, &none);
    f->vtbl->destroy(f, c);
    EXPECT_EQ(can_unload(), PELEX_S_OK);
}

TEST_F(EntryPoints, OnlyTheEntryPointsAreExported) {
    EXPECT_EQ(dlsym(handle, "_ZN5pelex7library15builtInIdentityEv"), nullptr);
}

}  // namespace
