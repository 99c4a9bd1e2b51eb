# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""nanpeer's command line, run time and stop, with the libsdcore double loaded."""
import json
import os
import signal
import subprocess
import time

import pytest

import boardtest
from boardtest import run, start, stop

USAGE = (
    b"Usage: nanpeer [-r publish|subscribe] [-f config_file] [option] \n"
    b"\n"
    b"General : \n"
    b"Publish : \n"
    b"  -t \t timeout value\n"
    b"  -n \t number of service\n"
    b"subscribe : \n"
    b"  -t \t timeout value\n"
)


def info(text):
    return b"\x1b[m[nanpeer] " + text + b"\x1b[m"


@pytest.fixture
def setup(tmp_path, monkeypatch, tool):
    """A configuration whose iw tool lists our address, and the double."""
    tool("nanpeer")
    double = os.path.join(boardtest.BUILD, "tests", "nanpeer-double")
    if not os.path.exists(os.path.join(double, "libsdcore.so")):
        pytest.fail("the libsdcore double is not built")
    iw = tmp_path / "iw"
    iw.write_text("#!/bin/sh\necho 'phy#2'\necho ' Interface nan0 addr 02:00:00:00:00:01'\n")
    iw.chmod(0o755)
    config = {
        "bin_path": {
            "iw": {"iw_path": str(iw)},
            "nan_r3": {"nan_r3_path": "/opt/nan/r3"},
            "wpa_supplicant": {
                "wpa_supplicant_path": "/usr/sbin/wpa_supplicant",
                "wpa_supplicant_conf_path": "/etc/wpa_supplicant.conf",
                "wpa_supplicant_log_file": "/tmp/wpa.log",
                "wpa_supplicant_dbg_para": "-d",
            },
        },
        "basic": {"mac_addr": "02:00:00:00:00:01"},
        "dns_sd_record": {
            "publish1": {
                "publish_id": 1,
                "service_name": "demo",
                "name_of_service_instance": "demo-1",
                "textinfo": "3 abc",
                "hostname": "nanhost",
                "port_number": 8080,
                "security": "open",
            },
            "subscribe": {"subscribe_id": 1, "service_name": "demo", "security": "open"},
        },
    }
    path = tmp_path / "nanpeer.json"
    path.write_text(json.dumps(config))
    calls = tmp_path / "calls.log"
    monkeypatch.setenv("LD_LIBRARY_PATH", double)
    monkeypatch.setenv("NANPEER_DOUBLE_LOG", str(calls))
    return {"config": str(path), "calls": calls}


def test_usage_and_exit_statuses(setup):
    r = run(["nanpeer", "-r", "publish"])
    assert (r.status, r.stdout, r.stderr) == (1, b"", USAGE)
    r = run(["nanpeer", "-r", "publish", "-h", "x"])
    assert (r.status, r.stderr) == (0, USAGE)
    r = run(["nanpeer", "-r", "publish", "-s", "x"])
    assert (r.status, r.stderr) == (1, USAGE)
    r = run(["nanpeer", "-r", "publish", "-f", setup["config"], "-q"])
    assert (r.status, r.stderr) == (1, b"nanpeer: invalid option -- 'q'\n" + USAGE)
    r = run(["nanpeer", "-r", "Publish", "-f", setup["config"]])
    assert (r.status, r.stdout) == (1, info(b"unknown role!!! \n"))
    r = run(["nanpeer", "-r", "publish", "-f", "/nonexistent.json"])
    assert r.status == 1
    assert r.stdout.endswith(
        info(b"Cannot open /nonexistent.json\n") + info(b"Configuration file parser failed!!!\n")
    )
    assert not setup["calls"].exists()


def test_a_publisher_file_without_dns_sd_record_fails_on_publish_id(setup, tmp_path):
    config = json.loads(open(setup["config"]).read())
    del config["dns_sd_record"]
    path = tmp_path / "no-records.json"
    path.write_text(json.dumps(config))
    r = run(["nanpeer", "-r", "publish", "-f", str(path)])
    assert r.status == 1
    assert r.stdout.endswith(
        info(b"role: Publish \n")
        + info(b' "publish_id" not found\n')
        + info(b"Configuration file parser failed!!!\n")
    )
    assert not setup["calls"].exists()


def timed_run(argv):
    began = time.monotonic()
    r = run(argv, timeout=60)
    return r, time.monotonic() - began


def test_publisher_runs_past_its_timeout_then_shuts_down(setup):
    r, elapsed = timed_run(["nanpeer", "-r", "publish", "-f", setup["config"], "-t", "2", "-b"])
    assert r.status == 0, r.stdout
    # More than 2 s of waiting, then the 1 s pause of the shutdown.
    assert 3.0 <= elapsed < 15
    assert info(b"get_phy_from_mac find phy2! \n") in r.stdout
    assert r.stdout.endswith(info(b"\n!!!!!! Terminated !!!!!!\n"))
    assert setup["calls"].read_text().splitlines() == [
        "dns_register_evt_cb -1 -1",
        "dns_publish 2 1",
        "dns_stop_service 2 -1",
    ]


def test_subscriber_waits_five_seconds_less(setup):
    r, elapsed = timed_run(["nanpeer", "-r", "subscribe", "-f", setup["config"], "-t", "7"])
    assert r.status == 0, r.stdout
    assert 3.0 <= elapsed < 7.5
    assert setup["calls"].read_text().splitlines()[1] == "dns_subscribe 2 0"


def test_sigint_ends_an_endless_run_within_about_a_second(setup):
    proc = start(
        ["nanpeer", "-r", "publish", "-f", setup["config"], "-t", "0"], stdout=subprocess.PIPE
    )
    deadline = time.monotonic() + 20
    while not setup["calls"].exists() or "dns_publish" not in setup["calls"].read_text():
        assert time.monotonic() < deadline, "nanpeer did not publish"
        time.sleep(0.1)
    time.sleep(1.5)  # it sleeps while it waits; it must still wake up for the signal
    began = time.monotonic()
    assert stop(proc, signal.SIGINT, timeout=15) == 0
    assert time.monotonic() - began < 6
    assert proc.stdout.read().endswith(info(b"\n!!!!!! Terminated !!!!!!\n"))
