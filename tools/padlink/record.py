# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""CSV files of recorded frames: one row per frame, three columns per channel."""
import csv


def channels_of(frames):
    return sorted({r.channel for f in frames for r in f.records})


def write_rows(out, frames, t0=None):
    """Writes the CSV to the open text file `out`; returns the channels."""
    channels = channels_of(frames)
    if t0 is None:
        t0 = frames[0].arrival if frames else 0.0
    writer = csv.writer(out)
    header = ["time_s", "seq", "snr"]
    for ch in channels:
        header += [f"ch{ch}_average", f"ch{ch}_baseline", f"ch{ch}_diff"]
    writer.writerow(header)
    for frame in frames:
        row = [f"{frame.arrival - t0:.6f}", frame.seq, frame.snr]
        by_ch = {r.channel: r for r in frame.records}
        for ch in channels:
            r = by_ch.get(ch)
            row += ["", "", ""] if r is None else [r.average, r.baseline, r.diff]
        writer.writerow(row)
    return channels


def write_csv(path, frames, t0=None):
    with open(path, "w", newline="") as out:
        return write_rows(out, frames, t0)
