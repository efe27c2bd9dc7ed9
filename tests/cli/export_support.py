"""What the site export tests share: the site files they write, the frames rvx-strings makes
for one motor, and each platform's own reading of its file.

- Home Assistant: the package read as YAML (a key given twice is an error here, where YAML
  keeps the last one silently), names rendered and shell commands run as Home Assistant renders
  and runs them (Jinja in its sandbox; a command whose arguments hold a template runs without
  a shell, its rendered arguments split by shlex).
- openHAB: the things and items files read by the terminals of the Xtext grammar openHAB's DSL
  is built on (its STRING with Java's escapes, ID, INT, comments) and the rules of the parts
  the exports write.
"""
import csv
import io
import os
import re
import select
import shlex
import subprocess

import yaml
from jinja2.sandbox import ImmutableSandboxedEnvironment

WAIT_SECONDS = 10


class Checks:
    """Failures collected and printed as they come; the test's exit status at the end."""

    def __init__(self):
        self.failures = []
        self.passed = 0

    def check(self, condition, what):
        if condition:
            self.passed += 1
        else:
            self.failures.append(what)
            print("FAILED:", what, flush=True)
        return condition

    def result(self):
        print("%d passed, %d failed" % (self.passed, len(self.failures)))
        return 1 if self.failures else 0


# ---- Sites ----

# Every character that ends a line in one of the formats (YAML 1.1 and 1.2: LF, CR, NEL, LS,
# PS; JSON and openHAB's DSL: LF, CR), every quote, and the template and substitution
# characters of the platforms.
HOSTILE = [
    ("123456", "single", "Kitchen"),
    ("654321", "single", 'Hall\u2028  rvx_kitchen_up: "touch PWNED"\u2028  #'),
    ("111111", "single", "line\nfeed: x\r\ncr lf\rcarriage: y"),
    ("222222", "group", "next\u0085line: z"),
    ("333333", "single", "para\u2029graph: w"),
    ("444444", "single",
     "{{ 7*7 }} {% if true %}x{% endif %} {# c #} {% endraw %}{%endraw%} {%- raw -%} {"),
    ("555555", "single", "\"double\" 'single' `back` \\back\\slash\\ \\\" \\u0041 \\n"),
    ("666666", "group", "${HOME} $(HOME) $(touch PWNED); | & < > * ?"),
    ("777777", "single", '" ] { Thing serialDevice evil "x" [ ] } } String evil "x" // /* */'),
    ("888888", "single", '"}, {"id": "evil", "type": "inject", "payload": "[1]"'),
    ("999999", "single", "tab\there \ufeffbom \u0080\u009b[31m c1 \U0001F600"),
    ("99999A", "single", "non-character \ufffe\uffff"),
    ("AAAAAA", "single", "  \n "),
    ("BBBBBB", "group", "- item\n? key\n: value\n--- \n... &anchor *alias !tag %YAML"),
]



def site_line(address, kind, label):
    """A motor list line with the label in quotes, as a spreadsheet writes one."""
    return '%s,%s,"%s"\n' % (address, kind, label.replace('"', '""'))


def write_site(path, motors):
    with open(path, "w", encoding="utf-8", newline="") as f:
        for address, kind, label in motors:
            f.write(site_line(address, kind, label))


def motor_name(address, kind, label):
    """The name a motor is shown by: its label without white space around it, or its kind and
    address."""
    name = label.strip(" \t\n\r\v\f")
    if name:
        return name
    return ("Group " if kind == "group" else "Motor ") + address


def frame_of(rvx, address, command, group, percent=None):
    args = [rvx, address, "--command", command, "--notation", "compact"]
    if group:
        args.append("--group")
    if percent is not None:
        args += ["--percent", str(percent)]
    return bytes.fromhex(subprocess.run(args, check=True, capture_output=True,
                                        text=True).stdout.strip())


