# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The simulated console device itself, driven by a small Python client in the board."""
import errno

from boardtest import run
from consolelog import calls, records

# Runs in the board: sends each record given in hex with ioctl request 0 and
# prints the answer of each call (0 or the errno).
CLIENT = r"""
import fcntl, os, sys
fd = os.open("/dev/console-ctrl", os.O_RDWR)
for arg in sys.argv[1:]:
    request, _, data = arg.partition(":")
    try:
        fcntl.ioctl(fd, int(request), bytes.fromhex(data) if data else 0)
        print(0)
    except OSError as err:
        print(err.errno)
"""


def client(tmp_path, requests, board=()):
    state = tmp_path / "state"
    r = run(["/usr/bin/python3", "-c", CLIENT, *requests], board=board, state=state)
    assert r.status == 0, r.stderr
    return [int(line) for line in r.stdout.split()], state


def test_every_record_is_kept_byte_for_byte(tmp_path):
    first = bytes([5]) + b"hello" + bytes(range(1, 124))  # garbage after the text is kept
    second = bytes(129)
    answers, state = client(tmp_path, [f"0:{first.hex()}", f"0:{second.hex()}"])
    assert answers == [0, 0]
    got = records(state)
    assert [bytes([r.length]) + r.text for r in got] == [first, second]
    assert calls(state) == [(1, 0, 0), (2, 0, 0)]


def test_chosen_calls_fail_with_the_chosen_errno(tmp_path):
    rec = (bytes([1]) + b"x" + bytes(127)).hex()
    answers, state = client(
        tmp_path,
        [f"0:{rec}"] * 4,
        board=["--console-fail-call", "2", "--console-fail-call", "4", "--console-errno", "ENOSPC"],
    )
    assert answers == [0, errno.ENOSPC, 0, errno.ENOSPC]
    assert len(records(state)) == 4, "failed calls are recorded too"
    assert [a for _, _, a in calls(state)] == [0, -errno.ENOSPC, 0, -errno.ENOSPC]

    answers, _ = client(
        tmp_path / "all", [f"0:{rec}"] * 2, board=["--console-fail-all", "--console-errno", "7"]
    )
    assert answers == [errno.E2BIG, errno.E2BIG]


def test_unknown_requests_and_bad_addresses_are_refused(tmp_path):
    rec = bytes(129).hex()
    # 0x4d01 is not the device's request (and not one the kernel itself
    # serves for regular files, unlike 1); a null pointer cannot be read.
    answers, state = client(tmp_path, [f"{0x4d01}:{rec}", "0:", f"0:{rec}"])
    assert answers == [errno.ENOTTY, errno.EFAULT, 0]
    assert calls(state) == [(1, 0x4D01, -errno.ENOTTY), (2, 0, -errno.EFAULT), (3, 0, 0)]
    assert len(records(state)) == 1


def test_plain_reads_and_writes(tmp_path):
    script = (
        "import os\n"
        "fd = os.open('/dev/console-ctrl', os.O_RDWR)\n"
        "print(os.read(fd, 16))\n"
        "try:\n    os.write(fd, b'x')\nexcept OSError as e:\n    print(e.errno)\n"
    )
    r = run(["/usr/bin/python3", "-c", script])
    assert (r.status, r.stdout) == (0, f"b''\n{errno.EINVAL}\n".encode())


def test_bad_board_options_stop_the_board(tmp_path):
    r = run(["true"], board=["--console-errno", "ENOTANERRNO"])
    assert r.status == 125
    assert b"--console-errno" in r.stderr
    r = run(["true"], board=["--console-fail-call", "0"])
    assert r.status == 125


def test_the_device_is_gone_after_the_board_ends(tmp_path):
    client(tmp_path, [])
    with open("/proc/self/mounts") as mounts:
        assert "board-console" not in mounts.read()
