"""A throw-away desktop for GUI tests: Xvfb, a D-Bus session bus and the
accessibility bus, plus helpers to find, read and click what the screen
shows through AT-SPI, the way assistive technology does, and stand-ins for
the desktop's notification server and tray (desktop_standins.py).

Every process started here is remembered and ended by Desktop.close(), also
when a test fails halfway.
"""
import json
import os
import signal
import subprocess
import sys
import threading
import time


class Desktop:
    def __init__(self, workdir):
        self.workdir = workdir
        self.procs = []  # (name, Popen), ended in reverse order
        self.env = dict(os.environ)
        self._start_display()
        self._start_buses()

    # -- processes -------------------------------------------------------
    def spawn(self, name, argv, env=None, **kwargs):
        log = open(os.path.join(self.workdir, name + ".log"), "wb")
        proc = subprocess.Popen(argv, env=env or self.env, stdout=kwargs.pop("stdout", log), stderr=log,
                                stdin=kwargs.pop("stdin", subprocess.DEVNULL), start_new_session=True, **kwargs)
        self.procs.append((name, proc))
        return proc

    def close(self):
        for name, proc in reversed(self.procs):
            if proc.poll() is None:
                try:
                    os.killpg(proc.pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
                try:
                    proc.wait(5)
                except subprocess.TimeoutExpired:
                    os.killpg(proc.pid, signal.SIGKILL)
                    proc.wait(5)
        self.procs.clear()

    def _start_display(self):
        read_fd, write_fd = os.pipe()
        self.spawn("xvfb", ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                   pass_fds=(write_fd,))
        os.close(write_fd)
        with os.fdopen(read_fd) as f:
            number = f.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.env["DISPLAY"] = ":" + number
        self.env.pop("WAYLAND_DISPLAY", None)
        # The server is asked once before anything else uses it, so a display
        # that does not take connections fails here, with its log, and not as
        # an application that never shows up.
        deadline = time.monotonic() + 10
        while subprocess.run(["xdotool", "getdisplaygeometry"], env=self.env, capture_output=True,
                             timeout=10).returncode != 0:
            if time.monotonic() > deadline:
                raise RuntimeError("Xvfb on :%s does not take connections: %s" % (number, self.log_tail("xvfb")))
            time.sleep(0.1)

    def log_tail(self, name, size=3000):
        """The end of a started process's log, or "" when it has none."""
        path = os.path.join(self.workdir, name + ".log")
        if not os.path.exists(path):
            return ""
        with open(path, errors="replace") as f:
            return f.read()[-size:]

    def _start_buses(self):
        bus = self.spawn("dbus", ["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                         stdout=subprocess.PIPE)
        address = bus.stdout.readline().decode().strip()
        if not address:
            raise RuntimeError("dbus-daemon did not start")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address
        self.env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        self.env["NO_AT_BRIDGE"] = "0"
        self.env["GTK_MODULES"] = ""
        self.spawn("at-spi-bus", ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
        # The accessibility bus must be up before pyatspi is imported.
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            r = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                                "org.a11y.Bus.GetAddress"], env=self.env, capture_output=True)
            if r.returncode == 0:
                break
            time.sleep(0.1)
        else:
            raise RuntimeError("the accessibility bus did not start")
        for key in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON"):
            os.environ[key] = self.env[key]

    # -- screen ----------------------------------------------------------
    def screenshot(self, path):
        subprocess.run(["import", "-window", "root", path], env=self.env, check=True, timeout=20)

    def click(self, x, y):
        subprocess.run(["xdotool", "mousemove", str(x), str(y), "sleep", "0.1", "click", "1"], env=self.env, check=True,
                       timeout=10)

    def type_text(self, text):
        subprocess.run(["xdotool", "type", "--delay", "40", text], env=self.env, check=True, timeout=20)

    def key(self, *keys):
        """Presses and releases each key (xdotool names: Tab, Return, Escape, ctrl+shift+q)."""
        subprocess.run(["xdotool", "key", "--delay", "120"] + list(keys), env=self.env, check=True, timeout=20)

    def window(self, title_part, timeout=20):
        """The X window id of the first window whose title contains `title_part`."""
        r = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--limit", "1", "--name", title_part], env=self.env,
                           capture_output=True, text=True, timeout=timeout)
        if r.returncode != 0 or not r.stdout.strip():
            raise AssertionError("no window titled like %r" % title_part)
        return r.stdout.split()[0]

    def focus_window(self, window_id):
        """Gives the window the keyboard, as a window manager would on a click."""
        subprocess.run(["xdotool", "windowfocus", "--sync", window_id], env=self.env, check=True, timeout=20)

    def window_screenshot(self, window_id, path):
        subprocess.run(["import", "-window", window_id, path], env=self.env, check=True, timeout=20)

    def focused_window(self):
        """The X window id that has the keyboard."""
        return subprocess.run(["xdotool", "getwindowfocus"], env=self.env, capture_output=True, text=True,
                              check=True, timeout=10).stdout.strip()

    def raise_window(self, window_id):
        subprocess.run(["xdotool", "windowraise", window_id], env=self.env, check=True, timeout=10)

    def stacking(self):
        """The ids of the top-level windows, the topmost first."""
        out = subprocess.run(["xwininfo", "-root", "-children"], env=self.env, capture_output=True, text=True,
                             check=True, timeout=10).stdout
        return [str(int(line.split()[0], 16)) for line in out.splitlines() if line.strip().startswith("0x")]

    def above(self, window_id, other_id):
        """Whether `window_id` is stacked over `other_id`."""
        order = self.stacking()
        return window_id in order and other_id in order and order.index(window_id) < order.index(other_id)

    def close_window(self, window_id):
        """Asks the window to close, as a window manager's close button does
        (a WM_DELETE_WINDOW message; xdotool has no such command)."""
        import ctypes
        import ctypes.util
        x = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11"))
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XInternAtom.restype = ctypes.c_ulong
        x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
        x.XFlush.argtypes = x.XCloseDisplay.argtypes = [ctypes.c_void_p]

        class ClientMessage(ctypes.Structure):
            _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                        ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                        ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]

        class Event(ctypes.Union):
            _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]

        display = x.XOpenDisplay(self.env["DISPLAY"].encode())
        if not display:
            raise RuntimeError("cannot open the display")
        try:
            event = Event()
            event.xclient.type = 33  # ClientMessage
            event.xclient.window = int(window_id)
            event.xclient.message_type = x.XInternAtom(display, b"WM_PROTOCOLS", 0)
            event.xclient.format = 32
            event.xclient.data[0] = x.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
            x.XSendEvent(display, int(window_id), 0, 0, ctypes.byref(event))
            x.XFlush(display)
        finally:
            x.XCloseDisplay(display)

    def is_mapped(self, window_id):
        out = subprocess.run(["xwininfo", "-id", window_id], env=self.env, capture_output=True, text=True,
                             timeout=10).stdout
        return "IsViewable" in out


