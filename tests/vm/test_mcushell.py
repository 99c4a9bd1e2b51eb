# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""mcushell on the board's /dev/console-ctrl: the armhf binary's ioctl
(request 0) reaches the kernel driver; the records it received, one command,
the interactive loop and a refusing device. On any board the statuses and
output; what the driver received is read through its test controls, which
a real board's driver does not have (marker virtual_board)."""
import errno

import pytest

CONTROLS = "/sys/kernel/debug/board_console"
RECORD_SIZE = 129


def record_of(command):
    """The 129-byte record for a command: length byte, zero-filled text."""
    return bytes([len(command)]) + command + bytes(128 - len(command))


def test_commands_reach_the_device(board):
    """On any board: the device takes a command line, alone or in the loop."""
    assert board.tool("mcushell -c ver") == (0, b"", b"")
    # An empty line only shows the prompt again.
    assert board.tool("mcushell", stdin=b"ver\n\nexit\n") == (0, b"\r\n#", b"")


@pytest.fixture
def console(board):
    board.check(f"echo 1 > {CONTROLS}/reset")
    board.check(f"echo 0 > {CONTROLS}/fail_all && echo > {CONTROLS}/fail_calls")
    board.check(f"echo EIO > {CONTROLS}/errno")

    class Console:
        def run(self, args="", stdin=None):
            return board.tool(f"mcushell {args}", stdin=stdin)

        def records(self):
            data = board.read_file(f"{CONTROLS}/records")
            assert len(data) % RECORD_SIZE == 0, f"{len(data)} bytes"
            return [data[i : i + RECORD_SIZE] for i in range(0, len(data), RECORD_SIZE)]

        def calls(self):
            lines = board.check(f"cat {CONTROLS}/calls").splitlines()
            return [tuple(int(f) for f in line.split()) for line in lines if line[:1] != "#"]

    return Console()


@pytest.mark.virtual_board
def test_one_command_reaches_the_driver_as_one_record(console):
    assert console.run("-c ver") == (0, b"", b"")
    assert console.run("-c 'set led 1'") == (0, b"", b"")
    assert console.run("-c " + "x" * 200) == (0, b"", b"")
    assert console.records() == [record_of(b"ver"), record_of(b"set led 1"), record_of(b"x" * 127)]
    assert console.calls() == [(1, 0, 0), (2, 0, 0), (3, 0, 0)]


@pytest.mark.virtual_board
def test_interactive_loop(console):
    status, out, err = console.run(stdin=b"ver\n\nexit \n" + b"b" * 130 + b"\nexit\nnot sent\n")
    assert (status, out, err) == (0, b"\r\n#", b"")
    assert console.records() == [
        record_of(b"ver"),
        record_of(b"exit "),
        record_of(b"b" * 127),
        record_of(b"bbb"),
    ]


@pytest.mark.virtual_board
def test_a_refusing_device(console, board):
    board.check(f"echo 1 > {CONTROLS}/fail_all")
    assert console.run("-c ver") == (255, b"", b"")
    board.check(f"echo 0 > {CONTROLS}/fail_all")
    # In the loop a failure neither ends it nor sticks; the status is the
    # last command's.
    board.check(f"echo EBUSY > {CONTROLS}/errno && echo 3 > {CONTROLS}/fail_calls")
    assert console.run(stdin=b"a\nb\nexit\n")[0] == 255
    assert console.run(stdin=b"c\nexit\n")[0] == 0
    assert console.records() == [record_of(c) for c in (b"ver", b"a", b"b", b"c")]
    assert console.calls() == [(1, 0, -errno.EIO), (2, 0, 0), (3, 0, -errno.EBUSY), (4, 0, 0)]
