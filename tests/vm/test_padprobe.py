# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""padprobe on the board's UART at 1,500,000 baud, driven from this machine by
padhost: query, config and config_ch read back in sysfs, tune, a nine-channel
monitor at 10 ms without gaps or XOR errors, stop. On the virtual board the
UART is a USB serial adapter (/dev/ttyUSB0, ftdi_sio) whose far end the
conftest relays to a pty here."""
import re
import subprocess
import time

import pytest
from onboard import PADHOST, answers, padhost, sysfs

TOUCH = "/sys/devices/platform/ocp/42010000.padprobe"
CONTROL = "/sys/kernel/debug/board_touch/control"


@pytest.fixture
def probe(board, board_uart, host_uart, virtual):
    """padprobe serving the board's UART, stopped after the test."""
    if virtual:
        board.control(CONTROL, "noise 0")
        board.control(CONTROL, "model 3 1120 64")
        board.control(CONTROL, "set chx_mbias:3 0")
    board.check(
        f"( sh -c 'echo $$ > /tmp/padprobe.pid; exec padprobe {board_uart}'"
        " > /tmp/padprobe.out 2>&1; echo $? > /tmp/padprobe.status ) &"
    )
    deadline = time.monotonic() + 10
    while "App Start!" not in board.run("cat /tmp/padprobe.out")[1]:
        assert time.monotonic() < deadline, board.run("cat /tmp/padprobe.out")[1]
        time.sleep(0.2)
    yield board.check("cat /tmp/padprobe.pid")
    board.run("kill $(cat /tmp/padprobe.pid); rm -f /tmp/padprobe.*")


def test_requests_over_the_uart_at_1500000_baud(board, board_uart, host_uart, probe):
    out = padhost(
        host_uart,
        "query",
        "config scan_int=20 avg_samp=4 deb_cnt=2 deb_en=1 etc_en=1 etc_int=3 etc_factor=6 step=5",
        "config_ch ch=4 enable=1 mbias=40 diff_th=9 abs_th=4000 nn_th=3 pn_th=4",
        "query_ch 4",
    )
    query, config, config_ch, query_ch = answers(out)
    assert query["type"] == "query" and config["type"] == config_ch["type"] == "ack"
    expected = {
        "scan_interval": 20,
        "sample_num": 4,
        "debounce_times": 2,
        "debounce_en": 1,
        "etc_enable": 1,
        "etc_interval": 3,
        "etc_factor": 6,
        "etc_step": 5,
    }
    assert {name: sysfs(board, name) for name in expected} == expected
    channel = {
        "chx_enable": 1,
        "chx_mbias": 40,
        "chx_diff_th": 9,
        "chx_abs_th": 4000,
        "chx_n_noise_th": 3,
        "chx_p_noise_th": 4,
    }
    assert {name: sysfs(board, name, ch=4) for name in channel} == channel
    assert query_ch["ch"] == 4 and query_ch["mbias"] == 40
    # Back to the power-on timing, which the monitor below relies on.
    padhost(
        host_uart,
        "config scan_int=10 avg_samp=4 deb_cnt=2 deb_en=1 etc_en=1 etc_int=0 etc_factor=6 step=5",
    )


def test_tune_stores_the_mbias_it_answers(board, host_uart, probe):
    tuned = answers(padhost(host_uart, "tune 3"))[0]
    assert (tuned["type"], tuned["ch"]) == ("tune_mbias_ch", 3)
    assert sysfs(board, "chx_mbias", ch=3) == tuned["mbias"]


@pytest.mark.virtual_board
def test_tune_walks_to_the_mbias_that_centres_the_channel(board, host_uart, probe):
    # The model: channel 3 reads 1120 + 64 * MBias; the walk stops at 30 (3040).
    tuned = answers(padhost(host_uart, "tune 3"))[0]
    assert (tuned["type"], tuned["ch"], tuned["mbias"]) == ("tune_mbias_ch", 3, 30)
    assert sysfs(board, "chx_mbias", ch=3) == 30


def test_a_nine_channel_monitor_without_gaps(board, board_uart, host_uart, probe):
    monitor = subprocess.Popen(
        ["/usr/bin/python3", PADHOST, "--port", host_uart, "monitor 5 samp_int=10 ch=all", "stop"],
        stdout=subprocess.PIPE,
        stderr=subprocess.STDOUT,
        text=True,
    )
    try:
        time.sleep(2)
        # The line runs at the protocol's speed in the board's own tty layer.
        assert "speed 1500000 baud" in board.check(f"stty -F {board_uart}")
        out, _ = monitor.communicate(timeout=120)
    finally:
        monitor.kill()
    assert monitor.returncode == 0, out
    summary = re.search(r"^monitor: 5 s, (\d+) frames, (\d+) gaps .* (\d+) XOR errors", out, re.M)
    assert summary, out
    frames, gaps, xor_errors = (int(n) for n in summary.groups())
    assert (gaps, xor_errors) == (0, 0), out
    # 500 ticks in 5 s on the board. Under emulation a tick whose work
    # outlasts the interval merges with the next (no gap, one frame fewer),
    # and on a loaded two-core machine about half the ticks remain.
    assert frames >= 100, out
    assert answers(out)[-1]["type"] == "ack"  # the stop
    assert board.run(f"kill -0 {probe}")[0] == 0, "padprobe ended"


@pytest.mark.virtual_board
def test_a_failing_controller(board, host_uart, probe):
    faults = ("missing chx_diff_th", "fail-write scan_interval EBUSY", "fail-read etc_step")
    try:
        for fault in faults[:2]:
            board.control(CONTROL, fault)
        out = padhost(
            host_uart,
            "query_ch 2",
            "config scan_int=5 step=1 avg_samp=1 etc_en=1 etc_int=1 etc_factor=1 deb_en=1 deb_cnt=1",
        )
        query_ch, config = answers(out)
        # The file is gone from the driver's folder: read as 0, serving goes on.
        assert query_ch["ch"] == 2 and query_ch["diff_th"] == 0
        assert config["type"] == "ack"
        board.control(CONTROL, faults[2])
        proc = subprocess.run(
            ["/usr/bin/python3", PADHOST, "--port", host_uart, "--timeout", "5", "query"],
            stdout=subprocess.PIPE,
            stderr=subprocess.STDOUT,
            text=True,
            timeout=60,
        )
        assert proc.returncode == 1, proc.stdout  # no answer: padprobe ended
        deadline = time.monotonic() + 10
        while not board.exists("/tmp/padprobe.status"):
            assert time.monotonic() < deadline, "padprobe still runs after the failed read"
            time.sleep(0.2)
        assert board.check("cat /tmp/padprobe.status") == "255"
        log = board.check("cat /tmp/padprobe.out")
    finally:
        for attr in ("chx_diff_th", "scan_interval", "etc_step"):
            board.control(CONTROL, f"restore {attr}")
    assert f"[CAP][ERROR] open {TOUCH}/chx_config/chx_diff_th error" in log
    assert "[CAP][ERROR] write scan_interval error\n\n[CAP][ERROR] ctc_set_scan_interval" in log
    assert "[CAP][ERROR] read etc_step error" in log
