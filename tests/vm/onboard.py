# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""Helpers of the on-board tests: commands and files through the board's shell."""
import base64
import json
import os
import secrets
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


# Files go to the board as base64 lines typed into `base64 -d`, in chunks
# of 20 lines: the line discipline echoes what it takes, and the next chunk
# goes only after the echo of its last line. So at most two chunks (3,080
# bytes) wait in the tty's 4,096-byte buffer, and a UART without flow
# control drops nothing. Typed at the terminal, not as shell commands: a
# shell's line editor (readline, busybox's) is slow on a slow CPU and takes
# lines of limited length.
LINE = 76
LINES_PER_CHUNK = 20


def upload(shell, path, data, timeout=60):
    """Puts the bytes `data` into the file `path` on the board through the
    console of its labgrid ShellDriver `shell`; base64's exit status."""
    console = shell.console
    text = base64.b64encode(data).decode()
    lines = [text[at : at + LINE] for at in range(0, len(text), LINE)]
    marker = secrets.token_hex(6)
    # The marker is quoted in two halves, so that the echo of the command
    # line never matches. When "go" appears, the shell has given the
    # terminal back to canonical mode: what arrives waits in the line
    # discipline until head reads it. head takes exactly the text sent, so
    # nothing is left for the shell to read as commands, even when base64
    # fails.
    split = f"'{marker[:6]}''{marker[6:]}'"
    size = sum(len(line) + 1 for line in lines)
    console.sendline(
        f"echo {split} go; head -c {size} | base64 -d > {shlex.quote(path)}; echo {split} $?"
    )
    console.expect(rf"{marker} go\r?\n", timeout=timeout)
    for at in range(0, len(lines), LINES_PER_CHUNK):
        chunk = lines[at : at + LINES_PER_CHUNK]
        console.write(("\n".join(chunk) + "\n").encode())
        console.expect(rf"(?:[^\n]*\n){{{len(chunk)}}}", timeout=timeout)
    _, _, match, _ = console.expect(rf"{marker} (\d+)\s+{shell.prompt}", timeout=timeout)
    return int(match.group(1))


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
        status = upload(self.shell, path, data)
        assert status == 0, f"{path}: base64 -d on the board: status {status}"

    def read_file(self, path):
        """The bytes of `path` on the board, exactly."""
        return base64.b64decode("".join(self.check(f"base64 {shlex.quote(path)}").split()))

    def tool(self, cmd, stdin=None, timeout=30):
        """Runs `cmd` with its streams apart: (status, stdout bytes, stderr bytes)."""
        redirect = "</dev/null"
        if stdin is not None:
            self.write("/tmp/.stdin", stdin)
            redirect = "</tmp/.stdin"
        # One round trip: the command, then both files in base64, each after
        # a line "." (which base64 never writes), and the command's status.
        status, out = self.run(
            f"{cmd} {redirect} >/tmp/.stdout 2>/tmp/.stderr; status=$?;"
            " echo .; base64 /tmp/.stdout; echo .; base64 /tmp/.stderr; exit $status",
            timeout,
        )
        parts = out.split("\n")
        dots = [at for at, line in enumerate(parts) if line == "."]
        assert len(dots) == 2 and dots[0] == 0, f"{cmd}: output outside its files: {out}"
        stdout, stderr = "".join(parts[1 : dots[1]]), "".join(parts[dots[1] + 1 :])
        return status, base64.b64decode(stdout), base64.b64decode(stderr)

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
