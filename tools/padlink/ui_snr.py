# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""SNR windows on the page: an untouched window for the noise, a touched
one for the signal, each taken over a number of seconds while the monitor
runs, and the report that comes of the two with each channel's diff_th as
its touch threshold."""
import time

from .analysis import Columns, window_reports

WINDOW_MAX_S = 60
WINDOWS = ("untouched", "touched")


class SnrWindows:
    def __init__(self, clock=time.time):
        self.clock = clock
        self.capture = None  # the window being taken: a dict, as kept below
        self.windows = {}  # name -> the window as taken
        self.reports = []
        self.thresholds = {}

    def begin(self, name, seconds, samp_int):
        now = self.clock()
        self.capture = {
            "name": name,
            "seconds": seconds,
            "samp_int": samp_int,
            "began": now,
            "ends": now + seconds,
            "columns": Columns(),
        }

    def add(self, frame):
        if self.capture is not None:
            self.capture["columns"].add(frame)

    def abandon(self):
        self.capture = None

    def finish(self, thresholds):
        """The window being taken is done: report on both windows."""
        window, self.capture = self.capture, None
        self.windows[window["name"]] = window
        self.thresholds = dict(thresholds)
        empty = Columns()
        untouched = self.windows.get("untouched", {}).get("columns", empty)
        touched = self.windows.get("touched", {}).get("columns", empty)
        self.reports = window_reports(untouched, touched, self.thresholds)
        return window["columns"].frames

    def to_json(self):
        def described(window):
            return {
                "seconds": window["seconds"],
                "samp_int": window["samp_int"],
                "began": window["began"],
                "frames": window["columns"].frames,
            }

        capture = None
        if self.capture is not None:
            capture = dict(described(self.capture), name=self.capture["name"])
            # The page counts down from when it gets this: the two clocks
            # need not agree.
            capture["left_s"] = max(0.0, self.capture["ends"] - self.clock())
        return {
            "capture": capture,
            "windows": {name: described(w) for name, w in self.windows.items()},
            "rows": [
                {
                    "ch": r.channel,
                    "threshold": self.thresholds.get(r.channel),
                    "noise_pp": r.noise_pp,
                    "noise_rms": round(r.noise_rms, 2),
                    "touched": r.touched,
                    "signal": round(r.signal, 1) if r.touched else None,
                    "snr": None if r.snr is None else round(r.snr, 1),
                    "snr_db": None if r.snr is None else round(r.snr_db, 1),
                }
                for r in self.reports
            ],
        }
