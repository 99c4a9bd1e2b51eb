# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""Helpers of the on-board tests: commands and files through the board's shell."""
import base64
import json
import os
import shlex
import subprocess

HERE = os.path.dirname(os.path.realpath(__file__))
PADHOST = os.path.join(os.path.dirname(os.path.dirname(HERE)), "tools", "padhost")
TOUCH = "/sys/devices/platform/ocp/42010000.padprobe"


def padhost(port, *steps, timeout=120):
    """Runs the host tool padhost on this machine's end of the UART."""
    proc = subprocess.run(
        ["/usr/bin/python3", PADHOST, "--port", port, *steps],
        stdout=subprocess.PIPE,
        stderr=subprocess.STDOUT,
        text=True,
        timeout=timeout,
    )
    assert proc.returncode == 0, proc.stdout
    return proc.stdout


def answers(out):
    """The JSON answers in padhost's output, in order."""
    found = []
    decoder = json.JSONDecoder()
    for part in ("\n" + out).split("\n> ")[1:]:
        text = part.split("\n", 1)[1] if "\n" in part else ""
        start = text.find("{")
        if start >= 0:
            found.append(decoder.raw_decode(text[start:])[0])
    return found


def sysfs(board, name, ch=None):
    """A touch controller attribute read back on the board (of channel `ch`)."""
    if ch is not None:
        board.check(f"echo {ch} > {TOUCH}/chx_config/ch_num")
    folder = "chx_config" if name.startswith("chx_") else "*_config"
    return int(board.check(f"cat {TOUCH}/{folder}/{name}"))


# Keep each line sent to the board's shell below the 1024 bytes that busybox
# sh's line editing takes.
CHUNK = 640


class Board:
    """The board as its shell (labgrid's ShellDriver) shows it."""

    def __init__(self, shell):
        self.shell = shell

    def run(self, cmd, timeout=30):
        """(exit status, output): standard error arrives merged into the output."""
        out, _, status = self.shell.run(cmd, timeout=timeout)
        return status, "\n".join(out)

    def check(self, cmd, timeout=30):
        status, out = self.run(cmd, timeout)
        assert status == 0, f"{cmd}: status {status}: {out}"
        return out

    def exists(self, path):
        return self.run(f"test -e {shlex.quote(path)}")[0] == 0

    def write(self, path, data):
        """Puts `data` (bytes or text) into the file `path` on the board."""
        if isinstance(data, str):
            data = data.encode()
        text = base64.b64encode(data).decode()
        q = shlex.quote(path)
        self.check(f": > {q}.b64")
        for at in range(0, len(text), CHUNK):
            self.check(f"echo {text[at:at + CHUNK]} >> {q}.b64")
        self.check(f"base64 -d {q}.b64 > {q} && rm {q}.b64")

    def read_file(self, path):
        """The bytes of `path` on the board, exactly."""
        return base64.b64decode("".join(self.check(f"base64 {shlex.quote(path)}").split()))

    def tool(self, cmd, stdin=None, timeout=30):
        """Runs `cmd` with its streams apart: (status, stdout bytes, stderr bytes)."""
        redirect = "</dev/null"
        if stdin is not None:
            self.write("/tmp/.stdin", stdin)
            redirect = "</tmp/.stdin"
        status, out = self.run(f"{cmd} {redirect} >/tmp/.stdout 2>/tmp/.stderr", timeout)
        assert out == "", f"{cmd}: output outside its files: {out}"
        return status, self.read_file("/tmp/.stdout"), self.read_file("/tmp/.stderr")

    def control(self, path, text):
        """Writes a test control (debugfs) on the board."""
        self.check(f"printf '%s\\n' {shlex.quote(text)} > {shlex.quote(path)}")

    def read_bytes(self, path, offset, count):
        """`count` bytes of `path` from `offset`, read through the kernel."""
        out = self.check(
            f"dd if={shlex.quote(path)} bs=1 skip={offset} count={count} 2>/dev/null"
            " | od -An -v -tx1"
        )
        return bytes.fromhex("".join(out.split()))
