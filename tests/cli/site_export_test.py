#!/usr/bin/env python3
"""Site exports of sites and targets built to subvert them, and of a site built to collide.

No label and no target may add, remove or change an entry of any export. Each file is read by
its platform's own reading (YAML as Home Assistant loads it, names and commands rendered and
run as Home Assistant does; JSON; openHAB's DSL) and must hold exactly the entries of the site,
each with its own motor's frame and named by its label; every name of every file is unique.
Then: --help says what the files hold, and --baud takes what stty takes.

Argument: the rvx-strings binary.
"""
import collections
import json
import os
import subprocess
import sys
import tempfile

import export_support as ex

RVX = sys.argv[1]
checks = ex.Checks()
check = checks.check

# Labels whose words meet: a label that is another's with a command's first word, the same
# motor twice, a group at a motor's address, labels that differ only where names cannot, and
# labels that spell what a name falls back on.
COLLIDING = [
    ("123456", "single", "Kitchen"),
    ("123457", "single", "Kitchen Lock"),
    ("123458", "single", "Kitchen Next IP"),
    ("123459", "single", "Kitchen Jog"),
    ("12345A", "single", "Kitchen Lock Up"),
    ("12345B", "single", "kitchen"),
    ("12345C", "single", "Kitchen!"),
    ("123456", "single", "Kitchen"),
    ("123456", "group", "Kitchen"),
    ("12345D", "single", "Kitchen 123456"),
    ("12345E", "single", "Kitchen 2"),
    ("12345F", "single", ""),
    ("12345F", "single", "Motor 12345F"),
    ("123460", "single", "A" * 40 + " one"),
    ("123461", "single", "A" * 40 + " two"),
    ("123462", "single", "K\u00fcche"),
    ("123463", "single", "K che"),
    ("123464", "single", "\u5bdd\u5ba4"),
    ("123465", "single", "123465"),
    ("123466", "single", "Kitchen Position"),
    ("123467", "single", "Site"),
    ("123468", "group", "Bus"),
]

POSITION = 37  # a cover position: Go to % of 63


def export(site, kind, target, *more):
    return subprocess.run([RVX, "--batch", site, "--export", kind, "--target", target, *more],
                          capture_output=True)


def exported(site, kind, target, *more):
    done = export(site, kind, target, *more)
    check(done.returncode == 0, "%s export: %s" % (kind, done.stderr.decode()))
    return done.stdout.decode("utf-8")


class Site:
    """A site's file, and each motor's name and frames as rvx-strings makes them one by one."""

    def __init__(self, work, name, motors):
        self.motors = motors
        self.path = os.path.join(work, name + ".txt")
        ex.write_site(self.path, motors)
        self.names = [ex.motor_name(*motor) for motor in motors]
        self.frames = []
        self.positions = []
        for address, kind, _ in motors:
            group = kind == "group"
            self.frames.append(ex.frames_of(RVX, address, group))
            self.positions.append(ex.frame_of(RVX, address, "go-to-percent", group,
                                              100 - POSITION))
        self.commands = list(self.frames[0])


def unique(values, what):
    repeated = [v for v, n in collections.Counter(values).items() if n > 1]
    check(not repeated, "%s unique: %r given more than once" % (what, repeated[:5]))


# ---- Home Assistant ----

