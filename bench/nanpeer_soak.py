#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""Soak: one nanpeer subscriber pairs with a publisher through the simulated
library for 500 discovery / data path / end cycles. Checks that no slot is
left stuck, that nothing leaks and that no descriptor stays open.

    sudo bench/nanpeer_soak.py [--cycles 500] [--build DIR] [--real-ping]

The subscriber runs for the whole soak; a publisher is started for each
cycle and stopped once the data path is established, which ends the data
path (the subscriber gets DNS_DATA_END). Both sides have NIK caching, so the
first cycle is a pairing setup and every later one a pairing verification.
A cycle must reach DNS_DATA_ESTABLISHED within 60 s, which it cannot when
the slot is stuck in some state. After the last cycle the subscriber is
stopped: its shutdown must find no confirmed data path, and it must end with
status 0 (with an ASan build LeakSanitizer then checks the heap; reports
land in the build's sanitizer-reports/). Its RSS and descriptors are taken
after every cycle.

The subscriber waits 3 s and pings its peer for each data path; without
--real-ping a ping6 that answers at once stands in, so a cycle takes about
six seconds instead of fifteen.
"""
import argparse
import os
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.realpath(__file__))


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cycles", type=int, default=500)
    parser.add_argument("--build", default=None, help="build tree (default build/)")
    parser.add_argument("--real-ping", action="store_true")
    return parser.parse_args()


ARGS = parse_args()
if ARGS.build:
    os.environ["BOARD_BUILD_DIR"] = os.path.abspath(ARGS.build)
sys.path.insert(0, os.path.join(HERE, "..", "tests", "system"))

from nan_support import (  # noqa: E402
    Peer,
    nan_network,
    peers,
    publisher_config,
    security_keys,
    subscriber_config,
)


class TraceCounter:
    """Counts the ends of event callbacks in a growing trace file."""

    def __init__(self, path):
        self.path = path
        self.offset = 0
        self.partial = ""
        self.ended = {}

    def poll(self):
        if not os.path.exists(self.path):
            return
        with open(self.path) as text:
            text.seek(self.offset)
            chunk = text.read()
            self.offset = text.tell()
        lines = (self.partial + chunk).split("\n")
        self.partial = lines.pop()
        for line in lines:
            words = line.split()
            if len(words) >= 4 and words[2] == "event-end":
                self.ended[words[3]] = self.ended.get(words[3], 0) + 1

    def wait(self, name, count, timeout, peer):
        deadline = time.monotonic() + timeout
        while True:
            self.poll()
            if self.ended.get(name, 0) >= count:
                return
            if time.monotonic() > deadline or peer.proc.poll() is not None:
                raise RuntimeError(f"{name} #{count} did not come within {timeout} s")
            time.sleep(0.05)


class OutputCounter:
    """Counts lines holding a text in a growing output file."""

    def __init__(self, path, text):
        self.path = path
        self.text = text
        self.offset = 0
        self.partial = ""
        self.count = 0

    def wait(self, count, timeout, peer):
        deadline = time.monotonic() + timeout
        while True:
            with open(self.path, errors="replace") as out:
                out.seek(self.offset)
                chunk = out.read()
                self.offset = out.tell()
            lines = (self.partial + chunk).split("\n")
            self.partial = lines.pop()
            self.count += sum(self.text in line for line in lines)
            if self.count >= count:
                return
            if time.monotonic() > deadline or peer.proc.poll() is not None:
                raise RuntimeError(f"{self.text!r} #{count} did not come within {timeout} s")
            time.sleep(0.05)


def nanpeer_pid(netns):
    for pid in subprocess.run(
        ["ip", "netns", "pids", netns], capture_output=True, text=True
    ).stdout.split():
        try:
            with open(f"/proc/{pid}/comm") as comm:
                if comm.read().strip() == "nanpeer":
                    return int(pid)
        except FileNotFoundError:
            continue
    return None


def rss_and_descriptors(pid):
    with open(f"/proc/{pid}/status") as status:
        rss = next(int(line.split()[1]) for line in status if line.startswith("VmRSS:"))
    return rss, len(os.listdir(f"/proc/{pid}/fd"))


def fast_ping_dir(folder):
    """A folder with a ping6 that answers at once, to put first on PATH."""
    path = os.path.join(folder, "ping6")
    with open(path, "w") as script:
        script.write('#!/bin/sh\necho "ping6 stand-in: $*"\n')
    os.chmod(path, 0o755)
    return folder


def soak():
    out_dir = tempfile.mkdtemp(prefix="nanpeer-soak-")
    if not ARGS.real_ping:
        os.environ["PATH"] = fast_ping_dir(out_dir) + os.pathsep + os.environ["PATH"]
    keys = security_keys("pairing", nik_caching=1)
    pub_config = publisher_config(
        os.path.join(out_dir, "pub.json"), [dict(keys, start_cmd="true", end_cmd="true")]
    )
    sub_config = subscriber_config(os.path.join(out_dir, "sub.json"), **keys)
    samples = []  # (cycle, RSS KiB, descriptors)
    durations = []
    started = time.monotonic()
    with nan_network() as (pub_ns, sub_ns, medium):
        subscriber = Peer(sub_ns, medium, "subscribe", sub_config, out_dir)
        trace = TraceCounter(subscriber.trace_path)
        # The library's trace shows when an event was delivered; nanpeer
        # handles it afterwards, on its own thread, once the handler before
        # it (the confirm's pauses and ping) is done. A cycle goes on once
        # the subscriber has handled the event.
        handled_start = OutputCounter(subscriber.output_path, "[nanpeer] exec_start_script")
        cleared = OutputCounter(subscriber.output_path, "clear_data_path nan_status[9]")
        with peers(subscriber):
            for cycle in range(1, ARGS.cycles + 1):
                cycle_began = time.monotonic()
                publisher = Peer(
                    pub_ns,
                    medium,
                    "publish",
                    pub_config,
                    out_dir,
                    trace=os.path.join(out_dir, "publish.trace"),
                )
                with peers(publisher):
                    trace.wait("DNS_DATA_ESTABLISHED", cycle, 60, subscriber)
                    handled_start.wait(cycle, 60, subscriber)
                    status = publisher.stop()
                    if status != 0:
                        raise RuntimeError(f"cycle {cycle}: the publisher ended with {status}")
                trace.wait("DNS_DATA_END", cycle, 30, subscriber)
                cleared.wait(cycle, 30, subscriber)
                durations.append(time.monotonic() - cycle_began)
                pid = nanpeer_pid(sub_ns)
                samples.append((cycle, *rss_and_descriptors(pid)))
                if cycle % 50 == 0 or cycle == 1:
                    print(
                        f"  cycle {cycle}: {time.monotonic() - started:.0f} s, RSS {samples[-1][1]} KiB, "
                        f"{samples[-1][2]} descriptors",
                        flush=True,
                    )
            status = subscriber.stop()
        output = subscriber.output()
    trace.poll()
    elapsed = time.monotonic() - started
    confirmed_at_end = output.count("send data path end[")
    verifications = output.count("Pairing verification start")
    setups = output.count("Pairing setup start")
    rss = [s[1] for s in samples]
    fds = [s[2] for s in samples]
    # From cycle 10 on, once allocator and stdio buffers have settled.
    settled = rss[9:] or rss
    print(
        f"nanpeer soak: {ARGS.cycles} cycles in {elapsed:.0f} s ({elapsed / ARGS.cycles:.1f} s a cycle), "
        f"{'real' if ARGS.real_ping else 'stand-in'} ping6"
    )
    print(
        f"  subscriber: {setups} pairing setups, {verifications} pairing verifications, "
        f"{trace.ended.get('DNS_DISCOVERY_RESULT', 0)} discovery results, "
        f"{trace.ended.get('DNS_DATA_CONFIRM', 0)} confirms, "
        f"{trace.ended.get('DNS_DATA_END', 0)} data path ends"
    )
    ordered = sorted(durations)
    print(f"  cycle time: p50 {ordered[len(ordered) // 2]:.1f} s, max {ordered[-1]:.1f} s")
    print(
        f"  RSS KiB: after cycle 1 {rss[0]}, after cycle 10 {settled[0]}, max {max(rss)}, last {rss[-1]}"
    )
    print(f"  descriptors: after cycle 1 {fds[0]}, min {min(fds)}, max {max(fds)}, last {fds[-1]}")
    print(f"  shutdown: {confirmed_at_end} data paths still confirmed, exit status {status}")
    clean = (
        status == 0
        and confirmed_at_end == 0
        and max(fds) == min(fds)
        and max(settled) - settled[0] <= 256
    )
    print(
        f"  result: {'clean' if clean else 'FAULT'} (every cycle completed, no confirmed slot left, "
        f"status 0, descriptors constant, RSS within 256 KiB from cycle 10)"
    )
    print(f"  output kept in {out_dir}")
    return clean


if __name__ == "__main__":
    raise SystemExit(0 if soak() else 1)
