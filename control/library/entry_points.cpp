// The library's four exported entry points and its class factory.

#include <dlfcn.h>

#include <QPointer>
#include <filesystem>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>

#include "control/library/class_registration.h"
#include "control/library/pelex_control_abi.h"
#include "control/library/store_access.h"
#include "control/pelex_control_factory.h"

namespace {

using pelex::control::Pelex_MSN;

// One created control: the ABI header first, so a PelexControl* is the object.
struct ControlObject {
    PelexControl abi;
    QPointer<Pelex_MSN> widget;  // the host's window may delete it first
    PelexHostEvents events{};    // where the control's events go; all null: nowhere
    QMetaObject::Connection lineChanged, callMissed;
};
static_assert(std::is_standard_layout_v<PelexControl>);

// Controls alive; what the unload test answers from.
int live_controls = 0;

std::string ownLibraryPath();

Pelex_MSN* widgetOf(PelexControl* self) {
    return self ? reinterpret_cast<ControlObject*>(self)->widget.data() : nullptr;
}

template <void (Pelex_MSN::*method)()>
void call(PelexControl* self) {
    if (Pelex_MSN* w = widgetOf(self)) (w->*method)();
}

void hideControl(PelexControl* self) {
    if (Pelex_MSN* w = widgetOf(self)) w->hide();
}

void showControl(PelexControl* self) {
    if (Pelex_MSN* w = widgetOf(self)) w->show();
}

void* widgetPointer(PelexControl* self) { return static_cast<QWidget*>(widgetOf(self)); }

PelexResult dialNumber(PelexControl* self, const char* number) {
    Pelex_MSN* w = widgetOf(self);
    if (!w || !number) return PELEX_E_INVALIDARG;
    switch (w->dialNumber(QString::fromUtf8(number))) {
        case Pelex_MSN::LinkDial::Dialling: return PELEX_S_OK;
        case Pelex_MSN::LinkDial::Waiting: return PELEX_S_FALSE;
        case Pelex_MSN::LinkDial::LineBusy: return PELEX_E_LINE_BUSY;
        case Pelex_MSN::LinkDial::NotANumber: break;
    }
    return PELEX_E_INVALIDARG;
}

std::uint32_t lineOf(const Pelex_MSN& w) {
    if (!w.signedIn()) return PELEX_LINE_SIGNED_OUT;
    switch (w.lineState()) {
        case pelex::control::LineState::Idle: return PELEX_LINE_IDLE;
        case pelex::control::LineState::Incoming: return PELEX_LINE_INCOMING;
        case pelex::control::LineState::Busy: return PELEX_LINE_BUSY;
        case pelex::control::LineState::NotReady: break;
    }
    return PELEX_LINE_NOT_READY;
}

void reportLine(const ControlObject& object) {
    const Pelex_MSN* w = object.widget.data();
    if (!w || !object.events.line_changed) return;
    object.events.line_changed(object.events.context, lineOf(*w), w->displayText().toUtf8().constData(),
                               w->offeringCaller().toUtf8().constData());
}

void stopHostEvents(ControlObject& object) {
    QObject::disconnect(object.lineChanged);
    QObject::disconnect(object.callMissed);
    object.events = {};
}

void setHostEvents(PelexControl* self, const PelexHostEvents* events) {
    if (!self) return;
    auto& object = *reinterpret_cast<ControlObject*>(self);
    stopHostEvents(object);
    Pelex_MSN* w = object.widget.data();
    if (!events || !w) return;
    object.events = *events;
    object.lineChanged = QObject::connect(w, &Pelex_MSN::lineChanged, [&object] { reportLine(object); });
    object.callMissed = QObject::connect(w, &Pelex_MSN::callMissed, [&object](const QString& caller) {
        if (object.events.call_missed) object.events.call_missed(object.events.context, caller.toUtf8().constData());
    });
    reportLine(object);
}

const PelexControlVtbl control_vtbl{
    PELEX_CONTROL_ABI_VERSION,
    &call<&Pelex_MSN::imgCall_Click>,
    &call<&Pelex_MSN::imgDiscon_Click>,
    &call<&Pelex_MSN::imgLogin_Click>,
    &call<&Pelex_MSN::imgOption_Click>,
    &call<&Pelex_MSN::newRTC1>,
    &call<&Pelex_MSN::UserControl_Terminate>,
    &hideControl,
    &showControl,
    &widgetPointer,
    &dialNumber,
    &setHostEvents,
};

PelexResult createControl(PelexClassFactory*, void* parent, PelexControl** out) {
    if (!out) return PELEX_E_INVALIDARG;
    *out = nullptr;
    try {
        auto object = std::make_unique<ControlObject>();
        object->abi.vtbl = &control_vtbl;
        const QString folder = QString::fromStdString(std::filesystem::path(ownLibraryPath()).parent_path().string());
        object->widget = pelex::control::createPelexControl(static_cast<QWidget*>(parent), folder).release();
        ++live_controls;
        *out = &object.release()->abi;
        return PELEX_S_OK;
    } catch (...) {
        return PELEX_E_FAIL;
    }
}

void destroyControl(PelexClassFactory*, PelexControl* control) {
    if (!control) return;
    std::unique_ptr<ControlObject> object(reinterpret_cast<ControlObject*>(control));
    stopHostEvents(*object);
    delete object->widget.data();  // its destructor runs the control's terminate handling
    --live_controls;
}

const PelexClassFactoryVtbl factory_vtbl{PELEX_CONTROL_ABI_VERSION, &createControl, &destroyControl};
PelexClassFactory factory{&factory_vtbl};

// The file this code was loaded from.
std::string ownLibraryPath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&createControl), &info) == 0 || !info.dli_fname) return {};
    return info.dli_fname;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) PelexResult DllRegisterServer() {
    try {
        const std::string path = ownLibraryPath();
        if (path.empty()) return PELEX_E_FAIL;
        auto store = pelex::library::openSettingsStore();
        return pelex::library::registerControl(*store, pelex::library::builtInIdentity(), path) ? PELEX_S_OK
                                                                                               : PELEX_E_FAIL;
    } catch (...) {
        return PELEX_E_FAIL;
    }
}

__attribute__((visibility("default"))) PelexResult DllUnregisterServer() {
    try {
        auto store = pelex::library::openSettingsStore();
        return pelex::library::unregisterControl(*store, pelex::library::builtInIdentity()) ? PELEX_S_OK
                                                                                           : PELEX_E_FAIL;
    } catch (...) {
        return PELEX_E_FAIL;
    }
}

__attribute__((visibility("default"))) PelexResult DllGetClassObject(const char* class_id, PelexClassFactory** out) {
    if (!out) return PELEX_E_INVALIDARG;
    *out = nullptr;
    if (!class_id || !pelex::library::sameClassId(class_id, pelex::library::builtInIdentity().class_id))
        return PELEX_E_CLASSNOTAVAILABLE;
    *out = &factory;
    return PELEX_S_OK;
}

__attribute__((visibility("default"))) PelexResult DllCanUnloadNow() {
    return live_controls == 0 ? PELEX_S_OK : PELEX_S_FALSE;
}

}  // extern "C"
