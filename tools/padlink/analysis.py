# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""Noise and SNR of recorded channels.

A channel counts as touched while its difference (baseline minus average)
is at least the touch threshold. Its noise is the peak-to-peak of the
difference while untouched; its signal is the mean difference while touched;
its SNR is signal over noise.
"""
import dataclasses


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

    def line(self):
        snr = "-" if self.snr is None else f"{self.snr:.1f}"
        signal = "-" if not self.touched else f"{self.signal:.0f}"
        return (
            f"ch{self.channel}: {self.samples} samples, average {self.average_min}.."
            f"{self.average_max}, noise {self.noise_pp} p-p, touched {self.touched}, "
            f"signal {signal}, SNR {snr}"
        )


def records_by_channel(frames):
    by_channel = {}
    for frame in frames:
        for record in frame.records:
            by_channel.setdefault(record.channel, []).append(record)
    return by_channel


def split_touched(records, touch_threshold):
    """The differences of `records` below the threshold and at or above it."""
    idle = [r.diff for r in records if r.diff < touch_threshold]
    touched = [r.diff for r in records if r.diff >= touch_threshold]
    return idle, touched


def noise_pp(idle):
    return max(idle) - min(idle) if idle else 0


def signal_of(touched):
    return sum(touched) / len(touched) if touched else 0.0


def snr_of(signal, noise, touched):
    return signal / noise if touched and noise else None


def _threshold(touch_threshold, channel):
    if isinstance(touch_threshold, dict):
        return touch_threshold.get(channel, 100)
    return touch_threshold


def channel_reports(frames, touch_threshold=100):
    """One report per channel seen in `frames` (decoded Frame objects).
    `touch_threshold` is one figure or a {channel: figure} dict."""
    by_channel = records_by_channel(frames)
    reports = []
    for channel in sorted(by_channel):
        records = by_channel[channel]
        idle, touched = split_touched(records, _threshold(touch_threshold, channel))
        noise = noise_pp(idle)
        signal = signal_of(touched)
        averages = [r.average for r in records]
        reports.append(
            ChannelReport(
                channel,
                len(records),
                len(touched),
                min(averages),
                max(averages),
                noise,
                signal,
                snr_of(signal, noise, touched),
            )
        )
    return reports


def window_reports(untouched_frames, touched_frames, touch_threshold=100):
    """Reports from two windows: the noise from the untouched one, the
    signal from the touched one (each by the rules above, so a record of the
    untouched window that crosses the threshold is no noise, and one of the
    touched window below it is no signal). Channels of either window."""
    quiet = {r.channel: r for r in channel_reports(untouched_frames, touch_threshold)}
    pressed = {r.channel: r for r in channel_reports(touched_frames, touch_threshold)}
    reports = []
    for channel in sorted(set(quiet) | set(pressed)):
        q, p = quiet.get(channel), pressed.get(channel)
        noise = q.noise_pp if q else 0
        signal = p.signal if p else 0.0
        touched = p.touched if p else 0
        present = [r for r in (q, p) if r]
        reports.append(
            ChannelReport(
                channel,
                sum(r.samples for r in present),
                touched,
                min(r.average_min for r in present),
                max(r.average_max for r in present),
                noise,
                signal,
                snr_of(signal, noise, touched) if q else None,
            )
        )
    return reports
