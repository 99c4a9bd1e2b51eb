# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The package's systemd units on a board whose init is systemd, installed
as its examples say: padprobe@ttyUSB0.service serving the UART to padhost
on this machine (query, config, a monitor at 10 ms, tune), and
nanpeer.service publishing the example configuration to the second board,
whose `systemctl stop` runs the end command and ends within TimeoutStopSec.
Whatever the units' sandbox takes away, the tools must still have what they
need: the real-time TX task, sysfs writes, the tty, ip and ping6."""
import json
import os
import re
import time

import pytest
from onboard import answers, padhost, sysfs
from test_nanpeer import Nanpeer, Radio

EXAMPLES = "/usr/share/doc/board-tools/examples"


@pytest.fixture(scope="module")
def systemd(board):
    if board.run('test "$(cat /proc/1/comm)" = systemd')[0] != 0:
        pytest.skip("the board's init is not systemd")
    return board


def install_unit(board, name):
    """The package's unit where it installs one, else its example copied to
    /etc/systemd/system as the examples' README says."""
    for folder in ("/usr/lib/systemd/system", "/lib/systemd/system"):
        if board.exists(f"{folder}/{name}"):
            return
    board.check(f"cp {EXAMPLES}/systemd/{name} /etc/systemd/system/ && systemctl daemon-reload")


def journal(board, unit, since):
    return board.check(f"journalctl -u {unit} --since @{since} -o cat --no-pager")


def wait_until(what, check, timeout=30):
    deadline = time.monotonic() + timeout
    while not check():
        assert time.monotonic() < deadline, what
        time.sleep(0.5)


def test_padprobe_serves_the_uart_as_a_service(systemd, board_uart, host_uart):
    board = systemd
    unit = f"padprobe@{os.path.basename(board_uart)}.service"
    install_unit(board, "padprobe@.service")
    since = board.check("date +%s")
    board.check(f"systemctl enable --now {unit}")
    try:
        wait_until(
            f"{unit} never said App Start!", lambda: "App Start!" in journal(board, unit, since)
        )
        assert board.check(f"systemctl is-active {unit}") == "active"
        out = padhost(
            host_uart,
            "query",
            "config scan_int=10 avg_samp=4 deb_cnt=2 deb_en=1 etc_en=1 etc_int=0 etc_factor=6"
            " step=5",
            "config_ch ch=4 enable=1 mbias=40 diff_th=9 abs_th=4000 nn_th=3 pn_th=4",
            "tune 3",
            "monitor 5 samp_int=10 ch=all",
            "stop",
        )
        query, config, config_ch, tuned = answers(out)[:4]
        assert query["type"] == "query" and config["type"] == config_ch["type"] == "ack"
        # The sandbox lets it write the controller's attributes...
        assert sysfs(board, "scan_interval") == 10
        assert sysfs(board, "chx_mbias", ch=4) == 40
        assert tuned["type"] == "tune_mbias_ch" and tuned["ch"] == 3
        assert sysfs(board, "chx_mbias", ch=3) == tuned["mbias"]
        # ...set the line to 1,500,000 baud and run the monitor: frames
        # without gaps (how many a loaded emulated CPU manages is
        # test_padprobe's business), sent by a real-time TX task, which
        # padprobe would have replaced with a plain thread and said so.
        summary = re.search(
            r"^monitor: 5 s, (\d+) frames, (\d+) gaps .* (\d+) XOR errors", out, re.M
        )
        assert summary, out
        frames, gaps, xor_errors = (int(n) for n in summary.groups())
        assert (gaps, xor_errors) == (0, 0) and frames > 0, out
        assert "No real-time priority" not in journal(board, unit, since)
        assert answers(out)[-1]["type"] == "ack"
        assert board.check(f"systemctl is-active {unit}") == "active"
    finally:
        board.run(f"systemctl disable --now {unit}")
    assert board.run(f"systemctl is-active {unit}")[1] == "inactive"


def test_nanpeer_publishes_as_a_service_and_stops_in_time(systemd, peer):
    board = systemd
    install_unit(board, "nanpeer.service")
    radio, peer_radio = Radio(board), Radio(peer)
    # The example configuration, made this board's: its radio's address,
    # its iw, and start and end commands that leave a line in the journal.
    config = json.loads(board.check(f"cat {EXAMPLES}/nanpeer-publish.json"))
    config["basic"]["mac_addr"] = radio.mac
    config["bin_path"]["iw"]["iw_path"] = radio.iw
    board.check("mkdir -p /etc/nanpeer /etc/nan")
    board.write("/etc/nanpeer/nanpeer.json", json.dumps(config, indent=1))
    board.write("/etc/nan/up.sh", "#!/bin/sh\necho nan-up: $*\n")
    board.write("/etc/nan/down.sh", "#!/bin/sh\necho nan-down: $*\n")
    board.check("chmod +x /etc/nan/up.sh /etc/nan/down.sh")
    service = config["dns_sd_record"]["publish1"]["service_name"]
    subscriber = {
        "bin_path": dict(config["bin_path"], iw={"iw_path": peer_radio.iw}),
        "basic": {"mac_addr": peer_radio.mac},
        "dns_sd_record": {
            "subscribe": {"subscribe_id": 1, "service_name": service, "security": "open"}
        },
    }
    since = board.check("date +%s")
    board.check("systemctl start nanpeer.service")
    sub = None
    try:
        sub = Nanpeer(peer, "subscribe", subscriber)
        # It publishes: the second board finds the service and pings across
        # the data path that the service's nanpeer set up.
        sub.wait_for(f"service_name({service})")
        sub.wait_for("10 packets transmitted, 10 received, 0% packet loss")
        wait_until("no start command", lambda: "nan-up" in journal(board, "nanpeer", since))
        limit = board.check("systemctl show -P TimeoutStopUSec nanpeer.service")
        started = time.monotonic()
        board.check("systemctl stop nanpeer.service", timeout=120)
        took = time.monotonic() - started
        log = journal(board, "nanpeer", since)
        assert "nan-down" in log, log
        assert board.check("systemctl show -P Result nanpeer.service") == "success"
        assert took < seconds(limit), f"stop took {took:.1f} s, TimeoutStopSec {limit}"
        sub.wait_for("dns_evt_data_end")
        assert sub.stop() == 0
    finally:
        board.run("systemctl stop nanpeer.service; rm -rf /etc/nanpeer /etc/nan")
        if sub:
            peer.run("pkill -x nanpeer")


def seconds(text):
    """A systemd time span ("30s", "1min 30s", "infinity") in seconds."""
    if text == "infinity":
        return float("inf")
    units = {"ms": 0.001, "s": 1, "min": 60, "h": 3600}
    return sum(float(n) * units[u] for n, u in re.findall(r"([\d.]+)(ms|min|s|h)", text))