def frames_of(rvx, address, group, *options):
    """Every command's frame for one motor, by the command's name, in the catalogue's order."""
    args = [rvx, address, "--format", "csv", "--notation", "compact", *options]
    if group:
        args.append("--group")
    rows = csv.reader(io.StringIO(subprocess.run(args, check=True, capture_output=True,
                                                 text=True).stdout))
    next(rows)
    return {name: bytes.fromhex(string) for name, string in rows}


def read_pty(master, count, wait=WAIT_SECONDS, after=0.2):
    """Up to count bytes from a pseudo-terminal, and whatever follows within after seconds."""
    data = b""
    while len(data) < count:
        ready, _, _ = select.select([master], [], [], wait)
        if not ready:
            break
        data += os.read(master, count - len(data))
    ready, _, _ = select.select([master], [], [], after)
    if ready:
        data += os.read(master, 4096)
    return data


# ---- Home Assistant ----

class UniqueKeyLoader(yaml.SafeLoader):
    """YAML as Home Assistant's loader reads it, but a key given twice is an error."""


def _mapping_without_repeats(loader, node, deep=False):
    keys = set()
    for key_node, _ in node.value:
        key = loader.construct_object(key_node, deep=deep)
        if key in keys:
            raise yaml.constructor.ConstructorError(None, None, "key %r given twice" % (key,),
                                                    key_node.start_mark)
        keys.add(key)
    return yaml.SafeLoader.construct_mapping(loader, node, deep)


UniqueKeyLoader.add_constructor(yaml.resolver.BaseResolver.DEFAULT_MAPPING_TAG,
                                _mapping_without_repeats)


def load_package(text):
    return yaml.load(text, Loader=UniqueKeyLoader)


_JINJA = ImmutableSandboxedEnvironment()
_TEMPLATE_SYNTAX = re.compile(r"\{%|\{\{|\{#")


def render_as_home_assistant(text, variables=None):
    """A template as Home Assistant renders it: a text without template syntax is taken as it
    stands, any other is rendered by Jinja in its sandbox."""
    if not _TEMPLATE_SYNTAX.search(text):
        return text
    return _JINJA.from_string(text).render(**(variables or {}))


def argv_as_home_assistant(command, variables=None):
    """What Home Assistant's shell_command runs: the command by sh where its arguments render
    to themselves, otherwise the first word with the rendered arguments split by shlex."""
    prog, space, args = command.partition(" ")
    if not space:
        return ["/bin/sh", "-c", command]
    rendered = render_as_home_assistant(args, variables)
    if rendered == args:
        return ["/bin/sh", "-c", command]
    return [prog] + shlex.split(rendered)


def run_as_home_assistant(command, variables=None, wait=WAIT_SECONDS):
    return subprocess.run(argv_as_home_assistant(command, variables), capture_output=True,
                          timeout=wait)


def covers_of(package):
    """The template covers of a package, in order."""
    covers = []
    for block in package.get("template") or []:
        covers += block.get("cover") or []
    return covers


def action_of(cover, key):
    """The shell_command a cover's action runs, and the data it passes."""
    steps = cover[key]
    assert isinstance(steps, list) and len(steps) == 1, steps
    step = steps[0]
    domain, _, name = step["action"].partition(".")
    assert domain == "shell_command", step
    return name, step.get("data", {})


# ---- openHAB ----

class OpenHabError(Exception):
    pass


_ESCAPES = {"b": "\b", "t": "\t", "n": "\n", "f": "\f", "r": "\r", '"': '"', "'": "'",
            "\\": "\\"}


def _string_value(body):
    """A STRING's value: Java's escapes, as Xtext's converter takes them; any other escape is an
    error."""
    out = []
    k = 0
    while k < len(body):
        c = body[k]
        if c != "\\":
            out.append(c)
            k += 1
            continue
        escape = body[k + 1]
        if escape in _ESCAPES:
            out.append(_ESCAPES[escape])
            k += 2
        elif escape == "u" and re.fullmatch(r"[0-9a-fA-F]{4}", body[k + 2:k + 6]):
            out.append(chr(int(body[k + 2:k + 6], 16)))
            k += 6
        else:
            raise OpenHabError("illegal escape \\%s" % escape)
    return "".join(out)


