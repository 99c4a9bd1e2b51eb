#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""Monitor all nine channels of padprobe in the simulated board and measure
the stream: frames against ticks, sequence gaps and duplicates, XOR errors,
padprobe's CPU share of one core, tick-to-frame latency.

    sudo bench/padprobe_stream.py [--seconds 60] [--samp-int 1 10] [--build DIR]
                                  [--plain-files | --no-plain-files]

Ticks: the board's controller logs every write with its time, so the first
write of a sampling pass (ch_num "0" after the start's ctc_enable) marks
when the pass ran. Ticks that come while a pass still waits to run merge
into it, so when passes take longer than the interval there are fewer passes
than ticks, never a backlog. Latency is measured two ways, on one monotonic
clock: from the tick a pass answered (the last tick of the ideal grid
first pass + k * interval at or before the pass) to the frame's arrival, and
from the pass with the same number to the frame's arrival.

Each interval runs twice, side by side: against the simulated controller,
then with the attributes as plain files on a tmpfs (no FUSE round trip
behind each access): what the tool's own work costs. The share of ticks
delivered as frames is then printed for both, and how far apart they are:
what the simulator costs on top of the tool. There is no write log with
plain files, so ticks are counted from the start request to the stop
request and only the frames are measured. --plain-files runs only the
plain files, --no-plain-files only the simulated controller.

The simulated controller is a process of its own, so each attribute access
wakes it and then the tool, and when the two sit on different CPUs of a
virtual machine such a wake-up can take milliseconds. --one-cpu CPU keeps
padprobe and the controller on one CPU, in both runs, as a driver's work
stays on the caller's CPU.
"""
import argparse
import json
import math
import os
import shutil
import time

from padprobe_common import cpu_seconds, percentile, start_board

from padlink.stream import SequenceChecker


def pass_starts(writes):
    """Times of the sampling passes after the last start: each pass begins
    by selecting channel 0."""
    enabled = max(i for i, w in enumerate(writes) if w.name == "ctc_enable")
    return [w.time for w in writes[enabled + 1 :] if w.name == "ch_num" and w.text == "0"]


def pass_spans(writes):
    """Milliseconds from each pass's selection of channel 0 to its selection
    of channel 8: most of a pass's attribute accesses."""
    enabled = max(i for i, w in enumerate(writes) if w.name == "ctc_enable")
    spans = []
    began = None
    for w in writes[enabled + 1 :]:
        if w.name == "ch_num" and w.text == "0":
            began = w.time
        elif w.name == "ch_num" and w.text == "8" and began is not None:
            spans.append((w.time - began) * 1000)
            began = None
    return spans


def pin(pids, cpu):
    """Every thread of each process onto one CPU (None: leave them be)."""
    if cpu is None:
        return
    for pid in pids:
        for tid in os.listdir(f"/proc/{pid}/task"):
            os.sched_setaffinity(int(tid), {cpu})


def run_plain(samp_int, seconds, build, cpu=None):
    board = start_board(options=["--touch-plain"], build=build)
    try:
        pid = board.padprobe_pid()
        pin([pid], cpu)
        request = {"type": "start", "samp_int": samp_int}
        request.update({f"ch{c}": 1 for c in range(9)})
        cpu0, wall0 = cpu_seconds(pid), time.monotonic()
        board.link.request(json.dumps(request))
        started = time.monotonic()
        board.link.quiet(seconds)
        board.link.request('{"type":"stop"}')
        stopped = time.monotonic()
        cpu1, wall1 = cpu_seconds(pid), time.monotonic()
        board.link.quiet(0.5)
        frames = board.link.take_frames()
    finally:
        board.stop()
        shutil.rmtree(board.state, ignore_errors=True)

    checker = SequenceChecker()
    for f in frames:
        checker.add(f)
    ticks = int((stopped - started) / (samp_int / 1000.0))
    consecutive = sum(1 for a, b in zip(frames, frames[1:]) if b.seq == a.seq + 1)
    consecutive += bool(frames and frames[0].seq == 1)
    gaps = [(b.arrival - a.arrival) * 1000 for a, b in zip(frames, frames[1:])]
    cpu = (cpu1 - cpu0) / (wall1 - wall0) * 100
    print(f"samp_int {samp_int} ms, {seconds:g} s, nine channels, attributes as plain files:")
    print(
        f"  ticks expected about {ticks}, frames {len(frames)} "
        f"({len(frames) / ticks * 100:.2f}% of ticks), in sequence {consecutive}"
    )
    print(
        f"  gaps {len(checker.gaps)} ({checker.missing} missing), duplicates "
        f"{checker.duplicates}, XOR errors {checker.xor_errors}"
    )
    print(f"  padprobe CPU {cpu:.1f}% of one core")
    print(
        f"  frame to frame: p50 {percentile(gaps, 0.5):.3f} ms, "
        f"p99 {percentile(gaps, 0.99):.3f} ms"
    )
    return len(frames) / ticks * 100, len(checker.gaps), checker.xor_errors


def run(samp_int, seconds, build, cpu=None):
    board = start_board(build=build)
    try:
        pid = board.padprobe_pid()
        sim_pid = board.descendant_pid("touchsim")
        pin([pid, sim_pid], cpu)
        request = {"type": "start", "samp_int": samp_int}
        request.update({f"ch{c}": 1 for c in range(9)})
        cpu0, sim0, wall0 = cpu_seconds(pid), cpu_seconds(sim_pid), time.monotonic()
        board.link.request(json.dumps(request))
        board.link.quiet(seconds)
        board.link.request('{"type":"stop"}')
        # The timer is disarmed before the stop is answered.
        stopped = time.monotonic()
        cpu1, sim1, wall1 = cpu_seconds(pid), cpu_seconds(sim_pid), time.monotonic()
        board.link.quiet(0.5)
        frames = board.link.take_frames()
        writes = board.writes()
        passes = pass_starts(writes)
        spans = pass_spans(writes)
        junk = len(board.link.junk)
    finally:
        board.stop()
        shutil.rmtree(board.state, ignore_errors=True)

    interval = samp_int / 1000.0
    checker = SequenceChecker()
    for f in frames:
        checker.add(f)
    first = passes[0]
    ticks = int((stopped - first) / interval) + 1
    consecutive = sum(1 for a, b in zip(frames, frames[1:]) if b.seq == a.seq + 1)
    consecutive += bool(frames and frames[0].seq == 1)

    def tick_before(t):
        return first + math.floor((t - first) / interval + 1e-9) * interval

    numbered = [f for f in frames if f.seq <= len(passes)]
    by_tick = [(f.arrival - tick_before(passes[f.seq - 1])) * 1000 for f in numbered]
    by_pass = [(f.arrival - passes[f.seq - 1]) * 1000 for f in numbered]
    cpu = (cpu1 - cpu0) / (wall1 - wall0) * 100
    sim_cpu = (sim1 - sim0) / (wall1 - wall0) * 100

    print(f"samp_int {samp_int} ms, {seconds:g} s, nine channels:")
    print(
        f"  ticks expected {ticks}, passes run {len(passes)} "
        f"({max(ticks - len(passes), 0)} ticks merged into a later one), frames {len(frames)} "
        f"({len(frames) / ticks * 100:.2f}% of ticks), "
        f"in sequence {consecutive} ({consecutive / ticks * 100:.2f}%)"
    )
    print(
        f"  gaps {len(checker.gaps)} ({checker.missing} missing), duplicates "
        f"{checker.duplicates}, backwards {checker.backwards}, XOR errors "
        f"{checker.xor_errors}, length errors {checker.length_errors}, stray bytes {junk}"
    )
    print(
        f"  padprobe CPU {cpu:.1f}% of one core; the simulated controller (touchsim) "
        f"{sim_cpu:.1f}%"
    )
    print(
        f"  a pass selects channel 0 to 8 in p50 {percentile(spans, 0.5):.3f} ms, "
        f"p99 {percentile(spans, 0.99):.3f} ms (27 attribute accesses a pass)"
    )
    print(
        f"  latency tick -> frame: p50 {percentile(by_tick, 0.5):.3f} ms, "
        f"p99 {percentile(by_tick, 0.99):.3f} ms, max {max(by_tick):.3f} ms"
    )
    print(
        f"  latency pass start -> frame: p50 {percentile(by_pass, 0.5):.3f} ms, "
        f"p99 {percentile(by_pass, 0.99):.3f} ms"
    )
    if samp_int == 1:
        ok = consecutive / ticks >= 0.995 and checker.xor_errors == 0 and cpu < 20
        print(
            f"  target (>= 99.5% in sequence, no XOR error, < 20% CPU): "
            f"{'met' if ok else 'MISSED'}"
        )
    return len(frames) / ticks * 100, len(checker.gaps), checker.xor_errors


def compare(samp_int, simulated, plain):
    """The two runs of one interval side by side."""
    apart = plain[0] - simulated[0]
    clean = simulated[1:] == (0, 0) and plain[1:] == (0, 0)
    print(f"samp_int {samp_int} ms, ticks delivered as frames, side by side:")
    print(
        f"  simulated controller {simulated[0]:.2f}% (gaps {simulated[1]}, XOR errors "
        f"{simulated[2]}), plain files {plain[0]:.2f}% (gaps {plain[1]}, XOR errors "
        f"{plain[2]}): {apart:.2f} points apart"
    )
    print(
        f"  goal (within 5 points, no gap, no XOR error): "
        f"{'met' if apart <= 5 and clean else 'MISSED'}"
    )


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seconds", type=float, default=60.0)
    parser.add_argument("--samp-int", type=int, nargs="+", default=[1, 10])
    parser.add_argument("--build", default=None)
    only = parser.add_mutually_exclusive_group()
    only.add_argument(
        "--plain-files",
        action="store_true",
        help="only the attributes as plain files on a tmpfs, not the simulated controller",
    )
    only.add_argument(
        "--no-plain-files",
        action="store_true",
        help="only the simulated controller, without the plain files beside it",
    )
    parser.add_argument(
        "--one-cpu",
        type=int,
        metavar="CPU",
        help="padprobe and the simulated controller on this CPU only (the "
        "monitor's threads start later and follow): every round trip to the "
        "controller then stays on one CPU, as a driver's work does",
    )
    args = parser.parse_args()
    cpu = args.one_cpu
    for samp_int in args.samp_int:
        if args.plain_files:
            run_plain(samp_int, args.seconds, args.build, cpu)
        elif args.no_plain_files:
            run(samp_int, args.seconds, args.build, cpu)
        else:
            simulated = run(samp_int, args.seconds, args.build, cpu)
            plain = run_plain(samp_int, args.seconds, args.build, cpu)
            compare(samp_int, simulated, plain)


if __name__ == "__main__":
    main()
