#!/usr/bin/env python3
"""A site's Home Assistant package, run as Home Assistant runs it.

The package is read as YAML; each shell_command is rendered and run the way Home Assistant runs
one against a pseudo-terminal, a TCP server of the test and Debian's ser2net: exactly the
frame's 14 bytes must arrive. The covers are in the template integration's own format and call
the commands of their own motor.

Argument: the rvx-strings binary.
"""
import os
import select
import shutil
import socket
import subprocess
import sys
import tempfile
import time

import export_support as ex

RVX = sys.argv[1]
checks = ex.Checks()
check = checks.check

SITE = [("123456", "single", "Kitchen blind"),
        ("0A0B0C", "group", 'Hall "east": K\u00fcche\nwest'),
        ("FEDCBA", "single", "it's #1 - a: b")]


def export(work, target, *more):
    path = os.path.join(work, "site.txt")
    ex.write_site(path, SITE)
    done = subprocess.run([RVX, "--batch", path, "--export", "home-assistant", "--target",
                           target, *more], capture_output=True)
    check(done.returncode == 0, "export: " + done.stderr.decode())
    return ex.load_package(done.stdout.decode("utf-8"))


def covers_by_address(package):
    """The covers, by the address of the motor each is named after."""
    found = {}
    for cover in ex.covers_of(package):
        name = ex.render_as_home_assistant(cover["name"])
        address = [a for a, kind, label in SITE if ex.motor_name(a, kind, label) == name]
        check(len(address) == 1, "cover named by its label: %r" % name)
        if address:
            found[address[0]] = cover
    return found


