# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""Noise and SNR of recorded channels.

A channel counts as touched while its difference (baseline minus average)
is at least the touch threshold. Its noise is the peak-to-peak of the
difference while untouched (and, beside it, the RMS: the difference's
standard deviation then); its signal is the mean difference while touched;
its SNR is signal over peak-to-peak noise, also given in dB (20 log10).

Measurements are kept per channel in compact arrays (Columns), so a long
window at 1 ms costs a few bytes a sample, not a decoded frame each.
"""
import array
import dataclasses
import math


@dataclasses.dataclass
class ChannelReport:
    channel: int
    samples: int
    touched: int
    average_min: int
    average_max: int
    noise_pp: int
    signal: float
    snr: float  # None without a touch or without noise
    noise_rms: float = 0.0

    @property
    def snr_db(self):
        return None if not self.snr else 20 * math.log10(self.snr)

    def line(self):
        snr = "-" if self.snr is None else f"{self.snr:.1f} ({self.snr_db:.1f} dB)"
        signal = "-" if not self.touched else f"{self.signal:.0f}"
        return (
            f"ch{self.channel}: {self.samples} samples, average {self.average_min}.."
            f"{self.average_max}, noise {self.noise_pp} p-p (RMS {self.noise_rms:.1f}), "
            f"touched {self.touched}, signal {signal}, SNR {snr}"
        )


class Columns:
    """Each channel's differences and averages, in arrival order."""

    def __init__(self):
        self.diffs = {}
        self.averages = {}
        self.frames = 0

    def add(self, frame):
        self.frames += 1
        for r in frame.records:
            if r.channel not in self.diffs:
                self.diffs[r.channel] = array.array("i")
                self.averages[r.channel] = array.array("i")
            self.diffs[r.channel].append(r.diff)
            self.averages[r.channel].append(r.average)

    @classmethod
    def of(cls, frames):
        columns = cls()
        for frame in frames:
            columns.add(frame)
        return columns


def split_touched(diffs, touch_threshold):
    """The differences below the threshold and those at or above it."""
    idle = [d for d in diffs if d < touch_threshold]
    touched = [d for d in diffs if d >= touch_threshold]
    return idle, touched


def noise_pp(idle):
    return max(idle) - min(idle) if idle else 0


def noise_rms(idle):
    if not idle:
        return 0.0
    mean = sum(idle) / len(idle)
    return math.sqrt(sum((d - mean) ** 2 for d in idle) / len(idle))


def signal_of(touched):
    return sum(touched) / len(touched) if touched else 0.0


def snr_of(signal, noise, touched):
    return signal / noise if touched and noise else None


def _threshold(touch_threshold, channel):
    if isinstance(touch_threshold, dict):
        return touch_threshold.get(channel, 100)
    return touch_threshold


def column_reports(columns, touch_threshold=100):
    """One report per channel of `columns`. `touch_threshold` is one figure
    or a {channel: figure} dict."""
    reports = []
    for channel in sorted(columns.diffs):
        diffs = columns.diffs[channel]
        averages = columns.averages[channel]
        idle, touched = split_touched(diffs, _threshold(touch_threshold, channel))
        noise = noise_pp(idle)
        signal = signal_of(touched)
        reports.append(
            ChannelReport(
                channel,
                len(diffs),
                len(touched),
                min(averages),
                max(averages),
                noise,
                signal,
                snr_of(signal, noise, touched),
                noise_rms(idle),
            )
        )
    return reports


def channel_reports(frames, touch_threshold=100):
    """One report per channel seen in `frames` (decoded Frame objects)."""
    return column_reports(Columns.of(frames), touch_threshold)


def window_reports(untouched, touched, touch_threshold=100):
    """Reports from two windows (Columns, or lists of frames): the noise
    from the untouched one, the signal from the touched one (each by the
    rules above, so a record of the untouched window that crosses the
    threshold is no noise, and one of the touched window below it is no
    signal). Channels of either window."""
    if not isinstance(untouched, Columns):
        untouched = Columns.of(untouched)
    if not isinstance(touched, Columns):
        touched = Columns.of(touched)
    quiet = {r.channel: r for r in column_reports(untouched, touch_threshold)}
    pressed = {r.channel: r for r in column_reports(touched, touch_threshold)}
    reports = []
    for channel in sorted(set(quiet) | set(pressed)):
        q, p = quiet.get(channel), pressed.get(channel)
        noise = q.noise_pp if q else 0
        signal = p.signal if p else 0.0
        count = p.touched if p else 0
        present = [r for r in (q, p) if r]
        reports.append(
            ChannelReport(
                channel,
                sum(r.samples for r in present),
                count,
                min(r.average_min for r in present),
                max(r.average_max for r in present),
                noise,
                signal,
                snr_of(signal, noise, count) if q else None,
                q.noise_rms if q else 0.0,
            )
        )
    return reports