def check_home_assistant(site, target, master, work, what):
    text = exported(site.path, "home-assistant", target, "--parity", "none")
    try:
        package = ex.load_package(text)
    except Exception as error:  # the file is no package at all
        check(False, "%s: the package reads as YAML: %s" % (what, error))
        return
    shell = package["shell_command"]
    check(sorted(package) == ["shell_command", "template"], "%s: top-level keys %r" % (
        what, sorted(package)))
    check(len(shell) == len(site.motors) * (len(site.commands) + 1),
          "%s: a command per motor and command and a position per motor: %d" % (what, len(shell)))
    covers = ex.covers_of(package)
    names = [ex.render_as_home_assistant(cover["name"]) for cover in covers]
    check(names == site.names, "%s: each cover named by its label, rendered as Home Assistant "
          "does: %r" % (what, [(n, e) for n, e in zip(names, site.names) if n != e][:3]))
    unique([cover["unique_id"] for cover in covers], what + ": unique_id")

    # Every command run once: each sends one frame of the site, and together exactly the
    # site's frames. A byte more or less would show in the frames read after it.
    sent = {}
    for name, command in shell.items():
        done = ex.run_as_home_assistant(command, {"position": POSITION})
        sent[name] = ex.read_pty(master, 14, after=0)
        check(done.returncode == 0, "%s: %s ran: %s" % (what, name, done.stderr.decode()))
    check(ex.read_pty(master, 1, 0.2) == b"", what + ": nothing more on the port")
    expected = collections.Counter()
    for frames, position in zip(site.frames, site.positions):
        expected.update(frames.values())
        expected[position] += 1
    got = collections.Counter(sent.values())
    check(got == expected, "%s: the commands send exactly the site's frames: %d extra, %d "
          "missing" % (what, sum((got - expected).values()), sum((expected - got).values())))
    # Each cover runs its own motor's commands.
    for cover, frames, position in zip(covers, site.frames, site.positions):
        for key, command in [("open_cover", "Up"), ("close_cover", "Down"),
                             ("stop_cover", "Stop")]:
            name, _ = ex.action_of(cover, key)
            check(sent.get(name) == frames[command], "%s: %s of %r" % (what, key, cover["name"]))
        name, data = ex.action_of(cover, "set_cover_position")
        check(ex.render_as_home_assistant(data["position"], {"position": POSITION}) ==
              str(POSITION) and sent.get(name) == position,
              "%s: position of %r" % (what, cover["name"]))
    check(not os.path.exists(os.path.join(work, "PWNED")), what + ": nothing else was run")


# ---- Node-RED ----

def check_node_red(site, target, what):
    try:
        flow = json.loads(exported(site.path, "node-red", target))
    except ValueError as error:
        check(False, "%s: the flow reads as JSON: %s" % (what, error))
        return
    unique([node["id"] for node in flow], what + ": node ids")
    injects = [node for node in flow if node["type"] == "inject"]
    others = [node for node in flow if node["type"] != "inject"]
    check(sorted(n["type"] for n in others) == ["serial out", "serial-port", "tab"],
          "%s: the nodes besides the injects: %r" % (what, [n["type"] for n in others]))
    port = [n for n in others if n["type"] == "serial-port"]
    check(port and port[0]["serialport"] == target, "%s: the port is the target" % what)
    expected = [(name + " \u2013 " + command, list(frames[command]))
                for name, frames in zip(site.names, site.frames) for command in site.commands]
    got = [(n["name"], json.loads(n["payload"])) for n in injects]
    check(got == expected, "%s: an inject per motor and command, named by its label, with its "
          "frame: %r" % (what, [(g, e) for g, e in zip(got, expected) if g != e][:2]))
    check(all(n["wires"] == [["rvx_bus"]] and n["payloadType"] == "bin" for n in injects),
          what + ": every inject wired to the bus")


# ---- openHAB ----

def check_open_hab(site, target, what):
    try:
        bridge = ex.read_things(exported(site.path, "openhab-things", target))
        items = ex.read_items(exported(site.path, "openhab-items", target))
    except ex.OpenHabError as error:
        check(False, "%s: the files read as openHAB's DSL: %s" % (what, error))
        return
    check(bridge["properties"].get("serialPort") == target, what + ": the bridge's port")
    things = bridge["things"]
    unique([thing["id"] for thing in things], what + ": thing ids")
    check([thing["label"] for thing in things] == site.names,
          "%s: a thing per motor, named by its label" % what)
    channels = {}
    for thing, frames in zip(things, site.frames):
        unique([c["id"] for c in thing["channels"]], what + ": channels of " + thing["id"])
        got = [(c["label"], c["properties"].get("commandFormat")) for c in thing["channels"]]
        check(got == [(c, frames[c].hex(" ").upper()) for c in site.commands],
              "%s: the channels of %r" % (what, thing["label"]))
        for c in thing["channels"]:
            channels["serial:serialDevice:rvx_bus:%s:%s" % (thing["id"], c["id"])] = (
                thing["label"], c["label"])
    unique([item["name"] for item in items], what + ": item names")
    linked = [channels.get(item["bindings"].get("channel")) for item in items]
    check(linked == [(name, command) for name in site.names for command in site.commands],
          "%s: an item per motor and command, linked to its channel" % what)
    check([item["label"] for item in items] ==
          [name + " \u2013 " + command for name in site.names for command in site.commands],
          "%s: each item named by its label" % what)