class StandIn:
    """A desktop service stand-in (desktop_standins.py) on the desktop's bus:
    what it was asked, and commands to it."""

    SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "desktop_standins.py")

    def __init__(self, desktop, service, *options):
        self.name = "%s-%d" % (service, len(desktop.procs))
        self.proc = desktop.spawn(self.name, [sys.executable, self.SCRIPT, service] + list(options),
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.events = []
        self.changed = threading.Condition()
        threading.Thread(target=self._read, daemon=True).start()
        self.wait(lambda e: e["event"] == "ready", 10, "the %s stand-in" % service)

    def _read(self):
        for line in self.proc.stdout:
            with self.changed:
                self.events.append(json.loads(line))
                self.changed.notify_all()

    def mark(self):
        """A point in its events; wait(since=...) looks only after it."""
        with self.changed:
            return len(self.events)

    def seen(self, match, since=0):
        with self.changed:
            return [e for e in self.events[since:] if match(e)]

    def wait(self, match, timeout, what, since=0):
        deadline = time.monotonic() + timeout
        with self.changed:
            while True:
                found = [e for e in self.events[since:] if match(e)]
                if found:
                    return found[0]
                left = deadline - time.monotonic()
                if left <= 0:
                    raise AssertionError("timed out after %ss waiting for %s (it saw: %s)" %
                                         (timeout, what, self.events[since:]))
                self.changed.wait(left)

    def command(self, **c):
        self.proc.stdin.write((json.dumps(c) + "\n").encode())
        self.proc.stdin.flush()

    def vanish(self):
        """Ends at once, as a crashing service does."""
        self.proc.kill()
        self.proc.wait(5)


class Accessible:
    """Finds and operates an application's elements over AT-SPI."""

    def __init__(self, desktop, app_name, timeout=20):
        import pyatspi  # imported only once the buses of the desktop are up
        self.pyatspi = pyatspi
        self.desktop = desktop
        self.app = self._wait(lambda: self._find_app(app_name), timeout, "application " + app_name)

    def _find_app(self, name):
        for app in self.pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == name:
                return app
        return None

    @staticmethod
    def _wait(get, timeout, what):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            try:
                found = get()
            except Exception:  # the tree changes under us; look again
                found = None
            if found:
                return found
            time.sleep(0.1)
        raise AssertionError("timed out after %ss waiting for %s" % (timeout, what))

    def _showing(self, node):
        states = node.getState()
        return states.contains(self.pyatspi.STATE_SHOWING) and states.contains(self.pyatspi.STATE_VISIBLE)

    def elements(self, role=None):
        found = []

        def walk(node):
            if node is None:
                return
            if not self._showing(node) and node.getRole() != self.pyatspi.ROLE_APPLICATION:
                return
            if role is None or node.getRole() == role:
                found.append(node)
            for child in node:
                walk(child)

        walk(self.app)
        return found

    def focused(self):
        """The name of the element that has the keyboard focus, or None."""
        for node in self.elements():
            if node.getState().contains(self.pyatspi.STATE_FOCUSED):
                return node.name
        return None

    def wait_focus(self, name, timeout=10):
        return self._wait(lambda: self.focused() == name, timeout, 'the keyboard focus on "%s"' % name)

    def texts(self):
        """The names of the visible labels: what the screen shows as text."""
        return [n.name for n in self.elements(self.pyatspi.ROLE_LABEL)]

    def find(self, name, timeout=10, role=None):
        return self._wait(lambda: next((n for n in self.elements(role) if n.name == name), None), timeout,
                          '"%s" on screen' % name)

    def wait_text(self, match, timeout, what):
        return self._wait(lambda: next((t for t in self.texts() if match(t)), None), timeout, what)

    def click(self, name, timeout=10):
        """Clicks the middle of the visible element `name` with the mouse."""
        node = self.find(name, timeout)
        box = node.queryComponent().getExtents(self.pyatspi.DESKTOP_COORDS)
        if box.width <= 0 or box.height <= 0:
            raise AssertionError('"%s" has no area on screen' % name)
        self.desktop.click(box.x + box.width // 2, box.y + box.height // 2)
        return node
