# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The page's forms turned into padprobe's requests, the range warnings the
controller would give, and the tune results explained.

Every value arrives from the page as text or a number and leaves as a
32-bit integer inside a JSON request built here: no page text reaches the
serial line, let alone a shell, as it came.
"""
import re

from .cli import CHANNELS, start_request

INT_MIN, INT_MAX = -(2**31), 2**31 - 1

COMMON_MEMBERS = (
    "scan_int",
    "avg_samp",
    "etc_en",
    "etc_int",
    "step",
    "etc_factor",
    "deb_en",
    "deb_cnt",
)
CHANNEL_MEMBERS = ("enable", "mbias", "diff_th", "abs_th", "nn_th", "pn_th")

# (request type, member, attribute, lowest value that draws the warning):
# where padprobe puts "Error: illegal parameter." and writes the value all
# the same, so the page says so before anything is sent.
RANGE_RULES = (
    ("config", "avg_samp", "sample_num", 8),
    ("config", "deb_cnt", "debounce_times", 4),
    ("config", "etc_int", "etc_interval", 128),
    ("config", "etc_factor", "etc_factor", 16),
    ("config", "step", "etc_step", 16),
    ("config_ch", "abs_th", "abs_th", 4096),
)

TUNE_TARGET, TUNE_TOLERANCE = 3300, 300
MBIAS_MAX = 63
# padprobe gives up after this many settings, with this result.
TUNE_WALK_BOUND = 128


# Digits are ASCII digits: str.isdigit() and int() also take "²" and other
# scripts' digits, which no one types into a field on purpose.
WHOLE_NUMBER = re.compile(r"[+-]?[0-9]{1,12}", re.ASCII)


class FormError(ValueError):
    pass


def integer(name, value, low=INT_MIN, high=INT_MAX):
    """`value` (text or number) as an int in [low, high], or FormError
    naming the field."""
    if isinstance(value, bool):
        raise FormError(f'"{name}": not a number')
    if isinstance(value, int):
        number = value
    elif isinstance(value, str) and WHOLE_NUMBER.fullmatch(value.strip(" ")):
        number = int(value.strip(" "))
    else:
        raise FormError(f'"{name}": {str(value)[:20]!r} is not a whole number')
    if not low <= number <= high:
        raise FormError(f'"{name}": {number} is outside {low}..{high}')
    return number


def channel(value):
    return integer("ch", value, 0, CHANNELS - 1)


def _members(form, names):
    if not isinstance(form, dict):
        raise FormError("the form is not a set of fields")
    missing = [n for n in names if n not in form]
    if missing:
        raise FormError(f"missing field(s): {', '.join(missing)}")
    return {name: integer(name, form[name]) for name in names}


def config_request(form):
    return {"type": "config", **_members(form, COMMON_MEMBERS)}


def config_ch_request(form):
    return {"type": "config_ch", "ch": channel(form.get("ch")), **_members(form, CHANNEL_MEMBERS)}


def query_ch_request(ch):
    return {"type": "query_ch", "ch": channel(ch)}


def tune_request(ch):
    return {"type": "tune_mbias_ch", "ch": channel(ch)}


def monitor_start_request(form):
    """{"samp_int": MS, "channels": [CH, ...]} as a "start" request."""
    samp_int = integer("samp_int", form.get("samp_int"), 0, 65535)
    chosen = form.get("channels")
    if not isinstance(chosen, list):
        raise FormError('"channels": not a list')
    channels = sorted({channel(c) for c in chosen})
    return start_request(
        {"samp_int": str(samp_int), "ch": ",".join(str(c) for c in channels) or ","}
    )


def range_warnings(request):
    """The warnings padprobe would log for `request` (a built request)."""
    found = []
    for kind, member, attribute, limit in RANGE_RULES:
        if request.get("type") == kind and request.get(member, 0) >= limit:
            found.append(
                f'"{attribute}" {request[member]} is above {limit - 1}: '
                "the controller warns and writes it anyway"
            )
    return found


def explain_tune(answer):
    """A line for a "tune_mbias_ch" answer."""
    ch, mbias, back = answer.get("ch"), answer.get("mbias"), answer.get("baseline")
    if not isinstance(mbias, int):
        return f"ch{ch}: unreadable tune answer"
    if 0 <= mbias <= MBIAS_MAX:
        return f"ch{ch}: tuned, MBias {mbias} (the controller holds {back})"
    if mbias == MBIAS_MAX + 1:
        why = (
            f"the average stayed more than {TUNE_TOLERANCE} below {TUNE_TARGET} "
            f"up to MBias {MBIAS_MAX}"
        )
    elif mbias == 255:
        why = f"the average was already more than {TUNE_TOLERANCE} above {TUNE_TARGET} at MBias 0"
    elif mbias == TUNE_WALK_BOUND:
        why = (
            "the walk went back and forth: the average jumps across the "
            f"{TUNE_TARGET} ± {TUNE_TOLERANCE} band between two neighbouring settings"
        )
    else:
        why = "the controller holds an MBias outside 0..63"
    return f"ch{ch}: tune failed ({mbias}): {why}; the controller holds {back}"
