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


def channel_reports(frames, touch_threshold=100):
    """One report per channel seen in `frames` (decoded Frame objects)."""
    by_channel = {}
    for frame in frames:
        for record in frame.records:
            by_channel.setdefault(record.channel, []).append(record)
    reports = []
    for channel in sorted(by_channel):
        records = by_channel[channel]
        idle = [r.diff for r in records if r.diff < touch_threshold]
        touched = [r.diff for r in records if r.diff >= touch_threshold]
        noise = max(idle) - min(idle) if idle else 0
        signal = sum(touched) / len(touched) if touched else 0.0
        snr = signal / noise if touched and noise else None
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
                snr,
            )
        )
    return reports
