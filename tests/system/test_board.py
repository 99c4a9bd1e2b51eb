# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The board's frame: private /dev, exit statuses, signals, clean-up."""
import signal

from boardtest import run, start, stop


def test_command_status_and_output_pass_through():
    r = run(["sh", "-c", "echo out; echo err >&2; exit 7"])
    assert (r.status, r.stdout, r.stderr) == (7, b"out\n", b"err\n")


def test_stdin_reaches_the_command():
    assert run(["cat"], stdin=b"line\n").stdout == b"line\n"


def test_private_dev_holds_only_the_basics():
    r = run(["sh", "-c", "ls /dev"])
    names = set(r.stdout.decode().split())
    assert {"null", "zero", "full", "tty", "pts", "ptmx", "urandom"} <= names
    assert "sda" not in names and "vda" not in names


def test_signal_death_is_passed_on():
    assert run(["sh", "-c", "kill -KILL $$"]).status == -signal.SIGKILL


def test_sigterm_reaches_the_command_and_leaves_nothing(tmp_path):
    proc = start(
        ["sh", "-c", "trap 'echo got; exit 5' TERM; echo ready; while :; do sleep 0.05; done"],
        state=tmp_path / "state",
        stdout=__import__("subprocess").PIPE,
    )
    # Signal only once the command runs: a signal that comes while the
    # board is still mounting its parts ends the board itself.
    assert proc.stdout.readline() == b"ready\n"
    assert stop(proc) == 5
    assert proc.stdout.read() == b"got\n"
    with open("/proc/self/mounts") as mounts:
        assert str(tmp_path) not in mounts.read()


def test_missing_command_is_127():
    assert run(["no-such-command-here"]).status == 127


def test_plain_touch_tree_keeps_what_is_written():
    # Plain files, so a shorter write leaves the old tail: the mode measures
    # cost, it does not model the driver.
    chx = "/sys/devices/platform/ocp/42010000.padprobe/chx_config"
    r = run(
        ["sh", "-c", f"cat {chx}/chx_ave_data; printf 7 1<>{chx}/chx_mbias; cat {chx}/chx_mbias"],
        board=["--touch-plain"],
    )
    # The files start from the model's power-on values: 2280, MBias 20.
    assert (r.status, r.stdout) == (0, b"2280\n70\n")
    refused = run(["true"], board=["--touch-plain", "--touch-do", "touch 3 500 1000"])
    assert refused.status != 0 and b"--touch-plain" in refused.stderr