def group(address):
    return [kind for a, kind, _ in SITE if a == address][0] == "group"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Ser2net:
    """Debian's ser2net on 127.0.0.1 with its serial side on a device; stopped at the end."""

    def __init__(self, work, device):
        self.port = free_port()
        config = os.path.join(work, "ser2net-%d.yaml" % self.port)
        with open(config, "w") as f:
            f.write("connection: &bus\n  accepter: tcp,127.0.0.1,%d\n"
                    "  connector: serialdev,%s,4800o81,local\n" % (self.port, device))
        program = shutil.which("ser2net", path="/usr/sbin:/usr/bin")
        self.process = subprocess.Popen(
            [program, "-d", "-c", config, "-P", config + ".pid"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL) if program else None
        self.started = False
        deadline = time.monotonic() + 5
        while self.process and time.monotonic() < deadline and not self.started:
            try:
                socket.create_connection(("127.0.0.1", self.port), 0.1).close()
                self.started = True
            except OSError:
                time.sleep(0.05)  # polled until ser2net listens, within 5 s
        # The probe's own connection is over before a test connects.
        time.sleep(0.2)

    def stop(self):
        if self.process:
            self.process.terminate()
            self.process.wait(ex.WAIT_SECONDS)


def serial_port(work, master, device):
    # The bus's own line, odd parity, is what a port is set to first; a pseudo-terminal takes
    # no parity, so stty fails there, and the command must fail with no byte written at the
    # wrong settings.
    package = export(work, device)
    shell = package["shell_command"]
    name = next(iter(shell))
    check("parenb parodd" in shell[name], "odd parity set: " + shell[name])
    done = ex.run_as_home_assistant(shell[name])
    check(done.returncode != 0, "a line the port refuses fails the command")
    check(ex.read_pty(master, 14, 0.5) == b"", "nothing written when the line was refused")

    # The same site for a line without parity, which a pseudo-terminal takes.
    package = export(work, device, "--parity", "none")
    shell = package["shell_command"]
    check(all("-parenb" in command for command in shell.values()), "no parity set")
    check(len(shell) == 3 * 15, "a command per motor and command, and a position per motor")
    for address, cover in covers_by_address(package).items():
        for action, command in [("open_cover", "up"), ("close_cover", "down"),
                                ("stop_cover", "stop")]:
            name, _ = ex.action_of(cover, action)
            done = ex.run_as_home_assistant(shell[name])
            check(done.returncode == 0, "%s: %s" % (name, done.stderr.decode()))
            got = ex.read_pty(master, 14)
            check(got == ex.frame_of(RVX, address, command, group(address)),
                  "%s %s on the port: %s" % (address, action, got.hex(" ")))
        name, data = ex.action_of(cover, "set_cover_position")
        for position in (100, 63, 0):
            rendered = ex.render_as_home_assistant(data["position"], {"position": position})
            done = ex.run_as_home_assistant(shell[name], {"position": rendered})
            check(done.returncode == 0, "%s: %s" % (name, done.stderr.decode()))
            got = ex.read_pty(master, 14)
            check(got == ex.frame_of(RVX, address, "go-to-percent", group(address),
                                     100 - position),
                  "%s position %d: %s" % (address, position, got.hex(" ")))
        done = ex.run_as_home_assistant(shell[name], {"position": 101})
        check(done.returncode != 0 and ex.read_pty(master, 14, 0.3) == b"",
              "no frame for a position beyond 100")


def only_up(work, device):
    # A template cover opens and closes with both or neither: with Up alone it is set to
    # positions only, and its Up command is there for automations.
    package = export(work, device, "--command", "up")
    shell = package["shell_command"]
    check(sorted(name.rsplit("_", 1)[1] for name in shell) == sorted(["up", "position"] * 3),
          "--command up: Up and the position per motor")
    for cover in ex.covers_of(package):
        check(("open_cover" in cover) == ("close_cover" in cover) and "set_cover_position" in
              cover, "--command up: a cover the template integration takes: %r" % sorted(cover))


def tcp_bridge(work):
    # Through a bridge: nc to a TCP server, which closes once it has the frame.
    server = socket.socket()
    server.bind(("127.0.0.1", 0))
    server.listen(4)
    server.settimeout(ex.WAIT_SECONDS)
    package = export(work, "tcp://127.0.0.1:%d" % server.getsockname()[1])
    shell = package["shell_command"]
    for address, cover in covers_by_address(package).items():
        for action, variables, expected in [
                ("open_cover", {}, ex.frame_of(RVX, address, "up", group(address))),
                ("set_cover_position", {"position": 25},
                 ex.frame_of(RVX, address, "go-to-percent", group(address), 75))]:
            name, _ = ex.action_of(cover, action)
            argv = ex.argv_as_home_assistant(shell[name], variables)
            process = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            try:
                connection, _ = server.accept()
                connection.settimeout(ex.WAIT_SECONDS)
                data = b""
                while True:
                    chunk = connection.recv(64)
                    if not chunk:  # nc has shut its side once the frame was written
                        break
                    data += chunk
                connection.close()
            except socket.timeout:
                data = None
            process.wait(timeout=ex.WAIT_SECONDS)
            check(data == expected, "%s through the bridge: %r" % (name, data))
            check(process.returncode == 0, "%s through the bridge: exit %d" % (
                name, process.returncode))
    server.close()

    # Nothing listening: the command fails.
    package = export(work, "tcp://127.0.0.1:%d" % free_port())
    name = next(iter(package["shell_command"]))
    done = ex.run_as_home_assistant(package["shell_command"][name])
    check(done.returncode != 0, "a refused connection fails the command")


def hold(port):
    """A connection that ser2net has taken, not turned away: one that it neither answers nor
    closes within 0.3 s. ser2net may still be closing the connection before."""
    deadline = time.monotonic() + ex.WAIT_SECONDS
    while time.monotonic() < deadline:
        holder = socket.create_connection(("127.0.0.1", port), ex.WAIT_SECONDS)
        ready, _, _ = select.select([holder], [], [], 0.3)
        if not ready:
            return holder
        holder.close()
    return None


def through_ser2net(work, master, device):
    # ser2net serves one connection at a time: a Stop right after an Up must find the Up's
    # connection closed, and both frames reach the line.
    bridge = Ser2net(work, device)
    check(bridge.started, "ser2net (scripts/install-deps) started")
    if not bridge.started:
        return
    try:
        package = export(work, "tcp://127.0.0.1:%d" % bridge.port)
        shell = package["shell_command"]
        cover = covers_by_address(package)["123456"]
        up = ex.argv_as_home_assistant(shell[ex.action_of(cover, "open_cover")[0]])
        stop = ex.argv_as_home_assistant(shell[ex.action_of(cover, "stop_cover")[0]])
        first = subprocess.Popen(up, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        time.sleep(0.2)
        second = subprocess.Popen(stop, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        for process, what in ((first, "Up"), (second, "Stop 200 ms later")):
            _, err = process.communicate(timeout=ex.WAIT_SECONDS)
            check(process.returncode == 0, "%s through ser2net: exit %d, %r" % (
                what, process.returncode, err))
        got = ex.read_pty(master, 28)
        check(got == ex.frame_of(RVX, "123456", "up", False) +
              ex.frame_of(RVX, "123456", "stop", False),
              "Up then Stop through ser2net, both on the line: %s" % got.hex(" "))

        # While another client holds the bridge it turns the connection away: the command
        # fails and says what the bridge said.
        holder = hold(bridge.port)
        check(holder is not None, "a client holds the bridge")
        done = ex.run_as_home_assistant(shell[ex.action_of(cover, "stop_cover")[0]])
        if holder is not None:
            holder.close()
        check(done.returncode != 0, "a bridge in use fails the command")
        check(b"Port already in use" in done.stderr, "the bridge's words: %r" % done.stderr)
        check(ex.read_pty(master, 14, 0.5) == b"", "nothing on the line from a turned-away frame")
    finally:
        bridge.stop()


def main():
    work = tempfile.mkdtemp(prefix="rvx-ha-")
    master, slave = os.openpty()
    device = os.ttyname(slave)
    serial_port(work, master, device)
    only_up(work, device)
    tcp_bridge(work)
    through_ser2net(work, master, device)
    os.close(master)
    os.close(slave)
    return checks.result()


if __name__ == "__main__":
    sys.exit(main())
