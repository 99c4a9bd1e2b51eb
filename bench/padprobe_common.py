# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""Shared by padprobe's benchmarks: padprobe in the simulated board over a
pty, and percentiles."""
import os
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.realpath(__file__)), "..", "tools"))

from padlink.simboard import SimulatedBoard  # noqa: E402


def percentile(values, fraction):
    ordered = sorted(values)
    if not ordered:
        return float("nan")
    index = min(len(ordered) - 1, max(0, round(fraction * (len(ordered) - 1))))
    return ordered[index]


def start_board(options=(), build=None):
    state = tempfile.mkdtemp(prefix="padprobe-bench-")
    return SimulatedBoard(state, options, build=build).start()


def cpu_seconds(pid):
    """User plus system time of a process so far, in seconds."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    ticks = int(fields[11]) + int(fields[12])
    return ticks / os.sysconf("SC_CLK_TCK")
