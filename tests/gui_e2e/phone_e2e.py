#!/usr/bin/python3
"""End to end on a real (virtual) display: pelexmsn-host with the control
library, the reference account server, Kamailio and an answering peer.
Everything is done the way a person does it, with a screen reader, the
keyboard and the mouse: elements are found through AT-SPI, keys are typed
with xdotool and clicks land at the places AT-SPI reports. Call links are
opened the way the desktop opens them: a second start of the host with the
link, which hands the number to the running phone over the session bus.
A screenshot of every state goes to --artifacts (sign-in.png,
registered-idle.png and in-call.png are the ones README.md shows).

With --tour desktop it checks instead what the phone shows while its
window is not in front: call notifications, missed calls and the tray icon,
against stand-ins for the desktop's notification server and tray on the
private session bus, with the keyboard in another window.

    phone_e2e.py --bin BUILD/bin --rig tests/rig --artifacts DIR [--tour phone|desktop]
"""
import argparse
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Accessible, Desktop, StandIn  # noqa: E402

IDLE = "Line 1 is initialized and ready to make/receive calls."
TIME_LIMIT = 300


def parse_args():
    p = argparse.ArgumentParser()
    p.add_argument("--bin", required=True)
    p.add_argument("--rig", required=True)
    p.add_argument("--artifacts", required=True)
    p.add_argument("--tour", choices=("phone", "desktop"), default="phone")
    return p.parse_args()


def on_alarm(signum, frame):
    raise TimeoutError("the test ran longer than %d s" % TIME_LIMIT)


