#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""Round trip of a "query" over a pty: padprobe in the simulated board with
the simulated controller. Prints p50 and p99 (and more) over N requests.

    sudo bench/padprobe_query_rtt.py [--requests N] [--build DIR]
"""
import argparse
import shutil
import statistics
import time

from padprobe_common import percentile, start_board


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--requests", type=int, default=2000)
    parser.add_argument("--build", default=None)
    args = parser.parse_args()

    board = start_board(build=args.build)
    try:
        for _ in range(20):  # warm the caches of the board's file system
            board.link.request('{"type":"query"}')
        times = []
        for _ in range(args.requests):
            t0 = time.perf_counter()
            answer = board.link.request('{"type":"query"}')
            times.append(time.perf_counter() - t0)
            assert answer.obj and answer.obj["type"] == "query", answer.raw
    finally:
        board.stop()
        shutil.rmtree(board.state, ignore_errors=True)
    ms = [t * 1000 for t in times]
    print(f"query round trip over a pty, {len(ms)} requests:")
    print(
        f"  p50 {percentile(ms, 0.50):.3f} ms   p99 {percentile(ms, 0.99):.3f} ms   "
        f"mean {statistics.fmean(ms):.3f} ms   min {min(ms):.3f} ms   max {max(ms):.3f} ms"
    )


if __name__ == "__main__":
    main()
