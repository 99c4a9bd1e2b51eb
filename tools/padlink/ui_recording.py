# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The page's recording: frames written to a CSV file as they come, in the
format of `padhost monitor --csv`, so memory stays flat however long it
runs.

A recording is armed by the page and writes from the first frame whose
settings are known (the monitor's, and the controller's as read back after
the start), so its header tells the truth. Each recording is a file of its
own in the recordings folder, kept after padhost ends. A download gives
the file as far as it is written at that moment, in whole rows.
"""
import collections
import enum
import os
import time

from . import record

# Frames kept while the settings of a start are still being read back.
HELD_MAX = 20_000
# Below this much free space the recording stops, rather than fill the disk.
FREE_MIN_BYTES = 64 * 1024 * 1024
FREE_CHECK_ROWS = 5000
BUFFER_BYTES = 256 * 1024


class Rec(enum.Enum):
    OFF = "off"
    ARMED = "armed"  # waiting for frames whose settings are known
    WRITING = "writing"


class Recording:
    def __init__(self, folder, clock=time.time):
        self.folder = folder
        self.clock = clock
        self.state = Rec.OFF
        self.path = None  # the file being written, or the last one
        self.file = None
        self.writer = None
        self.frames = 0
        self.held = collections.deque(maxlen=HELD_MAX)
        self.why_ended = None
        self.started = None

    def make_folder(self):
        os.makedirs(self.folder, mode=0o700, exist_ok=True)

    def arm(self):
        if self.state == Rec.OFF:
            self.state = Rec.ARMED
            self.held.clear()
            self.why_ended = None

    def hold(self, frame):
        """A frame of a start whose settings are still being read."""
        if self.state == Rec.ARMED:
            self.held.append(frame)

    def begin(self, channels, settings):
        """Opens the file and writes the header and the frames held; the
        text of an error when the file cannot be written."""
        self.make_folder()
        self.started = self.clock()
        stamp = time.strftime("%Y%m%d-%H%M%S", time.localtime(self.started))
        path = os.path.join(self.folder, f"padhost-{stamp}.csv")
        serial = 1
        while os.path.exists(path):
            serial += 1
            path = os.path.join(self.folder, f"padhost-{stamp}-{serial}.csv")
        try:
            self.file = open(path, "x", newline="", buffering=BUFFER_BYTES)
            self.writer = record.CsvWriter(self.file, channels, settings)
        except OSError as err:
            self.state = Rec.OFF
            self.why_ended = f"the recording could not be written: {err}"
            return self.why_ended
        self.path = path
        self.frames = 0
        self.state = Rec.WRITING
        held, self.held = list(self.held), collections.deque(maxlen=HELD_MAX)
        for frame in held:
            self.add(frame)
        return None

    def add(self, frame):
        """Writes one frame; the text of why the recording ended, if it did."""
        if self.state != Rec.WRITING:
            return None
        try:
            self.writer.write(frame)
            self.frames += 1
            if self.frames % FREE_CHECK_ROWS == 0:
                space = os.statvfs(self.folder)
                if space.f_bavail * space.f_frsize < FREE_MIN_BYTES:
                    return self.end(f"under {FREE_MIN_BYTES >> 20} MiB free on its disk")
        except OSError as err:
            return self.end(f"writing failed: {err}")
        return None

    def flush(self):
        if self.file is not None:
            try:
                self.file.flush()
            except OSError as err:
                self.end(f"writing failed: {err}")

    def end(self, why=None):
        """Stops and closes the file; returns `why` in words for the page."""
        if self.file is not None:
            try:
                self.file.close()
            except OSError as err:
                why = why or f"closing failed: {err}"
            self.file = None
            self.writer = None
        self.state = Rec.OFF
        self.held.clear()
        self.why_ended = why
        return None if why is None else f"recording ended at {self.frames} frames: {why}"

    def snapshot(self):
        """(path, bytes) of the newest recording as written so far, in whole
        rows; None before the first."""
        if self.path is None:
            return None
        self.flush()
        if self.file is not None:
            return self.path, self.file.tell()
        try:
            return self.path, os.path.getsize(self.path)
        except OSError:
            return None

    def to_json(self):
        return {
            "state": self.state.value,
            "file": None if self.path is None else os.path.basename(self.path),
            "folder": self.folder,
            "frames": self.frames,
            "held": len(self.held),
            "why_ended": self.why_ended,
        }