class Phone:
    """The demo service and the phone, started in a private desktop and folder."""

    def __init__(self, args, work):
        self.args, self.work = args, work
        self.rig_started = False
        self.desk = Desktop(work)
        env = self.desk.env
        env.update(PELEX_REGISTRY=os.path.join(work, "registry.sqlite"), XDG_DATA_HOME=os.path.join(work, "data"),
                   XDG_CONFIG_HOME=os.path.join(work, "config"), XDG_RUNTIME_DIR=work,
                   PELEX_RIG_DIR=os.path.join(work, "rig"), PULSE_SERVER="unix:/nonexistent", QT_QPA_PLATFORM="xcb",
                   # the phone registers with its SIP server on the standard port
                   PELEX_RIG_BASE_PORT="5060")
        self.env = env
        self.shots = 0

    def start_services(self):
        out = subprocess.run(["bash", os.path.join(self.args.rig, "rig.sh"), "start"], env=self.env,
                             capture_output=True, text=True, timeout=90)
        self.rig_started = True
        if out.returncode != 0:
            raise RuntimeError("rig.sh start failed: " + out.stderr)
        rig = dict(line.split("=", 1) for line in out.stdout.split() if "=" in line)
        self.env["PELEX_RIG_PEER_CTRL_PORT"] = rig["PELEX_RIG_PEER_CTRL_PORT"]
        self.sip_port = rig["PELEX_RIG_SIP_PORT"]
        self.number = rig["PELEX_RIG_PHONE_USER"]
        self.password = "e2e" + self.number
        accounts = os.path.join(self.work, "accounts.json")
        with open(accounts, "w") as f:
            json.dump({self.number: {"password": self.password, "sip_password": rig["PELEX_RIG_PHONE_PASSWORD"],
                                     "expired": False}}, f)
        server = self.desk.spawn("account-server",
                                 [os.path.join(self.args.bin, "corvo-account-server"), "--listen", "127.0.0.1:0",
                                  "--accounts", accounts, "--sip-server", "127.0.0.1", "--sip-port", self.sip_port],
                                 stdout=subprocess.PIPE)
        line = server.stdout.readline().decode()
        m = re.match(r"listening on (\S+)", line)
        if not m:
            raise RuntimeError("the account server did not start: " + line)
        self.env["PELEX_ACCOUNT_SERVER"] = m.group(1)
        self.env["PELEX_WEB_SITE"] = "http://localhost:9"

    def start_phone(self):
        host = os.path.join(self.args.bin, "pelexmsn-host")
        subprocess.run([host, "--register", os.path.join(self.args.bin, "PelexMSN.ocx")], env=self.env, check=True,
                       capture_output=True, timeout=30)
        self.host = self.desk.spawn("pelexmsn-host", [host])
        self.ui = Accessible(self.desk, "pelexmsn-host", timeout=30)
        self.window = self.desk.window("Messenger activity")

    def shot(self, state, named=False):
        """The phone's window; `named` shots keep the plain state name as file name."""
        self.shots += 1
        name = state if named else "%02d-%s" % (self.shots, state)
        path = os.path.join(self.args.artifacts, name + ".png")
        self.desk.window_screenshot(self.window, path)
        print("screenshot", path, flush=True)

    def keyboard(self):
        """Gives the phone's window the keyboard (no window manager does it here)."""
        self.desk.focus_window(self.window)

    def second_start(self, link):
        """Starts the host again with `link`, as the desktop does for a clicked link."""
        host = os.path.join(self.args.bin, "pelexmsn-host")
        started = time.monotonic()
        r = subprocess.run([host, link], env=self.env, capture_output=True, text=True, timeout=30)
        took = time.monotonic() - started
        print("second start %s -> %d in %.1f s: %s%s" % (link, r.returncode, took, r.stdout.strip(), r.stderr.strip()),
              flush=True)
        return r, took

    def said(self):
        """What the host has written to its log so far."""
        return self.desk.log_tail("pelexmsn-host", 1 << 20)

    def wait_said(self, pattern, since, timeout, what):
        """The first match of `pattern` in the host's log after offset `since`."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            m = re.search(pattern, self.said()[since:])
            if m:
                return m
            time.sleep(0.05)
        raise AssertionError("timed out after %ss waiting for the host to say %s" % (timeout, what))

    def dbus(self, method, *args):
        subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.pelex.PelexMSN", "/PelexMSN",
                        "org.pelex.PelexMSN._Pelex_MSN." + method] + list(args), env=self.env, check=True, timeout=10,
                       capture_output=True)

    def stop(self):
        self.desk.close()
        if self.rig_started:
            subprocess.run(["bash", os.path.join(self.args.rig, "rig.sh"), "stop"], env=self.env, timeout=60)


class Peer:
    """The rig's peer over its control connection (one client at a time)."""

    def __init__(self, rig_folder, env):
        sys.path.insert(0, rig_folder)
        from baresip_ctrl import BaresipControl
        self.control = BaresipControl(int(env["PELEX_RIG_PEER_CTRL_PORT"]))
        self.events = []

    def send(self, command, params=""):
        self.control.send(command, params)

    def collect(self, seconds):
        deadline = time.monotonic() + seconds
        while (left := deadline - time.monotonic()) > 0:
            message = self.control.receive(left)
            if message is None:
                break
            self.events.append(message)
        return self.events

    def wait_event(self, kind, seconds):
        """Whether an event of type `kind` arrives within `seconds` (or came already)."""
        deadline = time.monotonic() + seconds
        while not any(e.get("type") == kind for e in self.events):
            left = deadline - time.monotonic()
            if left <= 0:
                return False
            message = self.control.receive(left)
            if message is None:
                return False
            self.events.append(message)
        return True

    def close(self):
        self.control.close()


def step(text):
    print("--", text, flush=True)


def wait_idle(ui, timeout, what):
    ui.wait_text(lambda t: t == IDLE, timeout, what)


def wait_connected(ui, timeout, what):
    ui.wait_text(lambda t: t.endswith(" CONNECTED"), timeout, what)


