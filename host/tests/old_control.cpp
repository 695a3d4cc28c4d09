// A control library left behind by an older version of the phone: it has
// the four entry points, but its class factory speaks an older control
// interface than the host being tested.

#include "control/library/pelex_control_abi.h"

namespace {

PelexResult create(PelexClassFactory*, void*, PelexControl** out) {
    if (out) *out = nullptr;
    return PELEX_E_FAIL;
}
void destroy(PelexClassFactory*, PelexControl*) {}

const PelexClassFactoryVtbl factory_vtbl{PELEX_CONTROL_ABI_VERSION - 1, &create, &destroy};
PelexClassFactory factory{&factory_vtbl};

}  // namespace

extern "C" {
PelexResult DllRegisterServer() { return PELEX_E_FAIL; }
PelexResult DllUnregisterServer() { return PELEX_E_FAIL; }
PelexResult DllGetClassObject(const char*, PelexClassFactory** out) {
    *out = &factory;
    return PELEX_S_OK;
}
PelexResult DllCanUnloadNow() { return PELEX_S_OK; }
}
