# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""CSV files of recorded frames: one row per frame, three columns per
channel, after a header of "# " lines naming the settings in force.

One writer serves both `padhost monitor --csv` (all frames at the end) and
the page's recording (each frame as it comes). Its columns are fixed when
it starts: a frame without one of its channels leaves blanks, and a
channel not among them is not written.
"""
import csv
import time


def channels_of(frames):
    return sorted({r.channel for f in frames for r in f.records})


def settings_lines(samp_int, channels, common=None, channel_settings=None, started=None):
    """The "# " header: the monitor's settings, then those read from the
    controller when known (common: member -> value, channel_settings:
    ch -> {member: value})."""
    lines = []
    if started is not None:
        lines.append("started: " + time.strftime("%Y-%m-%d %H:%M:%S %z", time.localtime(started)))
    lines.append(f"samp_int_ms: {'unknown' if samp_int is None else samp_int}")
    lines.append("channels: " + ",".join(str(ch) for ch in channels))
    if common:
        lines.append("common: " + " ".join(f"{k}={v}" for k, v in common.items()))
    for ch, values in sorted((channel_settings or {}).items()):
        if values:
            lines.append(f"ch{ch}: " + " ".join(f"{k}={v}" for k, v in values.items()))
    return lines


class CsvWriter:
    def __init__(self, out, channels, settings=(), t0=None):
        """Writes the header to the open text file `out` (opened with
        newline=""); `t0` is the arrival the times count from (the first
        frame's when None)."""
        self.channels = list(channels)
        self.t0 = t0
        self.rows = 0
        self.writer = csv.writer(out)
        for line in settings:
            out.write(f"# {line}\r\n")
        header = ["time_s", "seq", "snr"]
        for ch in self.channels:
            header += [f"ch{ch}_average", f"ch{ch}_baseline", f"ch{ch}_diff"]
        self.writer.writerow(header)

    def write(self, frame):
        if self.t0 is None:
            self.t0 = frame.arrival
        row = [f"{frame.arrival - self.t0:.6f}", frame.seq, frame.snr]
        by_ch = {r.channel: r for r in frame.records}
        for ch in self.channels:
            r = by_ch.get(ch)
            row += ("", "", "") if r is None else (r.average, r.baseline, r.diff)
        self.writer.writerow(row)
        self.rows += 1


def write_rows(out, frames, t0=None, settings=()):
    """Writes the CSV of `frames` to the open text file `out`; returns the
    channels."""
    writer = CsvWriter(out, channels_of(frames), settings, t0)
    for frame in frames:
        writer.write(frame)
    return writer.channels


def write_csv(path, frames, t0=None, settings=()):
    with open(path, "w", newline="") as out:
        return write_rows(out, frames, t0, settings)