def tour(phone):
    ui, desk = phone.ui, phone.desk
    phone.keyboard()

    step("at start-up the keyboard is in the number box; sign in by keyboard")
    ui.wait_focus("VOIP Number")
    phone.shot("sign-in", named=True)
    desk.type_text(phone.number)
    desk.key("Tab")
    ui.wait_focus("Password")
    desk.type_text(phone.password)
    phone.shot("credentials-typed")
    desk.key("Return")
    wait_idle(ui, 30, "the idle text")
    ui.wait_focus("Number")
    phone.shot("registered-idle", named=True)

    peer = Peer(phone.args.rig, phone.env)
    try:
        step("type the number and Enter dials")
        desk.type_text("1001")
        desk.key("Return")
        wait_connected(ui, 30, "CONNECTED")
        first = ui.wait_text(lambda t: re.fullmatch(r"00:00:0[0-9]", t), 10, "the call timer")
        later = ui.wait_text(lambda t: re.fullmatch(r"00:00:\d\d", t) and t > first, 10, "the timer counting")
        print("timer went from", first, "to", later, flush=True)
        phone.shot("in-call", named=True)

        step("touch tones from the keypad reach the peer")
        for key in "5#":
            ui.click(key)
            time.sleep(0.6)  # slower than a double click, which counts as one
        phone.keyboard()
        events = peer.collect(3)
        received = [e.get("param") for e in events if e.get("type") == "CALL_DTMF_START"]
        print("peer received tones:", received, flush=True)
        for key in "5#":
            assert key in received, "tone %s did not reach the peer (events: %s)" % (key, events)

        step("Escape hangs up")
        desk.key("Escape")
        wait_idle(ui, 15, "the idle text after Escape")
        phone.shot("hung-up")

        step("the peer calls; Enter in the number box answers, Escape hangs up")
        peer.send("dial", "sip:%s@127.0.0.1:%s" % (phone.number, phone.sip_port))
        ui.wait_text(lambda t: t.startswith("Line 1 INCOMING"), 20, "the incoming call")
        phone.shot("incoming")
        ui.wait_focus("Number")
        desk.key("Return")
        wait_connected(ui, 20, "CONNECTED after answering")
        desk.key("Escape")
        wait_idle(ui, 15, "the idle text after the answered call")

        step("the sign-out shortcut signs out; the keyboard is back in the number box")
        desk.key("ctrl+shift+q")
        ui.find("Sign in", 20)
        ui.wait_focus("VOIP Number")
        phone.shot("signed-out")

        step("a tel: link opened while signed out waits for the sign-in, then dials")
        r, took = phone.second_start("tel:1-0-0-1")
        assert r.returncode == 0, "the second start failed: %s" % r.stderr
        assert "handed 1001 to the running phone" in r.stdout, r.stdout
        assert took < 10, "the second start took %.1f s" % took
        phone.keyboard()
        desk.key("Tab")          # the boxes kept their text: on to the password
        ui.wait_focus("Password")
        desk.key("Return")       # and sign in
        wait_connected(ui, 40, "the call to the link's number after the sign-in")
        box = ui.find("Number", 5).queryText()
        assert box.getText(0, -1) == "1001", "the number box shows %r" % box.getText(0, -1)
        phone.shot("link-dialled-after-sign-in")

        step("the automation interface hangs up over D-Bus")
        subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.pelex.PelexMSN", "/PelexMSN",
                        "org.pelex.PelexMSN._Pelex_MSN.imgDiscon_Click"], env=phone.env, check=True, timeout=10,
                       capture_output=True)
        wait_idle(ui, 15, "the idle text after the D-Bus hang-up")

        step("a sip: link opened while idle dials at once")
        r, took = phone.second_start("sip:1001@127.0.0.1;transport=udp")
        assert r.returncode == 0, "the second start failed: %s" % r.stderr
        wait_connected(ui, 30, "the call to the sip: link's number")

        step("a link opened during a call is refused: the second start says so, the phone says why")
        r, took = phone.second_start("tel:1002")
        assert r.returncode == 3, "a link during a call ended with %d: %s" % (r.returncode, r.stderr)
        assert "Please disconnect the line" in r.stderr, r.stderr
        ui.wait_text(lambda t: "Please disconnect the line" in t, 10, "the refusal over the phone")
        desk.focus_window(desk.window("Calls"))
        desk.key("Return")
        ui._wait(lambda: not any("Please disconnect the line" in t for t in ui.texts()), 10, "the refusal to close")
        wait_connected(ui, 5, "the call still up after the refused link")
        phone.keyboard()
        desk.key("Escape")
        wait_idle(ui, 15, "the idle text after the linked call")
    finally:
        peer.close()

    step("a malformed link is refused: the second start says why, the phone shows it")
    r, took = phone.second_start("tel:1-800-FLOWERS")
    assert r.returncode == 2, "a malformed link ended with %d" % r.returncode
    assert "cannot be dialled" in r.stderr, r.stderr
    ui.wait_text(lambda t: "cannot be dialled" in t, 10, "the refusal over the phone")
    phone.shot("link-refused")
    desk.focus_window(desk.window("PelexMSN"))
    desk.key("Return")
    ui._wait(lambda: not any("cannot be dialled" in t for t in ui.texts()), 10, "the refusal to close")

    step("the automation interface signs out over D-Bus")
    subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.pelex.PelexMSN", "/PelexMSN",
                    "org.pelex.PelexMSN._Pelex_MSN.imgOption_Click"], env=phone.env, check=True, timeout=10,
                   capture_output=True)
    ui.find("Sign in", 20)
    phone.shot("signed-out-by-dbus")

    step("the host ends cleanly when told to, with a call in progress")
    dbus = ["dbus-send", "--session", "--print-reply", "--dest=org.pelex.PelexMSN", "/PelexMSN"]
    subprocess.run(dbus + ["org.pelex.PelexMSN._Pelex_MSN.imgLogin_Click"], env=phone.env, check=True, timeout=10,
                   capture_output=True)
    wait_idle(ui, 30, "the idle text after signing in again")
    subprocess.run(dbus + ["org.pelex.PelexMSN._Pelex_MSN.Dial", "string:1001"], env=phone.env, check=True,
                   timeout=10, capture_output=True)
    wait_connected(ui, 30, "CONNECTED before the host is ended")
    phone.host.send_signal(signal.SIGTERM)
    code = phone.host.wait(20)
    print("the host ended with", code, flush=True)
    assert code == 0, "the host ended with %d (a crash or a sanitizer report; see its log)" % code