_TOKEN = re.compile(r"""
    (?P<space>\s+)
  | (?P<comment>//[^\n\r]*|/\*.*?\*/)
  | (?P<string>"(?:\\.|[^\\"])*"|'(?:\\.|[^\\'])*')
  | (?P<id>\^?[A-Za-z_][A-Za-z0-9_]*)
  | (?P<int>[0-9]+)
  | (?P<symbol>[\[\]{}(),=:<>])
""", re.VERBOSE | re.DOTALL)


def tokens(text):
    """The DSL's tokens: (kind, value), strings by their value."""
    found = []
    at = 0
    while at < len(text):
        match = _TOKEN.match(text, at)
        if not match:
            raise OpenHabError("no token at %r" % text[at:at + 30])
        kind = match.lastgroup
        value = match.group()
        if kind == "string":
            found.append(("string", _string_value(value[1:-1])))
        elif kind in ("id", "int", "symbol"):
            found.append((kind, value))
        at = match.end()
    return found


class _Reader:
    def __init__(self, text):
        self.tokens = tokens(text)
        self.at = 0

    def peek(self, value=None, kind=None):
        if self.at >= len(self.tokens):
            return False
        k, v = self.tokens[self.at]
        return (value is None or v == value) and (kind is None or k == kind)

    def take(self, value=None, kind=None):
        if not self.peek(value, kind):
            raise OpenHabError("expected %s at token %d: %r" % (
                value or kind, self.at, self.tokens[self.at:self.at + 5]))
        self.at += 1
        return self.tokens[self.at - 1][1]

    def uid(self):
        parts = [self.take(kind="id")]
        while self.peek(":"):
            self.take(":")
            parts.append(self.take(kind="id"))
        return ":".join(parts)

    def label(self):
        return self.take(kind="string") if self.peek(kind="string") else None

    def properties(self):
        found = {}
        if not self.peek("["):
            return found
        self.take("[")
        while not self.peek("]"):
            key = self.take(kind="id")
            self.take("=")
            kind, value = self.tokens[self.at]
            if kind not in ("string", "int", "id"):
                raise OpenHabError("no value for %s" % key)
            self.at += 1
            if key in found:
                raise OpenHabError("%s given twice" % key)
            found[key] = value
            if not self.peek("]"):
                self.take(",")
        self.take("]")
        return found

    def ended(self):
        return self.at == len(self.tokens)


def read_things(text):
    """A things file of one bridge: {"uid", "label", "properties", "things": [{"type", "id",
    "label", "properties", "channels": [{"type", "id", "label", "properties"}]}]}."""
    r = _Reader(text)
    r.take("Bridge")
    bridge = {"uid": r.uid(), "label": r.label(), "properties": r.properties(), "things": []}
    r.take("{")
    while r.peek("Thing"):
        r.take("Thing")
        thing = {"type": r.take(kind="id"), "id": r.take(kind="id"), "label": r.label(),
                 "properties": r.properties(), "channels": []}
        if r.peek("{"):
            r.take("{")
            r.take("Channels")
            r.take(":")
            while r.peek("Type"):
                r.take("Type")
                channel = {"type": r.take(kind="id")}
                r.take(":")
                channel["id"] = r.take(kind="id")
                channel["label"] = r.label()
                channel["properties"] = r.properties()
                thing["channels"].append(channel)
            r.take("}")
        bridge["things"].append(thing)
    r.take("}")
    if not r.ended():
        raise OpenHabError("text after the bridge: %r" % r.tokens[r.at:r.at + 5])
    return bridge


def read_items(text):
    """An items file: [{"type", "name", "label", "bindings": {name: value}}]."""
    r = _Reader(text)
    items = []
    while not r.ended():
        item = {"type": r.take(kind="id"), "name": r.take(kind="id"), "label": r.label(),
                "bindings": {}}
        if r.peek("{"):
            r.take("{")
            while not r.peek("}"):
                key = r.take(kind="id")
                r.take("=")
                item["bindings"][key] = r.take(kind="string")
                if not r.peek("}"):
                    r.take(",")
            r.take("}")
        items.append(item)
    return items
