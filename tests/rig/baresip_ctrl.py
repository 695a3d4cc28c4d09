#!/usr/bin/env python3
"""Drives the rig's baresip peer over ctrl_tcp (JSON in netstrings).

    baresip_ctrl.py [--port N] [--wait SECONDS] COMMAND [PARAMS]

Sends one command (e.g. `dial sip:1000@127.0.0.1:5070`, `hangup`, `accept`,
`uadel`), then prints every JSON message (responses and events) that
arrives within --wait seconds, one per line. ctrl_tcp serves one client at a
time, so keep one connection per test step.
"""
import argparse
import json
import os
import socket
import time


class BaresipControl:
    def __init__(self, port=None, host="127.0.0.1"):
        port = port or int(os.environ.get("PELEX_RIG_PEER_CTRL_PORT", "5074"))
        self.sock = socket.create_connection((host, port), timeout=5)
        self.buffer = b""

    def send(self, command, params=""):
        body = json.dumps({"command": command, "params": params, "token": "pelex"}).encode()
        self.sock.sendall(str(len(body)).encode() + b":" + body + b",")

    def receive(self, timeout):
        """Returns the next message as a dict, or None after `timeout` seconds."""
        deadline = time.monotonic() + timeout
        while True:
            if b":" in self.buffer:
                length, rest = self.buffer.split(b":", 1)
                n = int(length)
                if len(rest) > n:
                    self.buffer = rest[n + 1:]
                    return json.loads(rest[:n])
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            self.sock.settimeout(left)
            try:
                chunk = self.sock.recv(4096)
            except socket.timeout:
                return None
            if not chunk:
                return None
            self.buffer += chunk

    def close(self):
        self.sock.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int)
    parser.add_argument("--wait", type=float, default=1.0)
    parser.add_argument("command")
    parser.add_argument("params", nargs="*")
    args = parser.parse_args()
    control = BaresipControl(args.port)
    control.send(args.command, " ".join(args.params))
    deadline = time.monotonic() + args.wait
    while (left := deadline - time.monotonic()) > 0:
        message = control.receive(left)
        if message is None:
            break
        print(json.dumps(message))
    control.close()


if __name__ == "__main__":
    main()