class Tray:
    """The phone's status notifier item, read over the session bus as a tray would."""

    def __init__(self, env, watcher):
        import dbus  # the test's own connection to the private bus
        self.dbus = dbus
        self.bus = dbus.bus.BusConnection(env["DBUS_SESSION_BUS_ADDRESS"])
        self.name = watcher.wait(lambda e: e["event"] == "registered", 20, "the tray item")["item"]

    def tooltip(self):
        item = self.bus.get_object(self.name, "/StatusNotifierItem")
        tip = item.Get("org.kde.StatusNotifierItem", "ToolTip", dbus_interface=self.dbus.PROPERTIES_IFACE)
        return str(tip[2]) + ("\n" + str(tip[3]) if str(tip[3]) else "")

    def wait_tooltip(self, match, timeout, what):
        deadline = time.monotonic() + timeout
        while True:
            tip = self.tooltip()
            if match(tip):
                return tip
            if time.monotonic() > deadline:
                raise AssertionError("the tray tool tip is %r, not %s" % (tip, what))
            time.sleep(0.1)

    def menu(self):
        """Label -> (id, enabled) of the menu's entries, with their mnemonics taken out."""
        menu = self.bus.get_object(self.name, "/MenuBar")
        _, (_, _, children) = menu.GetLayout(0, -1, [], dbus_interface="com.canonical.dbusmenu")
        entries = {}
        for _, (item_id, props, _) in ((None, c) for c in children):
            if props.get("type") != "separator":
                entries[str(props.get("label", "")).replace("_", "")] = (int(item_id), bool(props.get("enabled", True)))
        return entries

    def choose(self, label):
        item_id, _ = self.menu()[label]
        self.bus.get_object(self.name, "/MenuBar").Event(item_id, "clicked", self.dbus.String("", variant_level=1),
                                                          self.dbus.UInt32(0), dbus_interface="com.canonical.dbusmenu")


