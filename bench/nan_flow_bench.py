#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""Benchmark of a NAN exchange between two simulated boards.

For the open and the pairing flow, each run a few times: the time from the
subscriber's dns_subscribe to its discovery result, to its data path
confirm and to the first ping6 reply; nanpeer's time to handle an event
(from the library entering the callback to the library call that the
handler makes on nanpeer's owner thread, both stamped by the simulator's
trace); and the peak RSS of
the two nanpeer processes. Needs root and a built tree (build/ or
BOARD_BUILD_DIR):

    sudo bench/nan_flow_bench.py [--runs N]
"""
import argparse
import os
import statistics
import sys
import tempfile
import time

sys.path.insert(
    0, os.path.join(os.path.dirname(os.path.realpath(__file__)), "..", "tests", "system")
)

from nan_support import (  # noqa: E402
    Peer,
    calls,
    events,
    nan_network,
    peers,
    publisher_config,
    security_keys,
    subscriber_config,
)

FLOWS = {
    "open": ({"security": "open"}, security_keys("open")),
    "pairing": (security_keys("pairing", nik_caching=0), security_keys("pairing", nik_caching=0)),
}


def peak_rss_kib(netns):
    """VmHWM of the nanpeer process in a board's network namespace."""
    import subprocess

    for pid in subprocess.run(
        ["ip", "netns", "pids", netns], capture_output=True, text=True
    ).stdout.split():
        try:
            with open(f"/proc/{pid}/comm") as comm:
                if comm.read().strip() != "nanpeer":
                    continue
            with open(f"/proc/{pid}/status") as status:
                for line in status:
                    if line.startswith("VmHWM:"):
                        return int(line.split()[1])
        except FileNotFoundError:
            continue
    return None


def first_ping_reply(peer, timeout=60):
    """When the first echo reply showed in the subscriber's output (ping6
    writes each line as it comes), on the trace's clock."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if "bytes from" in peer.output():
            return time.monotonic()
        time.sleep(0.005)
    raise RuntimeError("no ping reply:\n" + peer.output())


# The library calls each event's handler makes.
HANDLER_CALLS = {
    "DNS_DISCOVERY_RESULT": ("dns_datapath_req", "dns_bstrap_start", "dns_pairing_start"),
    "DNS_DATA_INDICATION": ("dns_datapath_rsp",),
    "DNS_BSTRAP_RESULT": ("dns_pairing_start",),
    "DNS_PASN_RESULT": ("dns_datapath_req",),
}


def handling_times(trace):
    """(event, µs) from an event's delivery to the library call its handler
    makes: the first such call of that process after the latest event
    delivered to it. nanpeer's callback only queues the event; its owner
    thread handles it and makes the call."""
    result = []
    pending = {}
    for when, pid, kind, name, _fields in trace:
        if kind == "event-begin":
            pending[pid] = (name, when)
        elif kind == "call" and pid in pending:
            event, began = pending[pid]
            if name in HANDLER_CALLS.get(event, ()):
                del pending[pid]
                result.append((f"{event} -> {name}", when - began))
    return result


def run_flow(name, runs):
    pub_keys, sub_keys = FLOWS[name]
    samples = {"discovery": [], "confirm": [], "ping": []}
    handling = {}
    rss = []
    for run in range(runs):
        with tempfile.TemporaryDirectory(prefix="nanbench-") as out:
            pub_cfg = publisher_config(os.path.join(out, "pub.json"), [pub_keys])
            sub_cfg = subscriber_config(os.path.join(out, "sub.json"), **sub_keys)
            with nan_network() as (pub_ns, sub_ns, medium):
                pub = Peer(pub_ns, medium, "publish", pub_cfg, out)
                time.sleep(0.5)  # the publisher announces before the subscriber looks
                sub = Peer(sub_ns, medium, "subscribe", sub_cfg, out)
                with peers(pub, sub):
                    replied = first_ping_reply(sub)
                    rss += [v for v in (peak_rss_kib(pub_ns), peak_rss_kib(sub_ns)) if v]
                    sub.wait_for(r"^10 packets transmitted", timeout=60)
                    sub.stop()
                    pub.stop()
                trace = sub.trace()
                subscribed = calls(trace, "dns_subscribe")[0][0]
                samples["discovery"].append(
                    events(trace, "DNS_DISCOVERY_RESULT")[0][0] - subscribed
                )
                samples["confirm"].append(events(trace, "DNS_DATA_CONFIRM")[0][0] - subscribed)
                samples["ping"].append(replied * 1e6 - subscribed)
                for label, micros in handling_times(trace) + handling_times(pub.trace()):
                    handling.setdefault(label, []).append(micros)
    print(f"\n{name} flow, {runs} runs (median, min-max):")
    for label, key, unit in (
        ("subscribe -> discovery", "discovery", "ms"),
        ("subscribe -> data path confirmed", "confirm", "ms"),
        ("subscribe -> first ping reply", "ping", "ms"),
    ):
        values = [v / 1000 for v in samples[key]]
        print(
            f"  {label:36s} {statistics.median(values):9.1f} {unit}  "
            f"({min(values):.1f}-{max(values):.1f})"
        )
    print("  nanpeer's handling, event delivered -> its library call:")
    for label, values in sorted(handling.items()):
        print(
            f"    {label:48s} {statistics.median(values) / 1000:8.2f} ms  "
            f"(max {max(values) / 1000:.2f}, n={len(values)})"
        )
    if rss:
        print(
            f"  peak RSS of nanpeer                  {max(rss)} KiB (publisher and subscriber: "
            f"{min(rss)}-{max(rss)} KiB)"
        )


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=2, help="runs of each flow (default 2)")
    args = parser.parse_args()
    if os.geteuid() != 0:
        sys.exit("nan_flow_bench: needs root for the boards' namespaces")
    print("NAN exchange between two simulated boards (announcement interval 300 ms)")
    for flow in FLOWS:
        run_flow(flow, args.runs)


if __name__ == "__main__":
    main()
