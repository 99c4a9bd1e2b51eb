# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""What a page may send the server: the checks every WebSocket message
passes before anything acts on it.

A message is one JSON object, at most MAX_BYTES long and nested at most
MAX_DEPTH deep, naming a known operation ("op") with exactly the members
that operation takes, each of the expected kind. Anything else is refused
with one line that says why; nothing here raises but Refused.
"""
import json

from .forms import CHANNEL_MEMBERS, COMMON_MEMBERS

MAX_BYTES = 4096
# {"op": .., "values": {..}} is two deep; "channels": [..] two as well.
MAX_DEPTH = 3
MAX_TEXT = 32  # a field's text: a number with blanks, or a window's name
MAX_LIST = 16


class Refused(ValueError):
    """A message the server does not act on; str() is the one-line answer."""


def depth_of(text):
    """How deep arrays and objects nest in `text` (JSON), counted without
    parsing, so that no nesting can exhaust the parser's recursion."""
    depth = deepest = 0
    in_string = escaped = False
    for char in text:
        if in_string:
            if escaped:
                escaped = False
            elif char == "\\":
                escaped = True
            elif char == '"':
                in_string = False
        elif char == '"':
            in_string = True
        elif char in "[{":
            depth += 1
            deepest = max(deepest, depth)
        elif char in "]}":
            depth -= 1
    return deepest


# The kinds of member, each a check that returns an error text or None.
def _field(value):
    if isinstance(value, bool) or not isinstance(value, (int, str)):
        return "not a number"
    if isinstance(value, str) and len(value) > MAX_TEXT:
        return f"longer than {MAX_TEXT} characters"
    return None


def _flag(value):
    return None if isinstance(value, bool) else "not true or false"


def _fields_of(names):
    def check(value):
        if not isinstance(value, dict):
            return "not an object of fields"
        unknown = sorted(set(value) - set(names))
        if unknown:
            return f"no field {unknown[0][:MAX_TEXT]!r}"
        missing = [n for n in names if n not in value]
        if missing:
            return f"missing field(s): {', '.join(missing)}"
        for name in names:
            why = _field(value[name])
            if why:
                return f"{name!r}: {why}"
        return None

    return check


def _field_list(value):
    if not isinstance(value, list) or len(value) > MAX_LIST:
        return f"not a list of at most {MAX_LIST} channels"
    for item in value:
        why = _field(item)
        if why:
            return f"a channel: {why}"
    return None


def _window(value):
    return None if value in ("untouched", "touched") else 'neither "untouched" nor "touched"'


# Each operation with its members and their kinds.
OPS = {
    "refresh": {},
    "query": {},
    "query_ch": {"ch": _field},
    "config": {"values": _fields_of(COMMON_MEMBERS)},
    "config_ch": {"ch": _field, "values": _fields_of(CHANNEL_MEMBERS)},
    "tune": {"ch": _field},
    "start": {"samp_int": _field, "channels": _field_list},
    "stop": {},
    "reset": {},
    "record": {"on": _flag},
    "snr": {"window": _window, "seconds": _field},
    "ask_control": {},
    "answer_control": {"hand_over": _flag},
}


def _no_constants(name):
    raise ValueError(f"{name} is not a JSON number")


def parse(text):
    """The operation in the text of a WebSocket message, as a dict with
    "op" and its members; Refused with the reason otherwise."""
    if not isinstance(text, str):
        raise Refused("refused: only text messages are taken")
    if len(text.encode()) > MAX_BYTES:
        raise Refused(f"refused: a message over {MAX_BYTES} bytes")
    if depth_of(text) > MAX_DEPTH:
        raise Refused(f"refused: nested deeper than {MAX_DEPTH} levels")
    try:
        message = json.loads(text, parse_constant=_no_constants)
    except (ValueError, RecursionError) as err:
        raise Refused(f"refused: not JSON ({str(err).splitlines()[0][:60]})") from None
    if not isinstance(message, dict):
        raise Refused("refused: a message is one JSON object")
    name = message.get("op")
    members = OPS.get(name) if isinstance(name, str) else None
    if members is None:
        raise Refused(f"refused: no operation {str(name)[:MAX_TEXT]!r}")
    unknown = sorted(set(message) - set(members) - {"op"})
    if unknown:
        raise Refused(f"refused: {name} takes no member {unknown[0][:MAX_TEXT]!r}")
    for member, check in members.items():
        if member not in message:
            raise Refused(f"refused: {name} needs {member!r}")
        why = check(message[member])
        if why:
            raise Refused(f"refused: {name}: {member!r}: {why}")
    return message
