# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""padprobe in the simulated board, over a pty, for tests, benchmarks and
the demo.

The board runs `padprobe <pty slave>` with the simulated touch controller;
this side keeps the pty master as the host's end of the serial line. The
tool's standard output goes to a second pty (raw, so bytes pass unchanged)
and is collected as it comes, so its log lines can be read while it runs.
"""
import os
import signal
import socket
import subprocess
import threading
import time
import tty

from .link import FdTransport, Link

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.realpath(__file__))))
BOARD = os.path.join(REPO, "sim", "board")


class Write:
    """One line of the controller's write log."""

    def __init__(self, line):
        stamp, self.path, ch, text, self.result = line.rstrip("\n").split("\t")
        self.time = float(stamp)
        self.name = self.path.split("/")[1]
        self.ch = None if ch == "-" else int(ch)
        self.text = text.encode().decode("unicode_escape")

    def __repr__(self):
        where = "" if self.ch is None else f"@{self.ch}"
        return f"{self.name}{where}={self.text!r}" + (
            "" if self.result == "ok" else f"!{self.result}"
        )


def respawning(args, delay):
    """`args` run in a loop by a shell: again `delay` seconds after each
    end. SIGTERM (the board's stop) ends the tool and the loop."""
    loop = (
        'trap \'kill "$child" 2>/dev/null; wait "$child"; exit 0\' TERM; '
        'while :; do "$@" & child=$!; wait "$child"; '
        f'echo "respawn: $1 ended ($?); again in {delay:g} s" >&2; '
        f'sleep {delay:g} & child=$!; wait "$child"; done'
    )
    return ["/bin/sh", "-c", loop, "respawn", *args]


def descendant_pid(root, name):
    """The id of a process called `name` among `root` and its descendants;
    None when there is none."""
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        children.setdefault(int(fields[1]), []).append(int(entry))
    todo = [root]
    while todo:
        pid = todo.pop()
        try:
            with open(f"/proc/{pid}/comm") as f:
                if f.read().strip() == name:
                    return pid
        except OSError:
            pass
        todo += children.get(pid, [])
    return None


class _Collector(threading.Thread):
    def __init__(self, fd, keep=True):
        super().__init__(daemon=True)
        self.fd = fd
        self.keep = keep  # False: what was taken is dropped
        self.data = bytearray()
        self.taken = 0
        self.lock = threading.Lock()

    def run(self):
        while True:
            try:
                chunk = os.read(self.fd, 65536)
            except OSError:
                return
            if not chunk:
                return
            with self.lock:
                self.data += chunk

    def text(self):
        with self.lock:
            return bytes(self.data)

    def take(self):
        """What came since the last take."""
        with self.lock:
            new = bytes(self.data[self.taken :])
            if self.keep:
                self.taken = len(self.data)
            else:
                self.data.clear()
            return new


