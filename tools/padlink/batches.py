# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""Frames gathered into the page's batched updates.

The server decodes and counts every frame; the page gets about twenty
updates a second. Each batch carries the link's counts, every channel's
largest difference since the last batch (so a short touch still lights its
tile) and at most `max_points` frames for the charts, evenly spread and
always ending with the newest, whose arrival time lets the page measure its
own lag. Six points a batch chart every frame at 10 ms and 120 of the 1000
frames a second at 1 ms: more than a chart's width shows over ten seconds.

A charted point says whether a break comes before it (a sequence gap, a
restart, or frames that stopped for longer than a few sampling intervals),
so the page draws a gap there instead of a line across it.
"""
import collections

from .stream import SequenceChecker

NO_SNR = 65535
# Frames apart by more than this many sampling intervals (and at least
# BREAK_MIN_S) are not joined by a line.
BREAK_INTERVALS = 5
BREAK_MIN_S = 0.5


class Batcher:
    def __init__(self, max_points=6):
        self.max_points = max_points
        self.restart()

    def restart(self, samp_int=None):
        """A new monitor run: counts from zero."""
        self.checker = SequenceChecker()
        self.pending = []
        self.breaks = []  # per pending frame: a break comes before it
        self.peak_diff = {}
        self.arrivals = collections.deque()  # of the last second, for fps
        self.last_snr = None
        self.last_arrival = None
        self.junk_bytes = 0
        interval = 0.1 if samp_int is None else samp_int / 1000
        self.break_s = max(BREAK_MIN_S, BREAK_INTERVALS * interval)

    def add(self, frame):
        last = self.checker.last
        self.checker.add(frame)
        broken = (last is not None and frame.seq != last + 1) or (
            self.last_arrival is not None and frame.arrival - self.last_arrival > self.break_s
        )
        self.last_arrival = frame.arrival
        self.pending.append(frame)
        self.breaks.append(broken)
        self.last_snr = frame.snr
        self.arrivals.append(frame.arrival)
        for r in frame.records:
            if r.diff > self.peak_diff.get(r.channel, r.diff - 1):
                self.peak_diff[r.channel] = r.diff

    def fps(self, now):
        while self.arrivals and self.arrivals[0] <= now - 1.0:
            self.arrivals.popleft()
        return len(self.arrivals)

    def health(self, now):
        c = self.checker
        return {
            "fps": self.fps(now),
            "frames": c.frames,
            "gaps": len(c.gaps),
            "missing": c.missing,
            "duplicates": c.duplicates,
            "backwards": c.backwards,
            "restarts": c.restarts,
            "xor_errors": c.xor_errors,
            "length_errors": c.length_errors,
            "junk_bytes": self.junk_bytes,
            "snr": None if self.last_snr in (None, NO_SNR) else self.last_snr / 100,
        }

    def chosen(self):
        """Indices of the pending frames the charts get."""
        count = len(self.pending)
        if count <= self.max_points:
            return list(range(count))
        step = count / self.max_points
        return sorted({count - 1 - int(i * step) for i in range(self.max_points)})

    def take(self, now):
        """The batch since the last one; None when nothing changed."""
        if not self.pending and not self.arrivals:
            return None
        points = []
        previous = -1
        for i in self.chosen():
            f = self.pending[i]
            points.append(
                [
                    round(f.arrival, 6),
                    f.seq,
                    [[r.channel, r.average, r.baseline, r.diff] for r in f.records],
                    int(any(self.breaks[previous + 1 : i + 1])),
                ]
            )
            previous = i
        batch = {
            "kind": "batch",
            "sent": now,
            "count": len(self.pending),
            "points": points,
            "peak_diff": {str(ch): d for ch, d in sorted(self.peak_diff.items())},
            "health": self.health(now),
        }
        self.pending = []
        self.breaks = []
        self.peak_diff = {}
        return batch
