#!/usr/bin/python3
"""Stand-ins for two desktop services on a test's private session bus:

  notifications  a freedesktop notification server (org.freedesktop.Notifications)
  watcher        a status notifier watcher with a registered host
                 (org.kde.StatusNotifierWatcher), which is what makes Qt show a
                 tray icon over D-Bus

Each runs until it is ended. It writes one JSON object per line on standard
output: {"event": "ready"} once its name is owned, then one line per call it
got, with "time" from the same monotonic clock as Python's time.monotonic(),
so a test can time what it sees against other processes. Commands come as
one JSON object per line on standard input:

  {"mode": "normal" | "silent" | "late", "delay_ms": N}
      how Notify is answered from now on: at once, never, or after N ms
  {"invoke": ID, "action": KEY}
      the user chose action KEY on notification ID (emits ActionInvoked)
  {"closed": ID, "reason": R}
      notification ID went: 1 expired, 2 dismissed by the user (emits NotificationClosed)

    desktop_standins.py notifications [--no-actions]
    desktop_standins.py watcher
"""
import argparse
import json
import sys
import time

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NOTIFICATIONS = "org.freedesktop.Notifications"
WATCHER = "org.kde.StatusNotifierWatcher"
WATCHER_XML = """<node>
 <interface name="org.kde.StatusNotifierWatcher">
  <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
  <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
  <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
  <property name="ProtocolVersion" type="i" access="read"/>
  <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
 </interface>
 <interface name="org.freedesktop.DBus.Properties">
  <method name="Get"><arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="v" direction="out"/></method>
  <method name="GetAll"><arg type="s" direction="in"/><arg type="a{sv}" direction="out"/></method>
 </interface>
 <interface name="org.freedesktop.DBus.Introspectable">
  <method name="Introspect"><arg type="s" direction="out"/></method>
 </interface>
</node>"""


def say(event, **fields):
    fields.update(event=event, time=time.monotonic())
    sys.stdout.write(json.dumps(fields) + "\n")
    sys.stdout.flush()


def plain(value):
    """D-Bus values as plain JSON values (bytes become numbers)."""
    if isinstance(value, (dbus.Byte, int)) and not isinstance(value, bool):
        return int(value)
    if isinstance(value, dict):
        return {str(k): plain(v) for k, v in value.items()}
    if isinstance(value, (list, tuple)):
        return [plain(v) for v in value]
    if isinstance(value, bool):
        return bool(value)
    return str(value)


class Notifications(dbus.service.Object):
    def __init__(self, bus, actions):
        super().__init__(bus, "/org/freedesktop/Notifications")
        self.actions = actions
        self.next_id = 1
        self.mode, self.delay_ms = "normal", 0
        self.held = []  # replies never sent (silent mode), kept so they are not answered by default

    @dbus.service.method(NOTIFICATIONS, out_signature="as")
    def GetCapabilities(self):
        caps = ["body", "persistence"] + (["actions"] if self.actions else [])
        say("capabilities", capabilities=caps)
        return caps

    @dbus.service.method(NOTIFICATIONS, in_signature="susssasa{sv}i", out_signature="u",
                         async_callbacks=("reply", "error"))
    def Notify(self, app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout, reply, error):
        nid = int(replaces_id) or self.next_id
        if not replaces_id:
            self.next_id += 1
        say("notify", id=nid, app_name=str(app_name), replaces_id=int(replaces_id), app_icon=str(app_icon),
            summary=str(summary), body=str(body), actions=plain(actions), hints=plain(hints),
            expire_timeout=int(expire_timeout), mode=self.mode)
        if self.mode == "silent":
            self.held.append(reply)
        elif self.mode == "late":
            def answer():
                say("late_reply", id=nid)
                reply(dbus.UInt32(nid))
                return False  # once
            GLib.timeout_add(self.delay_ms, answer)
        else:
            reply(dbus.UInt32(nid))

    @dbus.service.method(NOTIFICATIONS, in_signature="u")
    def CloseNotification(self, nid):
        say("close", id=int(nid))
        self.NotificationClosed(nid, 3)

    @dbus.service.method(NOTIFICATIONS, out_signature="ssss")
    def GetServerInformation(self):
        return ("pelex-standin", "pelex tests", "1.0", "1.2")

    @dbus.service.signal(NOTIFICATIONS, signature="uu")
    def NotificationClosed(self, nid, reason):
        pass

    @dbus.service.signal(NOTIFICATIONS, signature="us")
    def ActionInvoked(self, nid, key):
        pass

    def command(self, c):
        if "mode" in c:
            self.mode, self.delay_ms = c["mode"], int(c.get("delay_ms", 0))
        if "invoke" in c:
            self.ActionInvoked(dbus.UInt32(c["invoke"]), c["action"])
            say("invoked", id=c["invoke"], action=c["action"])
        if "closed" in c:
            self.NotificationClosed(dbus.UInt32(c["closed"]), dbus.UInt32(c["reason"]))


class Watcher(dbus.service.Object):
    """Keeps the items that register; a host is always there."""

    def __init__(self, bus):
        super().__init__(bus, "/StatusNotifierWatcher")
        self.bus = bus
        self.items = []

    @dbus.service.method(WATCHER, in_signature="s", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender=None):
        # An item names its bus name or, starting with "/", its object path on the caller.
        item = sender + service if service.startswith("/") else service
        if item not in self.items:
            self.items.append(item)
        say("registered", item=item, sender=str(sender))
        self.StatusNotifierItemRegistered(item)

    @dbus.service.method(WATCHER, in_signature="s")
    def RegisterStatusNotifierHost(self, service):
        pass

    @dbus.service.signal(WATCHER, signature="s")
    def StatusNotifierItemRegistered(self, item):
        pass

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self.GetAll(interface)[name]

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return {"RegisteredStatusNotifierItems": dbus.Array(self.items, signature="s"),
                "IsStatusNotifierHostRegistered": True, "ProtocolVersion": dbus.Int32(0)}

    @dbus.service.method(dbus.INTROSPECTABLE_IFACE, out_signature="s")
    def Introspect(self):
        # Written out, since Qt reads the properties through what the object declares.
        return WATCHER_XML

    def command(self, c):
        pass


def main():
    p = argparse.ArgumentParser()
    p.add_argument("service", choices=("notifications", "watcher"))
    p.add_argument("--no-actions", action="store_true")
    args = p.parse_args()
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    if args.service == "notifications":
        name, service = NOTIFICATIONS, Notifications(bus, actions=not args.no_actions)
    else:
        name, service = WATCHER, Watcher(bus)
    keep = dbus.service.BusName(name, bus, do_not_queue=True)  # noqa: F841 (owned while referenced)
    loop = GLib.MainLoop()

    def on_input(source, condition):
        line = sys.stdin.readline()
        if not line:
            loop.quit()
            return False
        if line.strip():
            service.command(json.loads(line))
        return True

    GLib.io_add_watch(sys.stdin, GLib.IO_IN | GLib.IO_HUP, on_input)
    say("ready", name=name)
    loop.run()


if __name__ == "__main__":
    main()
