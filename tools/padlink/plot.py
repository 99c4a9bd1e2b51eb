# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""A PNG of recorded channels over time: averages and baselines above, the
differences below."""


def write_png(path, frames, title="padprobe monitor"):
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    t0 = frames[0].arrival if frames else 0.0
    series = {}
    for frame in frames:
        for r in frame.records:
            series.setdefault(r.channel, []).append(
                (frame.arrival - t0, r.average, r.baseline, r.diff)
            )
    fig, (top, bottom) = plt.subplots(2, 1, sharex=True, figsize=(10, 7))
    for ch in sorted(series):
        t, avg, base, diff = zip(*series[ch])
        (line,) = top.plot(t, avg, linewidth=0.8, label=f"ch{ch}")
        top.plot(t, base, linewidth=0.8, linestyle="--", color=line.get_color())
        bottom.plot(t, diff, linewidth=0.8, color=line.get_color(), label=f"ch{ch}")
    top.set_ylabel("average (solid), baseline (dashed)")
    bottom.set_ylabel("baseline - average")
    bottom.set_xlabel("time (s)")
    top.set_title(title)
    top.legend(loc="upper right", fontsize="small", ncol=3)
    top.grid(alpha=0.3)
    bottom.grid(alpha=0.3)
    fig.tight_layout()
    fig.savefig(path, dpi=100)
    plt.close(fig)
