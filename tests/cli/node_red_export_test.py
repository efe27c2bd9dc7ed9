#!/usr/bin/env python3
"""A site's Node-RED flow in a real Node-RED.

rvx-strings --batch --export node-red writes the flow of a site whose labels hold every line
break, quote and template character; the test starts Node-RED on 127.0.0.1 with a user
directory of its own, deploys the flow through the admin API, presses every inject node, and a
TCP server of the test, standing for the bridge, must receive exactly the frame's 14 bytes of
the node's own motor and command for each. Node-RED must be installed (scripts/install-deps):
without it the test fails.

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

import export_support as ex

RVX = sys.argv[1]
NODE_RED = os.path.join(sys.argv[2], "node_modules", "node-red", "red.js")
START_SECONDS = 60
FRAME_SECONDS = 10

checks = ex.Checks()
check = checks.check


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


def press(base, node):
    """Presses an inject node. A deploy ends before its nodes have started, and until then
    Node-RED knows no such node: asked again, within START_SECONDS."""
    deadline = time.monotonic() + START_SECONDS
    while True:
        try:
            return request(base + "/inject/" + node, "", {}, "POST")[0]
        except urllib.error.HTTPError as error:
            if error.code != 404 or time.monotonic() > deadline:
                raise
            time.sleep(0.1)


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
    site = [("123456", "single", "Kitchen blind"),
            ("0A0B0C", "group", 'Hall "east": K\u00fcche\nwest'),
            ("FEDCBA", "single", "Bedroom, left")] + ex.HOSTILE[1:]
    ex.write_site(os.path.join(work, "site.txt"), site)
    exported = subprocess.run(
        [RVX, "--batch", os.path.join(work, "site.txt"), "--export", "node-red", "--target",
         "tcp://127.0.0.1:%d" % bridge.port], capture_output=True)
    check(exported.returncode == 0, "export: " + exported.stderr.decode())
    flow = json.loads(exported.stdout.decode("utf-8"))
    injects = [n for n in flow if n["type"] == "inject"]
    check(len(injects) == len(site) * 14, "an inject node per motor and command: %d" % len(injects))

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
        by_name = {n["name"]: n for n in injects}
        for address, kind, label in site:
            frames = ex.frames_of(RVX, address, kind == "group")
            for command, expected in frames.items():
                name = ex.motor_name(address, kind, label) + " \u2013 " + command
                check(name in names, "kept name %r" % name)
                node = by_name.get(name)
                check(node is not None, "inject node %r" % name)
                if node is None:
                    continue
                status = press(base, node["id"])
                check(status == 200, "inject %s: status %d" % (node["id"], status))
                got = bridge.receive()
                check(got == expected, "%r: bridge received %r, expected %s" % (
                    name, got, expected.hex(" ")))
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

    return checks.result()


if __name__ == "__main__":
    sys.exit(main())