# ---- What --help says, and what --baud takes ----

def words_of(help_text, kind):
    """The sentence --help gives an export: from its name to the next export's."""
    at = help_text.index(kind + " (")
    return " ".join(help_text[at:at + 600].split())


def check_help(site):
    help_text = subprocess.run([RVX, "--help"], capture_output=True, text=True).stdout
    # The nodes of the flow for a bridge and for a port, by the names --help might give them.
    node_types = {"inject", "tcp out", "tcp request", "tcp in", "serial out", "serial in",
                  "serial request"}
    used = set()
    for target in ("tcp://127.0.0.1:4001", "/dev/ttyUSB0"):
        used |= {node["type"] for node in json.loads(exported(site.path, "node-red", target))}
    words = words_of(help_text, "node-red")
    named = {t for t in node_types if (t + " node") in words}
    check(named == used & node_types, "--help names the flow's nodes: says %r, holds %r" % (
        sorted(named), sorted(used & node_types)))
    items = ex.read_items(exported(site.path, "openhab-items", "/dev/ttyUSB0"))
    words = words_of(help_text, "openhab-items").lower()
    named = {t for t in ("string", "rollershutter", "switch", "number", "dimmer")
             if (t + " item") in words}
    check(named == {item["type"].lower() for item in items},
          "--help names the items the file holds: says %r" % sorted(named))


def check_baud_rates(site, master, device):
    """A rate the export takes is one stty takes, and one it refuses is one stty refuses."""
    for baud in (50, 134, 4800, 9600, 57600, 250000, 12345, 31250, 76800, 1000000, 4000000):
        done = export(site.path, "home-assistant", device, "--baud", str(baud))
        stty = subprocess.run(["stty", str(baud)], stdin=open(device), capture_output=True)
        check((done.returncode == 0) == (stty.returncode == 0),
              "--baud %d: export exit %d, stty exit %d" % (baud, done.returncode,
                                                           stty.returncode))
        if done.returncode != 0:
            err = done.stderr.decode()
            check(done.returncode == 2 and done.stdout == b"" and "stty" in err and
                  err.count("\n") == 1, "--baud %d refused in one line: %r" % (baud, err))
    # Node-RED's serial node takes any rate: none is refused there.
    check(export(site.path, "node-red", device, "--baud", "250000").returncode == 0,
          "node-red takes --baud 250000")


def main():
    work = tempfile.mkdtemp(prefix="rvx-site-export-")
    os.chdir(work)
    master, slave = os.openpty()
    # A port reached through a link whose name holds every quote, template and shell
    # character, and a line separator: the frames must reach the port all the same.
    target = os.path.join(work, "tty '\"{{ 7*7 }}{% endraw %}$(touch PWNED)`x`\u2028 ${X} {")
    os.symlink(os.ttyname(slave), target)

    # The first two alone: a line separator in a label once redefined the first motor's Up.
    injection = Site(work, "injection", ex.HOSTILE[:2])
    check_home_assistant(injection, os.ttyname(slave), master, work, "a label ending a comment")
    hostile = Site(work, "hostile", ex.HOSTILE)
    colliding = Site(work, "colliding", COLLIDING)
    for site, port, what in ((hostile, os.ttyname(slave), "hostile labels"),
                             (hostile, target, "hostile labels and target"),
                             (colliding, os.ttyname(slave), "colliding labels")):
        check_home_assistant(site, port, master, work, what)
        check_node_red(site, port, what)
        check_open_hab(site, port, what)
    check_help(hostile)
    check_baud_rates(hostile, master, os.ttyname(slave))
    os.close(master)
    os.close(slave)
    return checks.result()


if __name__ == "__main__":
    sys.exit(main())
