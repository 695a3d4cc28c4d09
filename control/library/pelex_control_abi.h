#ifndef PELEX_CONTROL_ABI_H
#define PELEX_CONTROL_ABI_H
/*
 * The in-process control library's binary interface, shared by the library
 * (PelexMSN.ocx) and any host that loads it with dlopen.
 *
 * The library exports four C functions. A host asks DllGetClassObject for the
 * class factory of the control's class id, creates controls with it and
 * destroys them through the same factory. Every call runs on the host's GUI
 * thread; the library keeps no locks.
 *
 * Result codes follow the familiar convention: 0 is success, 1 is "success,
 * but no" (S_FALSE), negative values are failures.
 */
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t PelexResult;

#define PELEX_S_OK ((PelexResult)0)
#define PELEX_S_FALSE ((PelexResult)1)
#define PELEX_E_FAIL ((PelexResult)0x80004005)
#define PELEX_E_INVALIDARG ((PelexResult)0x80070057)
#define PELEX_E_CLASSNOTAVAILABLE ((PelexResult)0x80040111)
/* The line is in use (HRESULT of ERROR_BUSY). */
#define PELEX_E_LINE_BUSY ((PelexResult)0x800700AA)

/* Version of this structure layout; a host refuses a library that differs. */
#define PELEX_CONTROL_ABI_VERSION 3u

typedef struct PelexControl PelexControl;

/* The line as the control shows it (see PelexHostEvents). */
#define PELEX_LINE_SIGNED_OUT 0u /* the sign-in panel covers the display */
#define PELEX_LINE_NOT_READY 1u  /* signing in or out, registering, registration failed */
#define PELEX_LINE_IDLE 2u       /* registered, ready for calls */
#define PELEX_LINE_INCOMING 3u   /* a call is offered */
#define PELEX_LINE_BUSY 4u       /* a call is being placed or under way */

/*
 * What the control tells its host as it happens, so the host can tell the
 * user when its window is not in front. Each function is called on the GUI
 * thread from inside the control's own handlers: it may call the control's
 * methods, but must not destroy the control. Texts are UTF-8 and valid only
 * during the call. Any function may be null.
 */
typedef struct PelexHostEvents {
    void* context; /* handed back to every function */
    /* The line changed: its state (PELEX_LINE_*), the display's text in the
     * engine's words and, while a call is offered, the caller's number
     * ("" otherwise). */
    void (*line_changed)(void* context, uint32_t state, const char* display, const char* caller);
    /* A call offered by `caller` ended without the user answering or
     * declining it: the caller gave up, or the phone stopped offering it. */
    void (*call_missed)(void* context, const char* caller);
} PelexHostEvents;

/*
 * The control's methods. The six automation methods run exactly what the
 * matching user action runs. `widget` returns the control's QWidget* (as void*),
 * owned by the control. `hide` and `show` hide or show the control the way a
 * host hides its activity (hiding shuts the call engine down). `dial` hands
 * the control a number to call (UTF-8; digits, "+", "*" and "#" only): it is
 * put into the number box and dialled once the line is idle, after the
 * user's sign-in if need be, as long as that is within a minute and the user
 * has not edited the box meanwhile. It returns PELEX_S_OK when the call is
 * being placed, PELEX_S_FALSE when the number waits for the line,
 * PELEX_E_LINE_BUSY when a call is offered or under way (the control tells
 * the user, after `dial` has returned), PELEX_E_INVALIDARG for any other text.
 */
typedef struct PelexControlVtbl {
    uint32_t abi_version;
    void (*imgCall_Click)(PelexControl* self);
    void (*imgDiscon_Click)(PelexControl* self);
    void (*imgLogin_Click)(PelexControl* self);
    void (*imgOption_Click)(PelexControl* self);
    void (*newRTC1)(PelexControl* self);
    void (*UserControl_Terminate)(PelexControl* self);
    void (*hide)(PelexControl* self);
    void (*show)(PelexControl* self);
    void* (*widget)(PelexControl* self);
    PelexResult (*dial)(PelexControl* self, const char* number);
    /* Sends the control's events to `events` (copied) from now on, starting
     * with the current line at once; null sends none. */
    void (*set_host_events)(PelexControl* self, const PelexHostEvents* events);
} PelexControlVtbl;

struct PelexControl {
    const PelexControlVtbl* vtbl;
};

typedef struct PelexClassFactory PelexClassFactory;

typedef struct PelexClassFactoryVtbl {
    uint32_t abi_version;
    /*
     * Creates a control whose widget becomes a child of `parent_widget`
     * (a QWidget*, may be null). Returns PELEX_S_OK and the control in *out,
     * or a failure code and a null *out.
     */
    PelexResult (*create)(PelexClassFactory* self, void* parent_widget, PelexControl** out);
    /* Destroys a control made by `create` (runs its terminate handling). Null is ignored. */
    void (*destroy)(PelexClassFactory* self, PelexControl* control);
} PelexClassFactoryVtbl;

struct PelexClassFactory {
    const PelexClassFactoryVtbl* vtbl;
};

/* Writes the control's registration (class id, library path, version, type
 * library and interface ids) into the settings store. PELEX_S_OK or PELEX_E_FAIL. */
typedef PelexResult (*PelexDllRegisterServerFn)(void);
/* Removes what DllRegisterServer wrote. PELEX_S_OK or PELEX_E_FAIL. */
typedef PelexResult (*PelexDllUnregisterServerFn)(void);
/* For the control's class id (braced text, case-insensitive) gives the
 * library's class factory in *out and PELEX_S_OK; any other id gives
 * PELEX_E_CLASSNOTAVAILABLE and a null *out. The factory lives as long as the
 * library stays loaded. */
typedef PelexResult (*PelexDllGetClassObjectFn)(const char* class_id, PelexClassFactory** out);
/* PELEX_S_OK when no control made by this library is alive (the library may
 * be unloaded), PELEX_S_FALSE otherwise. */
typedef PelexResult (*PelexDllCanUnloadNowFn)(void);

#ifdef __cplusplus
}
#endif

#endif /* PELEX_CONTROL_ABI_H */
