#!/usr/bin/env python3
"""The CSV table of `rvx-strings --batch`, made the plain way in Python.

The batch benchmark (scripts/bench-batch) times rvx-strings against this script. It follows the
same rules, written straightforwardly: the list read whole, each line split into its parts, each
frame built as a list of bytes, written and joined as text. Its output is byte for byte what
`rvx-strings --batch FILE --format csv` writes with the same options.

    bench/batch_reference.py FILE [--command NAME] [--notation NAME] [--down N] [--ip N]
                             [--percent N] [--jog-up N] [--jog-down N] [--priority N]
                             [--lock-ip N]

FILE is "-" for standard input. A bad line is reported and ends the script with status 2.
"""

import argparse
import sys

# The parameters, their options and start values.
PARAMETERS = {"down": 0, "ip": 1, "percent": 50, "jog-up": 10, "jog-down": 10,
              "priority": 1, "lock-ip": 1}

# How a parameter value becomes the byte written into the frame.
def inverted(value):
    return round(255 - value)  # an exact half goes to the even neighbour, as in the frames


def ip_number(value):
    return round(256 - value)


def percentage(value):
    return 255 - round(value * 2.55)


# Name, message code, command code, and the parameters: (option, conversion, byte from 1).
COMMANDS = [
    ("Up", 0xAB, 0xFE, []),
    ("Down", 0xAB, 0xFD, [("down", inverted, 11)]),
    ("Stop", 0xAB, 0xFC, []),
    ("Next IP Up", 0xAB, 0xFA, []),
    ("Next IP Down", 0xAB, 0xF9, []),
    ("Go to IP #", 0xAB, 0xFB, [("ip", ip_number, 11)]),
    ("Go to %", 0xAB, 0xEF, [("percent", percentage, 11)]),
    ("Jog Up 10 ms", 0xAB, 0xF5, [("jog-up", inverted, 11)]),
    ("Jog Down 10 ms", 0xAB, 0xF4, [("jog-down", inverted, 11)]),
    ("Lock Up", 0xA4, 0xFE, [("priority", inverted, 12)]),
    ("Lock Down", 0xA4, 0xFD, [("priority", inverted, 12)]),
    ("Lock Current", 0xA4, 0xFF, [("priority", inverted, 12)]),
    ("Lock @ IP #", 0xA4, 0xFB, [("priority", inverted, 12), ("lock-ip", inverted, 11)]),
    ("Unlock", 0xA4, 0xFA, [("priority", inverted, 12)]),
]

# Name: (prefix before each byte, separator between bytes, radix).
NOTATIONS = {
    "spaced": ("", " ", 16),
    "compact": ("", "", 16),
    "escaped": ("\\x", "", 16),
    "0x": ("0x", ", ", 16),
    "dollar": ("$", ",", 16),
    "decimal": ("", ",", 10),
}

MAX_LINE = 4096


def frame(command, kind, address, values):
    _, message, code, parameters = command
    empty = [0xFF, 0xFF, 0xFF]
    if kind == "group":
        addresses = address + empty
    else:
        addresses = empty + address
    data = [message, 0xF1, 0xFF] + addresses + [code, 0xFF, 0xFF]
    for option, conversion, position in parameters:
        data[position - 1] = conversion(values[option])
    checksum = sum(data)
    return data + [checksum >> 8, checksum & 0xFF]


def written(data, notation):
    prefix, separator, radix = NOTATIONS[notation]
    if radix == 16:
        return separator.join(prefix + "%02X" % byte for byte in data)
    return separator.join(prefix + str(byte) for byte in data)


def csv_field(value):
    if any(c in value for c in ',"\r\n'):
        return '"' + value.replace('"', '""') + '"'
    return value


def label_cell(label):
    # A cell that starts with = + - @ (also after tabs or carriage returns) would run as a
    # formula in a spreadsheet.
    if label.lstrip("\t\r")[:1] in ("=", "+", "-", "@"):
        label = "'" + label
    return csv_field(label)


