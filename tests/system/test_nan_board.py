# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The boards' network and the NAN part of the board: what `sim/board net`
builds and removes, what a board run with --nan-medium sees, and how the
simulated library reports settings it cannot use."""
import os
import subprocess

import boardtest
from nan_support import Peer, nan_network, peers, publisher_config


def netns_names():
    return set(os.listdir("/run/netns")) if os.path.isdir("/run/netns") else set()


def test_net_up_joins_two_namespaces_at_nan0_and_down_leaves_nothing():
    with nan_network() as (a, b, medium):
        with nan_network() as (c, d, _):
            assert {a, b, c, d} <= netns_names(), "networks of parallel tests coexist"
        assert not {c, d} & netns_names()
        r = boardtest.run(
            [
                "sh",
                "-c",
                "iw dev; cat /proc/sys/net/ipv6/conf/nan0/accept_dad; "
                "ip -6 address show dev nan0; echo lib=$LD_LIBRARY_PATH",
            ],
            board=["--netns", a, "--nan-medium", medium],
        )
        assert r.status == 0, r.stderr
        lines = r.stdout.decode().splitlines()
        assert lines[:6] == [
            "phy#0",
            "\tInterface nan0",
            "\t\tifindex 2",
            "\t\twdev 0x1",
            "\t\taddr 02:00:00:00:00:01",
            "\t\ttype NAN",
        ]
        assert lines[6] == "0", "duplicate address detection is off"
        assert not any("inet6" in line for line in lines), "no kernel-made link-local address"
        assert lines[-1].startswith("lib=") and lines[-1].endswith("/lib/sdcore-sim")
        # The two ends reach each other once they have addresses, as nanpeer
        # gives them.
        r = boardtest.run(
            ["ip", "-6", "address", "add", "fe80::2/64", "dev", "nan0"],
            board=["--netns", b, "--nan-medium", medium],
        )
        assert r.status == 0, r.stderr
        r = boardtest.run(
            [
                "sh",
                "-c",
                "ip -6 address add fe80::1/64 dev nan0 && ping6 -c 1 -W 5 -I nan0 fe80::2",
            ],
            board=["--netns", a, "--nan-medium", medium],
        )
        assert r.status == 0, r.stdout + r.stderr
        assert b"1 received" in r.stdout
    # Other tests may have networks of their own up meanwhile.
    assert not {a, b} & netns_names()


def test_bad_network_names_and_busy_names_are_refused():
    r = subprocess.run([boardtest.BOARD, "net", "up", "no spaces"], capture_output=True)
    assert r.returncode == 125
    assert b"network name 'no spaces'" in r.stderr
    with nan_network() as (a, _b, _m):
        name = a[:-2]
        r = subprocess.run([boardtest.BOARD, "net", "up", name], capture_output=True)
        assert r.returncode == 125
        assert f"network namespace {a} exists already".encode() in r.stderr


def test_library_reports_a_bad_fault_setting_and_rejects_the_service(tmp_path):
    cfg = publisher_config(tmp_path / "pub.json", [{"security": "open"}])
    with nan_network() as (a, _b, medium):
        pub = Peer(
            a, medium, "publish", cfg, tmp_path, args=["-t", "1"], faults=["drop:NOT_AN_EVENT"]
        )
        with peers(pub):
            assert pub.wait(timeout=30) == 0
    assert "sdcore-sim: bad fault item 'drop:NOT_AN_EVENT'" in pub.output()


def test_board_without_nan0_says_how_to_get_one(tmp_path):
    r = boardtest.run(["true"], board=["--nan-medium", str(tmp_path / "medium")])
    assert r.status == 0
    assert b"no nan0 here: run the board in a namespace made by `sim/board net up NAME`" in r.stderr