class SimulatedBoard:
    def __init__(
        self,
        state,
        board_options=(),
        build=None,
        tool_args=None,
        env=None,
        uart_link=None,
        respawn_after=None,
        keep_stdout=True,
    ):
        self.state = os.path.abspath(str(state))
        self.build = build or os.environ.get("BOARD_BUILD_DIR", os.path.join(REPO, "build"))
        self.board_options = list(board_options)
        self.tool_args = tool_args
        self.env = env
        # A symbolic link to the pty, given to the tool instead of its name
        # (as a /dev/serial/by-id/ link would be).
        self.uart_link = uart_link
        # Seconds after which padprobe is started again when it ends, as a
        # board's init would (None: its end ends the board).
        self.respawn_after = respawn_after
        # False for a long run that reads the tool's output with
        # take_stdout() only: what was taken is not kept.
        self.keep_stdout = keep_stdout
        self.proc = None
        self.status = None

    @property
    def touch_dir(self):
        return os.path.join(self.state, "touch")

    def start(self, wait_greeting=True):
        os.makedirs(self.state, exist_ok=True)
        self.uart_master, self.uart_slave = os.openpty()
        self.uart_path = os.ttyname(self.uart_slave)
        if self.uart_link is not None:
            if os.path.lexists(self.uart_link):
                os.unlink(self.uart_link)
            os.symlink(self.uart_path, self.uart_link)
            self.uart_path = str(self.uart_link)
        out_master, out_slave = os.openpty()
        tty.setraw(out_slave)
        args = self.tool_args if self.tool_args is not None else ["padprobe", self.uart_path]
        if self.respawn_after is not None:
            args = respawning(args, self.respawn_after)
        cmd = [
            BOARD,
            "run",
            "--build",
            self.build,
            "--state",
            self.state,
            "--touch",
            *self.board_options,
            "--",
            *args,
        ]
        self.stderr_file = open(os.path.join(self.state, "stderr"), "w+b")
        self.proc = subprocess.Popen(
            cmd, stdin=subprocess.DEVNULL, stdout=out_slave, stderr=self.stderr_file, env=self.env
        )
        os.close(out_slave)
        self.out = _Collector(out_master, self.keep_stdout)
        self.out.start()
        self.link = Link(FdTransport(self.uart_master))
        if wait_greeting:
            self.link.wait_greeting()
        return self

    # The tool's output.
    def stdout(self):
        return self.out.text()

    def take_stdout(self):
        """The tool's output since the last take."""
        return self.out.take()

    def stderr(self):
        self.stderr_file.flush()
        with open(self.stderr_file.name, "rb") as f:
            return f.read()

    def wait_stdout(self, text, timeout=10.0, start=0):
        """Wait until the tool's output (from byte `start`) holds `text`."""
        if isinstance(text, str):
            text = text.encode()
        deadline = time.monotonic() + timeout
        while text not in self.stdout()[start:]:
            if time.monotonic() > deadline or self.proc.poll() is not None:
                return text in self.stdout()[start:]
            time.sleep(0.01)
        return True

    # The simulated controller.
    def control(self, line, timeout=10.0):
        """Run one control line; returns the reply without its newline."""
        path = os.path.join(self.touch_dir, "control.sock")
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as sock:
            sock.settimeout(timeout)
            sock.connect(path)
            sock.sendall(line.encode() + b"\n")
            reply = b""
            while not reply.endswith(b"\n"):
                chunk = sock.recv(4096)
                if not chunk:
                    break
                reply += chunk
        reply = reply.decode().rstrip("\n")
        if reply.startswith("error"):
            raise ValueError(f"{line}: {reply}")
        return reply

    def get(self, key):
        return int(self.control(f"get {key}"))

    def writes(self):
        path = os.path.join(self.touch_dir, "writes.log")
        with open(path) as log:
            return [Write(line) for line in log if line.endswith("\n")]

    def clear_writes_mark(self):
        """A mark for writes_since(): the number of writes so far."""
        return len(self.writes())

    def writes_since(self, mark):
        return self.writes()[mark:]

    def padprobe_pid(self):
        """The tool's process id (a descendant of the board)."""
        return self.descendant_pid("padprobe")

    def descendant_pid(self, name):
        """The id of the board's descendant process called `name`."""
        return descendant_pid(self.proc.pid, name)

    def wait(self, timeout=30.0):
        self.status = self.proc.wait(timeout=timeout)
        self._close()
        return self.status

    def stop(self, timeout=30.0):
        """End the tool (SIGTERM through the board) and return its status."""
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
        return self.wait(timeout)

    def _close(self):
        for fd in ("uart_master", "uart_slave"):
            if getattr(self, fd, None) is not None:
                os.close(getattr(self, fd))
                setattr(self, fd, None)
        self.out.join(timeout=5)
        self.stderr_file.close()

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        if self.proc is not None and self.proc.poll() is None:
            self.stop()
        elif self.status is None and self.proc is not None:
            self.wait()
