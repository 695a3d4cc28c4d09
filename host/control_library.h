#pragma once
// A control library loaded into the host and the one control made from it.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "control/library/pelex_control_abi.h"
#include "host/control_locator.h"

class QWidget;

namespace pelex::host {

/// The loaded library: its entry points stay valid while this object lives.
/// On destruction the library is unloaded only if it says no objects remain.
class ControlLibrary {
public:
    /// Loads `path` and resolves the four entry points. Returns nothing and
    /// sets `error` to a sentence for the user when that fails.
    static std::unique_ptr<ControlLibrary> load(const std::filesystem::path& path, std::string& error);
    ~ControlLibrary();
    ControlLibrary(const ControlLibrary&) = delete;
    ControlLibrary& operator=(const ControlLibrary&) = delete;

    /// The class factory for `class_id`, or null with `error` set (also
    /// when the library speaks another control interface than this host).
    PelexClassFactory* factory(const std::string& class_id, std::string& error) const;
    /// The control interface version the library speaks for `class_id`, or
    /// nothing when it does not provide that class.
    std::optional<std::uint32_t> interfaceVersion(const std::string& class_id) const;
    PelexResult registerServer() const { return register_(); }
    PelexResult unregisterServer() const { return unregister_(); }
    PelexResult canUnloadNow() const { return can_unload_(); }
    const std::filesystem::path& path() const { return path_; }

private:
    ControlLibrary() = default;
    void* handle_ = nullptr;
    std::filesystem::path path_;
    PelexDllRegisterServerFn register_ = nullptr;
    PelexDllUnregisterServerFn unregister_ = nullptr;
    PelexDllGetClassObjectFn get_class_object_ = nullptr;
    PelexDllCanUnloadNowFn can_unload_ = nullptr;
};

/// A loaded control library the host can use, and which copy it is.
struct UsableControl {
    std::unique_ptr<ControlLibrary> library;
    ControlLocation where;
};

/// Loads the first of `copies` (best first) that provides its class in this
/// host's control interface. Each copy passed over adds a sentence to
/// `passedOver` naming it and why; nothing when no copy can be used.
std::optional<UsableControl> loadFirstUsable(const std::vector<ControlLocation>& copies,
                                             std::vector<std::string>& passedOver);

/// One control made by a class factory; destroyed with it.
class HostedControl {
public:
    /// What the control reports (PelexHostEvents, with C++ callables).
    struct Events {
        /// The line's state (PELEX_LINE_*), display text and offering caller.
        std::function<void(std::uint32_t state, const std::string& display, const std::string& caller)> lineChanged;
        /// An offered call ended unanswered and not declined.
        std::function<void(const std::string& caller)> callMissed;
    };

    /// Creates a control under `parent`; returns nothing with `error` set on failure.
    static std::unique_ptr<HostedControl> create(PelexClassFactory* factory, QWidget* parent, std::string& error);
    ~HostedControl();
    HostedControl(const HostedControl&) = delete;
    HostedControl& operator=(const HostedControl&) = delete;

    QWidget* widget() const;
    void imgCall_Click() { control_->vtbl->imgCall_Click(control_); }
    void imgDiscon_Click() { control_->vtbl->imgDiscon_Click(control_); }
    void imgLogin_Click() { control_->vtbl->imgLogin_Click(control_); }
    void imgOption_Click() { control_->vtbl->imgOption_Click(control_); }
    void newRTC1() { control_->vtbl->newRTC1(control_); }
    void UserControl_Terminate() { control_->vtbl->UserControl_Terminate(control_); }
    void hide() { control_->vtbl->hide(control_); }
    void show() { control_->vtbl->show(control_); }
    /// Hands the control a number to dial; the control's answer (see
    /// PelexControlVtbl::dial).
    PelexResult dial(const std::string& number) { return control_->vtbl->dial(control_, number.c_str()); }
    /// Sends the control's events to `events` from now on; the current line
    /// is reported at once. They stop when this object goes.
    void setEvents(Events events);

private:
    HostedControl(PelexClassFactory* factory, PelexControl* control) : factory_(factory), control_(control) {}
    static void lineChanged(void* self, std::uint32_t state, const char* display, const char* caller);
    static void callMissed(void* self, const char* caller);
    PelexClassFactory* factory_;
    PelexControl* control_;
    Events events_;
};

}  // namespace pelex::host
