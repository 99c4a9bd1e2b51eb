# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The link's health in words: whether padprobe answers, whether frames
come while its monitor should run, and how many of the ticks it should
sample become frames.

padprobe's interval timer merges ticks whose sampling outlasts the
interval: such a tick leaves no gap in the sequence numbers, only fewer
frames. So the frames delivered are compared with the ticks expected,
1000 / samp_int a second.
"""
import collections
import enum
import time

RATE_WARNING = 0.95
# No frame for this long, plus three sampling intervals, while the monitor
# should run: the charts are stale.
FRAME_SILENCE_S = 1.5
UNKNOWN_INTERVAL_SILENCE_S = 10.0
RATE_WINDOW_MIN_S = 2.0
RATE_WINDOW_MAX_S = 60.0
RATE_WINDOW_TICKS = 20


class Link(enum.Enum):
    READING = "reading"  # the whole state is being read (start-up, restart)
    OK = "ok"
    STALE = "stale"  # the monitor should run, but no frames come
    SILENT = "silent"  # a request got no answer within its deadline
    HUNG_UP = "hung_up"  # the serial line reads as hung up


def clock_text(t):
    return time.strftime("%H:%M:%S", time.localtime(t))


class LinkHealth:
    def __init__(self, on_change, clock=time.time):
        """`on_change(old, new, text)` hears of every change of state."""
        self.on_change = on_change
        self.clock = clock
        self.state = Link.READING
        self.text = "reading padprobe's state"
        self.since = clock()
        self.last_frame = None
        self.last_answer = None
        self.running = False
        self.samp_int = None
        self.started_at = None
        self.arrivals = collections.deque()

    def enter(self, state, text):
        """The one place the link's state changes."""
        if (state, text) == (self.state, self.text):
            return
        old = self.state
        self.state, self.text, self.since = state, text, self.clock()
        self.on_change(old, state, text)

    # --- what happened ----------------------------------------------------

    def frame(self, arrival):
        self.last_frame = arrival
        if self.running:
            self.arrivals.append(arrival)
        if self.state == Link.STALE:
            self.enter(Link.OK, "padprobe answers; frames arrive again")

    def answered(self):
        self.last_answer = self.clock()

    def monitor(self, running, samp_int=None, fresh=False):
        """The monitor as last known: running (at `samp_int`, None when not
        known) or not; `fresh` for a start just made, which counts anew."""
        if running and (fresh or not self.running):
            self.started_at = self.clock()
            self.arrivals.clear()
        if running:
            self.samp_int = samp_int
        self.running = running
        if not running:
            self.arrivals.clear()
            if self.state == Link.STALE:
                self.enter(Link.OK, "padprobe answers")

    # --- deadlines ----------------------------------------------------------

    def frame_deadline(self):
        if self.samp_int is None:  # started before padhost: not known
            return UNKNOWN_INTERVAL_SILENCE_S
        return FRAME_SILENCE_S + 3 * self.samp_int / 1000

    def frames_overdue(self, now):
        """Seconds without a frame beyond what the monitor allows; None
        while it need not send any."""
        if not self.running or self.samp_int == 0 or self.started_at is None:
            return None
        last = max(self.last_frame or 0.0, self.started_at)
        silence = now - last
        return silence if silence > self.frame_deadline() else None

    # --- the rate -----------------------------------------------------------

    def rate_window(self):
        seconds = RATE_WINDOW_TICKS * (self.samp_int or 0) / 1000
        return min(RATE_WINDOW_MAX_S, max(RATE_WINDOW_MIN_S, seconds))

    def rate(self, now):
        """Frames delivered against ticks expected over the last window:
        a dict for the page, None while the monitor is not running."""
        if not self.running or self.started_at is None:
            return None
        if self.samp_int is None:
            return {"text": "started before padhost: samp_int not known", "warning": False}
        if self.samp_int == 0:
            return {"text": "samp_int 0: padprobe samples once", "warning": False}
        window = self.rate_window()
        since = max(self.started_at, now - window)
        while self.arrivals and self.arrivals[0] < since:
            self.arrivals.popleft()
        span = now - since
        expected = 1000 / self.samp_int
        if span < min(1.0, window):
            return {"text": f"expected {expected:g} frames/s; measuring", "warning": False}
        delivered = len(self.arrivals) / span
        share = delivered / expected
        text = f"delivered {delivered:.0f} of {expected:g} expected frames/s ({100 * share:.0f} %)"
        warning = share < RATE_WARNING
        if warning:
            text += f": under {100 * RATE_WARNING:.0f} %, ticks merged or lost"
        return {
            "text": text,
            "warning": warning,
            "delivered": round(delivered, 1),
            "expected": expected,
            "percent": round(100 * share, 1),
            "window_s": window,
        }

    def to_json(self, now):
        return {
            "state": self.state.value,
            "text": self.text,
            "since": self.since,
            "stale": self.state != Link.OK,
            "rate": self.rate(now),
        }