class BadLine(Exception):
    pass


def read_part(text, at, last):
    """One part of a line from at: (value, where it ended, line breaks inside quotes)."""
    while at < len(text) and text[at] in " \t":
        at += 1
    if at < len(text) and text[at] == '"':
        value = ""
        at += 1
        while True:
            if at >= len(text):
                raise BadLine("a quote is not closed")
            if text[at] == '"':
                if text[at + 1:at + 2] == '"':
                    value += '"'
                    at += 2
                    continue
                break
            value += text[at]
            at += 1
        at += 1
        while at < len(text) and text[at] in " \t":
            at += 1
        if at < len(text) and text[at] not in "\r\n" and not (text[at] == "," and not last):
            raise BadLine("text after a closing quote")
        breaks = value.count("\n") + value.count("\r") - value.count("\r\n")
        return value, at, breaks
    start = at
    while at < len(text) and text[at] not in "\r\n" and (last or text[at] != ","):
        at += 1
    return text[start:at].strip(" \t"), at, 0


def motors(text):
    """The motors of a list: (address bytes, kind, label) for each line."""
    at = 0
    number = 1
    while at < len(text):
        end = at
        while end < len(text) and text[end] not in "\r\n":
            end += 1
        line = text[at:end].strip(" \t")
        breaks = 0
        if line and not line.startswith("#"):
            parts = []
            part_end = at
            for index in range(3):
                value, part_end, inside = read_part(text, part_end, index == 2)
                parts.append(value)
                breaks += inside
                if part_end >= len(text) or text[part_end] != "," or index == 2:
                    break
                part_end += 1
            end = part_end
            if end - at > MAX_LINE:
                raise BadLine("line %d is longer than %d bytes" % (number, MAX_LINE))
            yield line_motor(parts + [""] * (3 - len(parts)), number)
        number += breaks + 1
        at = end + (2 if text[end:end + 2] == "\r\n" else 1)


def line_motor(parts, number):
    address, kind, label = parts
    if len(address) != 6 or any(c not in "0123456789abcdefABCDEF" for c in address):
        raise BadLine("line %d: address %r is not six hexadecimal digits" % (number, address))
    kind = kind.lower() or "single"
    if kind not in ("single", "group"):
        raise BadLine("line %d: kind %r is not single or group" % (number, kind))
    if any(ord(c) < 0x20 and c not in "\t\r\n" or c == "\x7f" for c in label):
        raise BadLine("line %d: the label holds a control character" % number)
    return address.upper(), kind, label


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("file")
    parser.add_argument("--command")
    parser.add_argument("--notation", default="spaced", choices=NOTATIONS)
    for name, start in PARAMETERS.items():
        parser.add_argument("--" + name, type=float, default=start)
    arguments = parser.parse_args()
    values = {name: getattr(arguments, name.replace("-", "_")) for name in PARAMETERS}
    commands = COMMANDS
    if arguments.command:
        commands = [c for c in COMMANDS if c[0].lower() == arguments.command.lower()]

    source = sys.stdin.buffer if arguments.file == "-" else open(arguments.file, "rb")
    with source:
        text = source.read().decode("utf-8-sig")

    out = open(sys.stdout.fileno(), "w", encoding="utf-8", newline="", closefd=False)
    try:
        table = list(motors(text))
    except BadLine as bad:
        print("batch_reference.py: %s" % bad, file=sys.stderr)
        return 2
    out.write("label,kind,address,command,string\n")
    for address, kind, label in table:
        address_bytes = list(bytes.fromhex(address))
        for command in commands:
            string = written(frame(command, kind, address_bytes, values), arguments.notation)
            out.write(",".join([label_cell(label), kind, address, csv_field(command[0]),
                                csv_field(string)]) + "\n")
    out.flush()
    return 0


if __name__ == "__main__":
    sys.exit(main())
