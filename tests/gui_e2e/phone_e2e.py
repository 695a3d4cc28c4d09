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

    phone_e2e.py --bin BUILD/bin --rig tests/rig --artifacts DIR
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
from desktop import Accessible, Desktop  # noqa: E402

IDLE = "Line 1 is initialized and ready to make/receive calls."
TIME_LIMIT = 300


def parse_args():
    p = argparse.ArgumentParser()
    p.add_argument("--bin", required=True)
    p.add_argument("--rig", required=True)
    p.add_argument("--artifacts", required=True)
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