def desktop_tour(phone, notes, watcher):
    """The phone behind another window: notifications, missed calls, the tray."""
    ui, desk = phone.ui, phone.desk
    other = phone.other
    number = "1001"
    tray = Tray(phone.env, watcher)

    def incoming(e):
        return e["event"] == "notify" and e["hints"].get("category") == "call.incoming"

    def missed(e):
        return e["event"] == "notify" and e["hints"].get("category") == "call.unanswered"

    def to_the_back():
        """The keyboard and the top of the stack go to the other window."""
        desk.raise_window(other)
        desk.focus_window(other)
        assert desk.focused_window() == other

    def to_the_front():
        desk.raise_window(phone.window)
        phone.keyboard()

    def peer_quiet():
        """Forgets what the peer said so far."""
        peer.collect(0.3)
        peer.events.clear()

    def peer_calls():
        peer.send("dial", "sip:%s@127.0.0.1:%s" % (phone.number, phone.sip_port))
        ui.wait_text(lambda t: t == "Line 1 INCOMING " + number, 20, "the incoming call")

    def raised_for_the_call(since, why):
        said = phone.wait_said(r"the window came to the front for the call from %s: ([^\n]*)" % number, since, 10,
                               "that the window came to the front")
        assert why in said.group(1), said.group(0)
        ui._wait(lambda: desk.above(phone.window, other), 5, "the phone's window over the other one (%s over %s: %s)"
                 % (phone.window, other, desk.stacking()))
        assert desk.focused_window() == other, "the raised window took the keyboard"

    to_the_front()
    step("sign in; the tray's tool tip says the line is ready, its menu offers Show, Sign out and Quit")
    ui.wait_focus("VOIP Number")
    desk.type_text(phone.number)
    desk.key("Tab")
    desk.type_text(phone.password)
    desk.key("Return")
    wait_idle(ui, 30, "the idle text")
    tray.wait_tooltip(lambda t: IDLE in t, 10, "the idle text")
    menu = tray.menu()
    assert list(menu) == ["Show", "Sign out", "Quit"], menu

    peer = Peer(phone.args.rig, phone.env)
    try:
        step("a call while another window has the keyboard: a notification with Answer and Decline, focus untouched")
        to_the_back()
        mark, log = notes.mark(), len(phone.said())
        peer_calls()
        n = notes.wait(incoming, 5, "the incoming-call notification", since=mark)
        print("notification:", n, flush=True)
        assert n["summary"] == "Incoming call" and n["body"] == number, n
        assert n["actions"] == ["answer", "Answer", "decline", "Decline"], n["actions"]
        assert n["hints"]["urgency"] == 2 and n["expire_timeout"] == 0, n
        took = int(phone.wait_said(r"shown in a desktop notification after (\d+) ms", log, 5, "the notification")
                   .group(1))
        print("notification shown %d ms after the phone showed the call" % took, flush=True)
        assert took < 2000, "the notification took %d ms" % took
        assert desk.focused_window() == other, "the notification took the keyboard"

        step("Answer in the notification answers; the notification goes; the tray says in a call")
        notes.command(invoke=n["id"], action="answer")
        wait_connected(ui, 15, "CONNECTED after Answer in the notification")
        notes.wait(lambda e: e["event"] == "close" and e["id"] == n["id"], 5, "the notification to close", since=mark)
        tray.wait_tooltip(lambda t: "Line 1 CONNECTED" in t, 10, "in a call")
        assert desk.focused_window() == other
        phone.dbus("imgDiscon_Click")
        wait_idle(ui, 15, "the idle text after the answered call")

        step("Decline in the notification rejects the call")
        peer_quiet()
        mark = notes.mark()
        peer_calls()
        n = notes.wait(incoming, 5, "the second notification", since=mark)
        notes.command(invoke=n["id"], action="decline")
        wait_idle(ui, 15, "the idle text after Decline")
        notes.wait(lambda e: e["event"] == "close" and e["id"] == n["id"], 5, "the notification to close", since=mark)
        assert peer.wait_event("CALL_CLOSED", 10), "the peer's call did not end"

        step("the caller gives up: the notification goes, a missed call is left in a notification and the window")
        mark = notes.mark()
        peer_calls()
        n = notes.wait(incoming, 5, "the third notification", since=mark)
        peer.send("hangup")
        wait_idle(ui, 15, "the idle text after the caller gave up")
        notes.wait(lambda e: e["event"] == "close" and e["id"] == n["id"], 5, "the notification to close", since=mark)
        m = notes.wait(missed, 5, "the missed-call notification", since=mark)
        assert m["summary"] == "Missed call from " + number, m
        ui.wait_text(lambda t: t.startswith("Missed call from " + number + " at "), 10, "the note in the window")
        tray.wait_tooltip(lambda t: "1 missed call" in t, 10, "the missed call")
        assert len(notes.seen(missed)) == 1, "declined or answered calls were counted as missed"
        phone.shot("missed-call")

        step("Show on the missed-call notification brings the window up; the note stays until seen")
        to_the_back()
        notes.command(invoke=m["id"], action="default")
        ui._wait(lambda: desk.above(phone.window, other), 5, "the phone's window over the other one (%s over %s: %s)"
                 % (phone.window, other, desk.stacking()))
        assert any(t.startswith("Missed call from " + number) for t in ui.texts()), ui.texts()

        step("Answer on the notification of a call that has ended does nothing")
        peer_quiet()
        notes.command(invoke=n["id"], action="answer")
        notes.wait(lambda e: e["event"] == "invoked" and e["id"] == n["id"], 5, "the stand-in to send it")
        time.sleep(1.5)  # a dial would show within this time; nothing must
        assert ui.texts().count(IDLE) == 1, ui.texts()
        assert not any(e.get("type") == "CALL_INCOMING" for e in peer.collect(0.5)), peer.events

        step("while the window is active a call shows no notification; Decline on an old one leaves it ringing")
        to_the_front()
        mark = notes.mark()
        peer_calls()
        time.sleep(1)  # a notification would have come by now
        assert not notes.seen(incoming, since=mark), "a notification came while the window was active"
        peer_quiet()
        notes.command(invoke=n["id"], action="decline")
        notes.wait(lambda e: e["event"] == "invoked" and e["id"] == n["id"], 5, "the stand-in to send it", since=mark)
        time.sleep(1.5)  # a rejection would show within this time; nothing must
        assert "Line 1 INCOMING " + number in ui.texts(), ui.texts()
        assert not any(e.get("type") == "CALL_CLOSED" for e in peer.collect(0.5)), peer.events
        desk.key("Escape")
        wait_idle(ui, 15, "the idle text after Escape")

        step("the missed-call note stays until it is seen; then its notification goes too")
        ui.click("Seen")
        ui._wait(lambda: not any(t.startswith("Missed call from") for t in ui.texts()), 10, "the note to go")
        notes.wait(lambda e: e["event"] == "close" and e["id"] == m["id"], 5, "the missed-call notification to close")
        tray.wait_tooltip(lambda t: "missed call" not in t, 10, "without missed calls")

        step("a server that answers late: the window comes up without the keyboard, the late notification is closed")
        to_the_back()
        notes.command(mode="late", delay_ms=1500)
        mark, log = notes.mark(), len(phone.said())
        peer_calls()
        n = notes.wait(incoming, 5, "the late notification", since=mark)
        raised_for_the_call(log, "not shown it in time")
        notes.wait(lambda e: e["event"] == "late_reply", 5, "the late answer", since=mark)
        peer.send("hangup")
        wait_idle(ui, 15, "the idle text after the caller gave up")
        notes.wait(lambda e: e["event"] == "close" and e["id"] == n["id"], 5, "the late notification to close",
                   since=mark)
        notes.command(mode="normal")

        step("the server takes the notification away while the call rings: the window comes up instead")
        to_the_back()
        mark, log = notes.mark(), len(phone.said())
        peer_calls()
        n = notes.wait(incoming, 5, "the notification", since=mark)
        notes.command(closed=n["id"], reason=1)
        raised_for_the_call(log, "took the notification away")
        peer.send("hangup")
        wait_idle(ui, 15, "the idle text after the caller gave up")

        step("the server goes away in the middle of an offered call: the window comes up, the call goes on")
        to_the_back()
        mark, log = notes.mark(), len(phone.said())
        peer_calls()
        notes.wait(incoming, 5, "the notification", since=mark)
        notes.vanish()
        raised_for_the_call(log, "went away")
        phone.dbus("imgCall_Click")
        wait_connected(ui, 15, "CONNECTED after the server went")
        phone.dbus("imgDiscon_Click")
        wait_idle(ui, 15, "the idle text")

        step("without a notification server a call brings the window up, without the keyboard")
        to_the_back()
        log = len(phone.said())
        peer_calls()
        raised_for_the_call(log, "no notification server")
        phone.dbus("imgDiscon_Click")
        wait_idle(ui, 15, "the idle text")

        step("a server without actions: the window comes up instead, no notification for the call")
        plain = StandIn(desk, "notifications", "--no-actions")
        plain.wait(lambda e: e["event"] == "capabilities", 10, "the phone to ask the new server")
        to_the_back()
        log = len(phone.said())
        peer_calls()
        raised_for_the_call(log, "shows no actions")
        assert not plain.seen(incoming), "a notification without Answer was shown"
        phone.dbus("imgDiscon_Click")
        wait_idle(ui, 15, "the idle text")
        plain.vanish()

        step("a server that never answers holds up neither the window nor the call")
        silent = StandIn(desk, "notifications")
        silent.wait(lambda e: e["event"] == "capabilities", 10, "the phone to ask the new server")
        silent.command(mode="silent")
        to_the_back()
        mark, log = silent.mark(), len(phone.said())
        peer_calls()
        silent.wait(incoming, 5, "the unanswered notification", since=mark)
        raised_for_the_call(log, "not shown it in time")
        to_the_front()
        ui.wait_focus("Number")
        desk.key("Return")  # the keyboard still answers
        wait_connected(ui, 15, "CONNECTED with a silent server")
        desk.key("Escape")
        wait_idle(ui, 15, "the idle text")
    finally:
        peer.close()

    step("closing the window keeps the phone in the tray; Show brings it back")
    desk.close_window(phone.window)
    ui._wait(lambda: not desk.is_mapped(phone.window), 10, "the window to hide")
    assert phone.host.poll() is None, "the host ended"
    tray.wait_tooltip(lambda t: IDLE in t, 5, "still registered")
    tray.choose("Show")
    ui._wait(lambda: desk.is_mapped(phone.window), 10, "the window to come back")

    step("Sign out in the tray signs out; the tool tip says so; Quit ends the phone")
    tray.choose("Sign out")
    tray.wait_tooltip(lambda t: "Signed out." in t, 20, "signed out")
    assert not tray.menu()["Sign out"][1], "Sign out is still offered"
    tray.choose("Quit")
    code = phone.host.wait(20)
    assert code == 0, "the host ended with %d" % code


