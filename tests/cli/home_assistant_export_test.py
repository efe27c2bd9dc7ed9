#!/usr/bin/env python3
"""A site's Home Assistant package, run as Home Assistant runs it.

The package is parsed as YAML; each shell_command is run the way Home Assistant runs one (by
sh, or with a template, its arguments rendered and split and the program run without a shell)
against a pseudo-terminal and a TCP server of the test: exactly the frame's 14 bytes must
arrive. The covers must call the commands of their own motor.

Argument: the rvx-strings binary.
"""
import os
import select
import shlex
import socket
import subprocess
import sys
import tempfile

import yaml

RVX = sys.argv[1]
WAIT_SECONDS = 10
failures = []
passed = 0


def check(condition, what):
    global passed
    if condition:
        passed += 1
    else:
        failures.append(what)
        print("FAILED:", what, flush=True)


def frame_of(address, command, group, percent=None):
    args = [RVX, address, "--command", command, "--notation", "compact"]
    if group:
        args.append("--group")
    if percent is not None:
        args += ["--percent", str(percent)]
    return bytes.fromhex(subprocess.run(args, check=True, capture_output=True,
                                        text=True).stdout.strip())


def run_as_home_assistant(command, variables):
    """Home Assistant's shell_command: with a template, the program is the first word and the
    rest is rendered, split as sh would and run without a shell; without one, sh runs it."""
    prog, _, args = command.partition(" ")
    rendered = args
    for name, value in variables.items():
        rendered = rendered.replace("{{ %s }}" % name, str(value))
    if rendered == args:
        argv = ["sh", "-c", command]
    else:
        argv = [prog] + shlex.split(rendered)
    return subprocess.run(argv, capture_output=True, timeout=WAIT_SECONDS)


def read_pty(master, count, wait=WAIT_SECONDS):
    data = b""
    while len(data) < count:
        ready, _, _ = select.select([master], [], [], wait)
        if not ready:
            break
        data += os.read(master, count - len(data))
    # Nothing more follows the frame.
    ready, _, _ = select.select([master], [], [], 0.2)
    if ready:
        data += os.read(master, 1024)
    return data


SITE = ('123456,single,Kitchen blind\n'
        '0A0B0C,group,"Hall ""east"": K\u00fcche\nwest"\n'
        "FEDCBA,single,it's #1 - a: b\n")
LABELS = {"123456": "Kitchen blind", "0A0B0C": 'Hall "east": K\u00fcche\nwest',
          "FEDCBA": "it's #1 - a: b"}
KINDS = {"123456": False, "0A0B0C": True, "FEDCBA": False}


def export(work, target, *line):
    path = os.path.join(work, "site.txt")
    with open(path, "w", encoding="utf-8") as f:
        f.write(SITE)
    done = subprocess.run([RVX, "--batch", path, "--export", "home-assistant", "--target",
                           target, *line], capture_output=True)
    check(done.returncode == 0, "export: " + done.stderr.decode())
    return yaml.safe_load(done.stdout.decode("utf-8"))


def commands_of(package):
    """The commands by motor address: the cover's services name them."""
    covers = package["cover"][0]["covers"]
    found = {}
    for cover in covers.values():
        address = [a for a, label in LABELS.items() if label == cover["friendly_name"]]
        check(len(address) == 1, "cover named by its label: %r" % cover["friendly_name"])
        if address:
            found[address[0]] = cover
    return found


def main():
    work = tempfile.mkdtemp(prefix="rvx-ha-")
    master, slave = os.openpty()
    device = os.ttyname(slave)

    # The bus's own line, odd parity, is what a port is set to first; a pseudo-terminal takes
    # no parity, so stty fails there, and the command must fail with no byte written at the
    # wrong settings.
    package = export(work, device)
    shell = package["shell_command"]
    name = next(iter(shell))
    check("parenb parodd" in shell[name], "odd parity set: " + shell[name])
    done = run_as_home_assistant(shell[name], {})
    check(done.returncode != 0, "a line the port refuses fails the command")
    check(read_pty(master, 14, 0.5) == b"", "nothing written when the line was refused")

    # The same site for a line without parity, which a pseudo-terminal takes.
    package = export(work, device, "--parity", "none")
    shell = package["shell_command"]
    check(all("-parenb" in command for command in shell.values()), "no parity set")
    check(len(shell) == 3 * 15, "a command per motor and command, and a position per motor")
    covers = commands_of(package)
    for address, cover in covers.items():
        group = KINDS[address]
        for action, command in [("open_cover", "up"), ("close_cover", "down"),
                                ("stop_cover", "stop")]:
            name = cover[action]["service"].split(".", 1)[1]
            done = run_as_home_assistant(shell[name], {})
            check(done.returncode == 0, "%s: %s" % (name, done.stderr.decode()))
            got = read_pty(master, 14)
            check(got == frame_of(address, command, group),
                  "%s %s on the port: %s" % (address, action, got.hex(" ")))
        name = cover["set_cover_position"]["service"].split(".", 1)[1]
        check(cover["set_cover_position"]["data"]["position"] == "{{ position }}",
              "position passed")
        for position in (100, 63, 0):
            done = run_as_home_assistant(shell[name], {"position": position})
            check(done.returncode == 0, "%s: %s" % (name, done.stderr.decode()))
            got = read_pty(master, 14)
            check(got == frame_of(address, "go-to-percent", group, 100 - position),
                  "%s position %d: %s" % (address, position, got.hex(" ")))
    # Every other command of the kitchen blind.
    for name, command in shell.items():
        if name.startswith("rvx_kitchen_blind_") and not name.endswith("_position"):
            plain = name[len("rvx_kitchen_blind_"):].replace("_", "-")
            done = run_as_home_assistant(command, {})
            got = read_pty(master, 14)
            check(got == frame_of("123456", plain, False), "%s: %s" % (name, got.hex(" ")))

    # Through a bridge: nc to a TCP server, which closes once it has the frame.
    server = socket.socket()
    server.bind(("127.0.0.1", 0))
    server.listen(4)
    server.settimeout(WAIT_SECONDS)
    package = export(work, "tcp://127.0.0.1:%d" % server.getsockname()[1])
    shell = package["shell_command"]
    covers = commands_of(package)
    for address, cover in covers.items():
        for service, variables, expected in [
                (cover["open_cover"]["service"], {}, frame_of(address, "up", KINDS[address])),
                (cover["set_cover_position"]["service"], {"position": 25},
                 frame_of(address, "go-to-percent", KINDS[address], 75))]:
            name = service.split(".", 1)[1]
            process = subprocess.Popen(["true"])
            process.wait()
            prog, _, args = shell[name].partition(" ")
            rendered = args.replace("{{ position }}", str(variables.get("position", "")))
            argv = ["sh", "-c", shell[name]] if rendered == args else [prog] + shlex.split(rendered)
            process = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            try:
                connection, _ = server.accept()
                connection.settimeout(WAIT_SECONDS)
                data = b""
                while len(data) < 14:
                    chunk = connection.recv(64)
                    if not chunk:
                        break
                    data += chunk
                connection.close()
            except socket.timeout:
                data = None
            process.wait(timeout=WAIT_SECONDS)
            check(data == expected, "%s through the bridge: %r" % (name, data))
    server.close()
    os.close(master)
    os.close(slave)
    print("%d passed, %d failed" % (passed, len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
