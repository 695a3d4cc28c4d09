#include "host/control_library.h"

#include <dlfcn.h>

namespace pelex::host {

namespace {
template <typename Fn>
Fn symbol(void* handle, const char* name) {
    return reinterpret_cast<Fn>(dlsym(handle, name));
}
}  // namespace

std::unique_ptr<ControlLibrary> ControlLibrary::load(const std::filesystem::path& path, std::string& error) {
    // Kept mapped after dlclose: the SIP stack inside registers process-exit
    // handlers that must still find their code when the host exits.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle) {
        const char* why = dlerror();
        error = "The control library " + path.string() + " cannot be loaded: " + (why ? why : "unknown error") + ".";
        return nullptr;
    }
    std::unique_ptr<ControlLibrary> lib(new ControlLibrary);
    lib->handle_ = handle;
    lib->path_ = path;
    lib->register_ = symbol<PelexDllRegisterServerFn>(handle, "DllRegisterServer");
    lib->unregister_ = symbol<PelexDllUnregisterServerFn>(handle, "DllUnregisterServer");
    lib->get_class_object_ = symbol<PelexDllGetClassObjectFn>(handle, "DllGetClassObject");
    lib->can_unload_ = symbol<PelexDllCanUnloadNowFn>(handle, "DllCanUnloadNow");
    if (!lib->register_ || !lib->unregister_ || !lib->get_class_object_ || !lib->can_unload_) {
        error = "The file " + path.string() + " is not a control library: its entry points are missing.";
        lib->can_unload_ = nullptr;  // nothing was created from it; unload it
        return nullptr;
    }
    return lib;
}

ControlLibrary::~ControlLibrary() {
    if (!can_unload_ || can_unload_() == PELEX_S_OK) dlclose(handle_);
}

std::optional<std::uint32_t> ControlLibrary::interfaceVersion(const std::string& class_id) const {
    PelexClassFactory* f = nullptr;
    if (get_class_object_(class_id.c_str(), &f) != PELEX_S_OK || !f || !f->vtbl) return std::nullopt;
    return f->vtbl->abi_version;
}

PelexClassFactory* ControlLibrary::factory(const std::string& class_id, std::string& error) const {
    const auto version = interfaceVersion(class_id);
    if (!version) {
        error = "The control library " + path_.string() + " does not provide the control " + class_id + ".";
        return nullptr;
    }
    if (*version != PELEX_CONTROL_ABI_VERSION) {
        error = "The control library " + path_.string() + " speaks control interface " + std::to_string(*version) +
                ", and this host speaks " + std::to_string(PELEX_CONTROL_ABI_VERSION) + ": it comes from " +
                (*version < PELEX_CONTROL_ABI_VERSION ? "an older" : "a newer") + " version of the phone.";
        return nullptr;
    }
    PelexClassFactory* f = nullptr;
    get_class_object_(class_id.c_str(), &f);
    return f;
}

std::optional<UsableControl> loadFirstUsable(const std::vector<ControlLocation>& copies,
                                             std::vector<std::string>& passedOver) {
    for (const auto& copy : copies) {
        std::string error;
        auto library = ControlLibrary::load(copy.library, error);
        if (library && library->factory(copy.class_id, error)) return UsableControl{std::move(library), copy};
        passedOver.push_back("Passed over " + copy.kind + ": " + error);
    }
    return std::nullopt;
}

std::unique_ptr<HostedControl> HostedControl::create(PelexClassFactory* factory, QWidget* parent, std::string& error) {
    PelexControl* control = nullptr;
    if (factory->vtbl->create(factory, parent, &control) != PELEX_S_OK || !control) {
        error = "The control could not be created.";
        return nullptr;
    }
    if (control->vtbl->abi_version != PELEX_CONTROL_ABI_VERSION) {
        factory->vtbl->destroy(factory, control);
        error = "The control was built for another host version.";
        return nullptr;
    }
    return std::unique_ptr<HostedControl>(new HostedControl(factory, control));
}

HostedControl::~HostedControl() {
    // Destroying the control ends its call and signs out: nothing of that
    // reaches a host that is letting it go.
    control_->vtbl->set_host_events(control_, nullptr);
    factory_->vtbl->destroy(factory_, control_);
}

void HostedControl::setEvents(Events events) {
    events_ = std::move(events);
    const PelexHostEvents table{this, &HostedControl::lineChanged, &HostedControl::callMissed};
    control_->vtbl->set_host_events(control_, &table);
}

void HostedControl::lineChanged(void* self, std::uint32_t state, const char* display, const char* caller) {
    const auto& on = static_cast<HostedControl*>(self)->events_.lineChanged;
    if (on) on(state, display ? display : "", caller ? caller : "");
}

void HostedControl::callMissed(void* self, const char* caller) {
    const auto& on = static_cast<HostedControl*>(self)->events_.callMissed;
    if (on) on(caller ? caller : "");
}

QWidget* HostedControl::widget() const { return static_cast<QWidget*>(control_->vtbl->widget(control_)); }

}  // namespace pelex::host
