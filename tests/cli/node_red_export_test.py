#!/usr/bin/env python3
"""A site's Node-RED flow in a real Node-RED.

rvx-strings --batch --export node-red writes the flow; the test starts Node-RED on 127.0.0.1
with a user directory of its own, deploys the flow through the admin API, presses inject nodes
and a TCP server of the test, standing for the bridge, must receive exactly the frame's 14
bytes for each. Node-RED must be installed (scripts/install-deps): without it the test fails.

Arguments: the rvx-strings binary, the folder Node-RED is installed in (tools/node-red).
"""
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.error
import urllib.request

RVX = sys.argv[1]
NODE_RED = os.path.join(sys.argv[2], "node_modules", "node-red", "red.js")
START_SECONDS = 60
FRAME_SECONDS = 10

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED:", what, flush=True)


def frame_of(address, command, group):
    args = [RVX, address, "--command", command, "--notation", "compact"]
    if group:
        args.append("--group")
    return bytes.fromhex(subprocess.run(args, check=True, capture_output=True,
                                        text=True).stdout.strip())


class Bridge:
    """A TCP server that keeps what each connection sent, up to its close."""

    def __init__(self):
        self.server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.server.bind(("127.0.0.1", 0))
        self.server.listen(16)
        self.server.settimeout(FRAME_SECONDS)
        self.port = self.server.getsockname()[1]

    def receive(self):
        """What the next connection sends before it closes; None when none comes in time."""
        try:
            connection, _ = self.server.accept()
        except socket.timeout:
            return None
        connection.settimeout(FRAME_SECONDS)
        data = b""
        try:
            while True:
                chunk = connection.recv(4096)
                if not chunk:
                    break
                data += chunk
        except socket.timeout:
            pass
        connection.close()
        return data


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def request(url, data=None, headers=None, method=None):
    body = None if data is None else data.encode()
    req = urllib.request.Request(url, data=body, headers=headers or {}, method=method)
    with urllib.request.urlopen(req, timeout=10) as response:
        return response.status, response.read().decode()


def main():
    if not os.path.isfile(NODE_RED):
        print("Node-RED is not installed at", NODE_RED, "- run scripts/install-deps")
        return 1
    node = shutil.which("node")
    if node is None:
        print("node is not installed - run scripts/install-deps")
        return 1

    work = tempfile.mkdtemp(prefix="rvx-node-red-")
    bridge = Bridge()
    labels = ["Kitchen blind", 'Hall "east": K\u00fcche\nwest', "Bedroom, left"]
    with open(os.path.join(work, "site.txt"), "w", encoding="utf-8") as f:
        f.write("123456,single,Kitchen blind\n")
        f.write('0A0B0C,group,"Hall ""east"": K\u00fcche\nwest"\n')
        f.write("FEDCBA,single,Bedroom, left\n")
    exported = subprocess.run(
        [RVX, "--batch", os.path.join(work, "site.txt"), "--export", "node-red", "--target",
         "tcp://127.0.0.1:%d" % bridge.port], capture_output=True)
    check(exported.returncode == 0, "export: " + exported.stderr.decode())
    flow = json.loads(exported.stdout.decode("utf-8"))
    injects = [n for n in flow if n["type"] == "inject"]
    check(len(injects) == 3 * 14, "an inject node per motor and command: %d" % len(injects))

    port = free_port()
    user = os.path.join(work, "user")
    os.mkdir(user)
    with open(os.path.join(user, "settings.js"), "w") as f:
        f.write("module.exports = { uiHost: '127.0.0.1', uiPort: %d, flowFile: 'flows.json', "
                "credentialSecret: false, logging: { console: { level: 'warn' } } };\n" % port)
    log = open(os.path.join(work, "node-red.log"), "w")
    red = subprocess.Popen([node, NODE_RED, "-u", user, "-s", os.path.join(user, "settings.js")],
                           stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
    base = "http://127.0.0.1:%d" % port
    try:
        deadline = time.monotonic() + START_SECONDS
        started = False
        while time.monotonic() < deadline and red.poll() is None:
            try:
                status, _ = request(base + "/flows")
                if status == 200:
                    started = True
                    break
            except (urllib.error.URLError, ConnectionError, OSError):
                time.sleep(0.2)  # polled until the admin API answers, within START_SECONDS
        if not started:
            log.flush()
            print(open(os.path.join(work, "node-red.log")).read())
            check(False, "Node-RED did not answer within %d s" % START_SECONDS)
            return 1

        status, _ = request(base + "/flows", json.dumps(flow),
                            {"Content-Type": "application/json",
                             "Node-RED-Deployment-Type": "full"}, "POST")
        check(status in (200, 204), "deploy: status %d" % status)
        # The flow as Node-RED keeps it: the names as the labels say.
        _, kept = request(base + "/flows")
        kept = json.loads(kept)
        names = {n["name"] for n in kept if n.get("type") == "inject"}
        for label in labels:
            check(label + " \u2013 Up" in names, "kept name of " + repr(label))

        cases = [("123456", False, labels[0]), ("0A0B0C", True, labels[1]),
                 ("FEDCBA", False, labels[2])]
        by_name = {n["name"]: n for n in injects}
        for address, group, label in cases:
            commands = ["up", "down", "stop", "go-to-percent", "lock-at-ip", "unlock"]
            if address == "123456":
                commands = ["up", "down", "stop", "next-ip-up", "next-ip-down", "go-to-ip",
                            "go-to-percent", "jog-up", "jog-down", "lock-up", "lock-down",
                            "lock-current", "lock-at-ip", "unlock"]
            for command in commands:
                expected = frame_of(address, command, group)
                listed = subprocess.run([RVX, "--help"], capture_output=True, text=True).stdout
                display = [line.split(None, 1)[1].strip() for line in listed.splitlines()
                           if line.startswith("  " + command + " ")]
                node = by_name.get(label + " \u2013 " + display[0]) if display else None
                check(node is not None, "inject node of %s %s" % (label, command))
                if node is None:
                    continue
                status, _ = request(base + "/inject/" + node["id"], "", {}, "POST")
                check(status == 200, "inject %s: status %d" % (node["id"], status))
                got = bridge.receive()
                check(got == expected, "%s %s: bridge received %r, expected %s" % (
                    address, command, got, expected.hex(" ")))
    finally:
        os.killpg(red.pid, 15)
        try:
            red.wait(timeout=10)
        except subprocess.TimeoutExpired:
            os.killpg(red.pid, 9)
            red.wait()
        log.close()
        bridge.server.close()
        shutil.rmtree(work, ignore_errors=True)

    print("%d passed, %d failed" % (0 if failures else 1, 1 if failures else 0))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
