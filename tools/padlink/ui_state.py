# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The controller's state as padhost last read it back from padprobe: the
one source of truth the pages show.

Values change here only from padprobe's answers ("query", "query_ch", the
tune's answer) or, for what no request reads back (the monitor's samp_int
and channels), from the acknowledged "start". After a write, what was sent
is compared with what is read back: a field the controller kept at its old
value was refused, one that holds a third value was changed, and each
difference is kept as a mark on that field with the words the page shows.
The status of each action is kept by the place it was taken from.
"""
import enum
import time

from .forms import CHANNEL_MEMBERS, COMMON_MEMBERS

# padprobe writes "1" or "0" for these, whatever number was sent.
ON_OFF = {"etc_en", "deb_en", "enable"}


class Monitor(enum.Enum):
    UNKNOWN = "unknown"  # a start or stop whose answer never came
    STOPPED = "stopped"
    RUNNING = "running"


class Level(enum.Enum):
    BUSY = "busy"
    OK = "ok"
    WARN = "warn"
    ERROR = "error"


def place_of_channel(ch):
    return f"ch{ch}"


def expected_value(member, sent):
    """What the controller should hold after `sent` was written."""
    if member in ON_OFF:
        return 1 if sent else 0
    return sent


def verdict(member, sent, before, held):
    """None when the controller holds what was sent, else a mark: a dict
    with "verdict" ("refused" or "changed"), "sent", "held" and "text"."""
    expected = expected_value(member, sent)
    if held == expected:
        return None
    if held is None:
        text = f"{member} {sent} sent; padprobe did not read it back"
        kind = "unconfirmed"
    elif held == before:
        text = f"{member} {sent} refused by the controller; it holds {held}"
        kind = "refused"
    else:
        text = f"{member} {sent} sent; the controller holds {held}"
        kind = "changed"
    return {"verdict": kind, "sent": sent, "held": held, "text": text}


class ControllerState:
    def __init__(self, channels, clock=time.time):
        self.channel_count = channels
        self.clock = clock
        self.common = None  # the last "query" answer's settings and chip name
        self.status = None  # "busy"/"idle" from the last "query"
        self.channels = {}  # ch -> the last "query_ch" answer's settings
        self.monitor = Monitor.STOPPED
        self.samp_int = None  # of the last acknowledged start; None: not known
        self.watched = list(range(channels))
        self.marks = {}  # place -> {member: mark}
        self.actions = {}  # place -> {"level", "text", "time"}
        self.read_at = None  # when the whole state was last read

    # --- from padprobe's answers ------------------------------------------

    def take_query(self, answer):
        self.common = {m: answer.get(m) for m in COMMON_MEMBERS}
        self.common["chip_name"] = answer.get("chip_name")
        self.status = answer.get("status")
        # The one thing padprobe says of its monitor: busy from a start
        # until the next stop.
        if self.status == "busy":
            self.monitor = Monitor.RUNNING
        elif self.status == "idle":
            self.monitor = Monitor.STOPPED

    def take_query_ch(self, ch, answer):
        self.channels[ch] = {m: answer.get(m) for m in CHANNEL_MEMBERS}

    def started(self, samp_int, watched):
        self.samp_int = samp_int
        self.watched = list(watched)
        self.monitor = Monitor.RUNNING

    def forget_monitor(self):
        """A start or stop went unanswered: padprobe may or may not have
        done it."""
        self.monitor = Monitor.UNKNOWN

    def restarted(self):
        """padprobe greeted again: it starts idle, and nothing known of the
        controller may be shown as current until it is read again."""
        self.monitor = Monitor.STOPPED
        self.status = None
        self.common = None
        self.channels = {}
        self.marks = {}
        self.read_at = None

    # --- writes compared with what was read back --------------------------

    def compare(self, place, sent, before, after):
        """Marks for `place` from a write of `sent` (member -> value), the
        values held `before` and read back `after` (dicts or None). Returns
        the new marks' texts; marks of members not written stay."""
        marks = self.marks.setdefault(place, {})
        texts = []
        for member, value in sent.items():
            held = None if after is None else after.get(member)
            was = None if before is None else before.get(member)
            mark = verdict(member, value, was, held)
            marks.pop(member, None)
            if mark is not None:
                marks[member] = mark
                texts.append(mark["text"])
        if not marks:
            del self.marks[place]
        return texts

    def mark_unconfirmed(self, place, sent):
        marks = self.marks.setdefault(place, {})
        for member, value in sent.items():
            marks[member] = {
                "verdict": "unconfirmed",
                "sent": value,
                "held": None,
                "text": f"{member} {value} sent; no answer came, so it may or may not be held",
            }

    # --- the status of actions, where they were taken ---------------------

    def act(self, place, level, text):
        self.actions[place] = {"level": level.value, "text": text, "time": self.clock()}

    def to_json(self):
        return {
            "kind": "state",
            "common": self.common,
            "channels": {str(ch): v for ch, v in sorted(self.channels.items())},
            "monitor": {
                "state": self.monitor.value,
                "samp_int": self.samp_int,
                "channels": self.watched,
                "padprobe_says": self.status,
            },
            "marks": self.marks,
            "actions": self.actions,
            "read_at": self.read_at,
        }
