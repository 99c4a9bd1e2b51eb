# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""Helpers for black-box tests: run the real tools inside the simulated board."""
import dataclasses
import os
import signal
import subprocess

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.realpath(__file__))))
BOARD = os.path.join(REPO, "sim", "board")
BUILD = os.environ.get("BOARD_BUILD_DIR", os.path.join(REPO, "build"))
BIN = os.path.join(BUILD, "bin")


@dataclasses.dataclass
class Result:
    status: int  # exit status, or -N after signal N
    stdout: bytes
    stderr: bytes


def board_argv(argv, board=(), state=None):
    """The command line that runs `argv` in a board with the given part options."""
    cmd = [BOARD, "run", "--build", BUILD]
    if state is not None:
        cmd += ["--state", str(state)]
    return cmd + list(board) + ["--"] + [str(a) for a in argv]


def run(argv, stdin=b"", board=(), state=None, timeout=30):
    """Run `argv` in the board; return its status and both outputs."""
    proc = subprocess.run(
        board_argv(argv, board, state), input=stdin, capture_output=True, timeout=timeout
    )
    return Result(proc.returncode, proc.stdout, proc.stderr)


def start(argv, board=(), state=None, **popen):
    """Start `argv` in the board and return the Popen; SIGINT and SIGTERM
    sent to it reach the tool."""
    return subprocess.Popen(board_argv(argv, board, state), **popen)


def stop(proc, sig=signal.SIGTERM, timeout=15):
    """Signal a process from start() and wait for its status."""
    if proc.poll() is None:
        proc.send_signal(sig)
    return proc.wait(timeout=timeout)
