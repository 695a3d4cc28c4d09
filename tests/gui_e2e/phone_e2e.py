#!/usr/bin/python3
"""End to end on a real (virtual) display: pelexmsn-host with the control
library, the reference account server, Kamailio and an answering peer.
Everything is done the way a person with a screen reader and a mouse does it:
elements are found through AT-SPI and clicked with real mouse clicks at the
places AT-SPI reports. A screenshot of every state goes to --artifacts.

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

    def shot(self, state):
        self.shots += 1
        path = os.path.join(self.args.artifacts, "%02d-%s.png" % (self.shots, state))
        self.desk.screenshot(path)
        print("screenshot", path, flush=True)

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


def tour(phone):
    ui = phone.ui
    phone.shot("signed-out")

    step("sign in from the boxes")
    ui.click("VOIP Number")
    phone.desk.type_text(phone.number)
    ui.click("Password")
    phone.desk.type_text(phone.password)
    phone.shot("credentials-typed")
    ui.click("Sign in")
    ui.wait_text(lambda t: t == IDLE, 30, "the idle text")
    phone.shot("idle")

    step("dial the peer from the keypad")
    for digit in "1001":
        ui.click(digit)
        time.sleep(0.6)  # slower than a double click, which counts as one
    box = ui.find("Number", 5).queryText()
    assert box.getText(0, -1) == "1001", "the number box shows %r" % box.getText(0, -1)
    peer = Peer(phone.args.rig, phone.env)
    try:
        ui.click("Call")
        ui.wait_text(lambda t: t.endswith(" CONNECTED"), 30, "CONNECTED")
        first = ui.wait_text(lambda t: re.fullmatch(r"00:00:0[0-9]", t), 10, "the call timer")
        phone.shot("connected")
        later = ui.wait_text(lambda t: re.fullmatch(r"00:00:\d\d", t) and t > first, 10, "the timer counting")
        print("timer went from", first, "to", later, flush=True)
        phone.shot("timer-counting")

        step("touch tones reach the peer")
        for key in "5#":
            ui.click(key)
            time.sleep(0.6)
        events = peer.collect(3)
        received = [e.get("param") for e in events if e.get("type") == "CALL_DTMF_START"]
        print("peer received tones:", received, flush=True)
        for key in "5#":
            assert key in received, "tone %s did not reach the peer (events: %s)" % (key, events)

        step("hang up")
        ui.click("Hang up")
        ui.wait_text(lambda t: t == IDLE, 15, "the idle text after hanging up")
        phone.shot("hung-up")

        step("the peer calls and the call button answers")
        peer.send("dial", "sip:%s@127.0.0.1:%s" % (phone.number, phone.sip_port))
        ui.wait_text(lambda t: t.startswith("Line 1 INCOMING"), 20, "the incoming call")
        phone.shot("incoming")
        ui.click("Call")
        ui.wait_text(lambda t: t.endswith(" CONNECTED"), 20, "CONNECTED after answering")
        phone.shot("answered")
        ui.click("Hang up")
        ui.wait_text(lambda t: t == IDLE, 15, "the idle text after the answered call")
    finally:
        peer.close()

    step("sign out")
    ui.click("Sign out")
    ui.find("Sign in", 20)
    phone.shot("signed-out-again")

    step("sign in again")
    ui.click("Sign in")
    ui.wait_text(lambda t: t == IDLE, 30, "the idle text after signing in again")
    phone.shot("signed-in-again")

    step("the automation interface signs out over D-Bus")
    subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.pelex.PelexMSN", "/PelexMSN",
                    "org.pelex.PelexMSN._Pelex_MSN.imgOption_Click"], env=phone.env, check=True, timeout=10,
                   capture_output=True)
    ui.find("Sign in", 20)
    phone.shot("signed-out-by-dbus")


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
                for name in ("pelexmsn-host", "account-server"):
                    log = os.path.join(work, name + ".log")
                    if os.path.exists(log):
                        print("== %s log (tail)" % name)
                        print(open(log, errors="replace").read()[-3000:])
            phone.stop()
        shutil.rmtree(work, ignore_errors=True)
    print("all steps passed")


if __name__ == "__main__":
    main()