def main():
    args = parse_args()
    os.makedirs(args.artifacts, exist_ok=True)
    for old in os.listdir(args.artifacts):
        if old.endswith(".png"):
            os.remove(os.path.join(args.artifacts, old))
    signal.signal(signal.SIGALRM, on_alarm)
    signal.signal(signal.SIGTERM, lambda *a: on_alarm(0, None))
    signal.alarm(TIME_LIMIT)
    work = tempfile.mkdtemp(prefix="pelex-gui-e2e-")
    phone = None
    ok = False
    try:
        phone = Phone(args, work)
        phone.start_services()
        if args.tour == "desktop":
            # Under the sanitizers, stacks through Qt (built without frame
            # pointers) are unwound in full, so the suppression of Qt's own
            # tray leak (tests/lsan.supp) finds its frame.
            if "ASAN_OPTIONS" in phone.env:
                phone.env["ASAN_OPTIONS"] += ":fast_unwind_on_malloc=0"
            # The tray's host must be there when the phone starts; another
            # window takes the keyboard when the phone is not to have it.
            watcher = StandIn(phone.desk, "watcher")
            notes = StandIn(phone.desk, "notifications")
            phone.desk.spawn("other-window", ["xmessage", "-name", "other", "-geometry", "+0+0", "Another window"])
            phone.other = phone.desk.window("other")
            phone.start_phone()
            desktop_tour(phone, notes, watcher)
        else:
            phone.start_phone()
            tour(phone)
        ok = True
    finally:
        signal.alarm(0)
        if phone is not None:
            if not ok:
                try:
                    phone.shot("failure")
                except Exception as e:  # the display may be gone
                    print("no failure screenshot:", e)
                for name in ("pelexmsn-host", "account-server", "xvfb"):
                    print("== %s log (tail)" % name)
                    print(phone.desk.log_tail(name))
            phone.stop()
        shutil.rmtree(work, ignore_errors=True)
    print("all steps passed")


if __name__ == "__main__":
    main()
