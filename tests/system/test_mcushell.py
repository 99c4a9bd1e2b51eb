# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""mcushell in the board: the records that reach /dev/console-ctrl, and the statuses."""
import errno

from boardtest import run
from consolelog import calls, record_of, records


def mcushell(tmp_path, args=(), stdin=b"", board=()):
    state = tmp_path / "state"
    result = run(["mcushell", *args], stdin=stdin, board=board, state=state)
    return result, state


def test_one_command_is_one_zero_filled_record(tmp_path):
    r, state = mcushell(tmp_path, ["-c", "ver"])
    assert (r.status, r.stdout, r.stderr) == (0, b"", b"")
    assert records(state) == [record_of(b"ver")]
    assert calls(state) == [(1, 0, 0)]


def test_which_argument_is_the_command(tmp_path):
    cases = [
        (["-x", "-c", "reboot"], b"reboot"),
        (["-c", "a", "-c", "b"], b"a"),
        (["-c", "set led 1"], b"set led 1"),
        (["-c", "x" * 200], b"x" * 127),
    ]
    for n, (args, sent) in enumerate(cases):
        r, state = mcushell(tmp_path / str(n), args)
        assert (r.status, r.stdout) == (0, b""), args
        assert records(state) == [record_of(sent)], args
    assert records(state)[0].length == 127


def test_without_a_command_usage_is_printed_and_an_empty_record_sent(tmp_path):
    for n, args in enumerate([["-cfoo"], ["-c"], ["ver"]]):
        r, state = mcushell(tmp_path / str(n), args)
        assert r.stdout == b'Usage:\nProgramName -c "cmd"\n', args
        assert r.status == 0
        assert records(state) == [record_of(b"")], args


def test_interactive_session(tmp_path):
    r, state = mcushell(tmp_path, stdin=b"ver\n\nexit \nexit\nnot sent\n")
    assert (r.status, r.stdout, r.stderr) == (0, b"\r\n#", b"")
    assert records(state) == [record_of(b"ver"), record_of(b"exit ")]


def test_interactive_long_lines_and_end_of_input(tmp_path):
    line = b"a" * 127 + b"\n" + b"b" * 130 + b"\n" + b"exit"
    r, state = mcushell(tmp_path, stdin=line)
    assert (r.status, r.stdout) == (0, b"\r\n#")
    assert records(state) == [record_of(b"a" * 127), record_of(b"b" * 127), record_of(b"bbb")]

    # No "exit" at all: the end of input ends the loop.
    r, state = mcushell(tmp_path / "eof", stdin=b"one\ntwo\n")
    assert r.status == 0
    assert [rec.command for rec in records(state)] == [b"one", b"two"]


def test_a_refused_command_gives_status_255(tmp_path):
    r, state = mcushell(tmp_path, ["-c", "ver"], board=["--console-fail-all"])
    assert (r.status, r.stdout, r.stderr) == (255, b"", b"")
    assert records(state) == [record_of(b"ver")]
    assert calls(state) == [(1, 0, -errno.EIO)]

    r, state = mcushell(tmp_path / "usage", ["-c"], board=["--console-fail-all"])
    assert r.status == 255
    assert r.stdout == b'Usage:\nProgramName -c "cmd"\n'


def test_interactive_status_is_that_of_the_last_command(tmp_path):
    # A failure in the middle neither ends the loop nor sticks.
    r, state = mcushell(tmp_path, stdin=b"a\nb\nc\nexit\n", board=["--console-fail-call", "2"])
    assert r.status == 0
    assert [rec.command for rec in records(state)] == [b"a", b"b", b"c"]
    assert [answer for _, _, answer in calls(state)] == [0, -errno.EIO, 0]

    r, state = mcushell(
        tmp_path / "last",
        stdin=b"a\nb\n\nexit\n",
        board=["--console-fail-call", "2", "--console-errno", "EBUSY"],
    )
    assert (r.status, r.stdout) == (255, b"\r\n#")
    assert calls(state)[-1] == (2, 0, -errno.EBUSY)


def test_missing_device_ends_before_anything_is_sent(tmp_path):
    for args in (["-c", "ver"], ["-cfoo"], []):
        r, _ = mcushell(tmp_path, args, stdin=b"ver\nexit\n", board=["--no-console"])
        assert r.status == 1, args
        assert r.stdout == b"", args
        assert r.stderr == b"Can't open device: No such file or directory\n", args
