# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The board's frame: namespaces, the private /dev, parts, the command.

`run` re-executes the board inside a new mount namespace (and, when asked,
inside an existing network namespace first: `ip netns exec` mounts a fresh
/sys of its own, so the network namespace has to come first). Inside, it
builds a private /dev, lets every enabled part mount itself, runs the
command with the build's bin/ first on PATH, forwards SIGINT and SIGTERM to
it, tears the parts down and ends the way the command ended.
"""
import argparse
import os
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time

from board_parts import load_parts

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.realpath(__file__))))
BOARD = os.path.join(REPO, "sim", "board")
PYTHON = "/usr/bin/python3"
INSIDE = "--inside-namespace"

# Device nodes the tools, their shells and their sanitizer runtimes use.
DEV_NODES = ["null", "zero", "full", "tty", "random", "urandom"]
# The FUSE device: parts that serve files through FUSE need it to mount.
FUSE_DEVICE = ("/dev/fuse", 10, 229)


class BoardError(Exception):
    pass


def log(fmt, *args):
    sys.stderr.write("board: " + (fmt % args if args else fmt) + "\n")


class Board:
    """What a part sees of the board while it sets itself up."""

    def __init__(self, args):
        self.args = args
        self.state_dir = args.state
        self.build_dir = args.build
        self.bin_dir = os.path.join(args.build, "bin")
        self.lib_dir = os.path.join(args.build, "lib")
        self._daemons = []
        self._tmpfs = set()
        self.env = dict(os.environ)

    def state_path(self, *names):
        path = os.path.join(self.state_dir, *names)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        return path

    def sh(self, *argv):
        subprocess.run(argv, check=True, stdout=subprocess.DEVNULL)

    def mount_tmpfs(self, path, mode="755"):
        """Hide what lies at `path` (which must exist) behind an empty tmpfs."""
        if path in self._tmpfs:
            return
        self.sh("mount", "-t", "tmpfs", "-o", f"mode={mode}", "board", path)
        self._tmpfs.add(path)

    def bind(self, source, target):
        if os.path.isdir(source):
            os.makedirs(target, exist_ok=True)
        else:
            os.makedirs(os.path.dirname(target), exist_ok=True)
            if not os.path.exists(target):
                open(target, "a").close()
        self.sh("mount", "--bind", source, target)

    def start_daemon(self, argv, ready=None, timeout=10.0, **popen):
        """Start a helper process that lives as long as the command.

        `ready` is a function that returns True once the daemon serves
        (for example once its mount point is a FUSE mount).
        """
        proc = subprocess.Popen(argv, stdin=subprocess.DEVNULL, **popen)
        self._daemons.append(proc)
        deadline = time.monotonic() + timeout
        while ready is not None and not ready():
            if proc.poll() is not None:
                raise BoardError(f"{argv[0]} ended with status {proc.returncode} while starting")
            if time.monotonic() > deadline:
                raise BoardError(f"{argv[0]} did not become ready in {timeout:.0f} s")
            time.sleep(0.002)
        return proc

    def start_fuse_daemon(self, argv, ready, timeout=10.0, **popen):
        """Start a daemon that mounts a FUSE file system. The private /dev
        has no /dev/fuse; the daemon needs it only to mount, so it exists
        just while the daemon starts and the command never sees it."""
        path, major, minor = FUSE_DEVICE
        os.mknod(path, stat.S_IFCHR | 0o600, os.makedev(major, minor))
        try:
            return self.start_daemon(argv, ready=ready, timeout=timeout, **popen)
        finally:
            os.unlink(path)

    def stop_daemons(self):
        for proc in reversed(self._daemons):
            if proc.poll() is None:
                proc.terminate()
        for proc in reversed(self._daemons):
            try:
                proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
        self._daemons.clear()


def is_mountpoint(path, fstype=None):
    with open("/proc/self/mounts") as mounts:
        for line in mounts:
            fields = line.split()
            if fields[1] == path and (fstype is None or fields[2].startswith(fstype)):
                return True
    return False


def make_private_dev(board):
    """Replace /dev by a tmpfs that holds only what a tool may need, so that
    parts can add their own device files (/dev/console-ctrl) without
    touching the machine's /dev."""
    stage = os.path.join(board.state_dir, "dev")
    os.makedirs(stage, exist_ok=True)
    board.sh("mount", "-t", "tmpfs", "-o", "mode=755", "board-dev", stage)
    for node in DEV_NODES:
        if os.path.exists(f"/dev/{node}"):
            board.bind(f"/dev/{node}", os.path.join(stage, node))
    board.bind("/dev/pts", os.path.join(stage, "pts"))
    # Binding /dev/ptmx itself fails; the pts instance has its own.
    os.symlink("pts/ptmx", os.path.join(stage, "ptmx"))
    os.makedirs(os.path.join(stage, "shm"))
    board.sh("mount", "-t", "tmpfs", "-o", "mode=1777", "board-shm", os.path.join(stage, "shm"))
    os.symlink("/proc/self/fd", os.path.join(stage, "fd"))
    for number, name in enumerate(["stdin", "stdout", "stderr"]):
        os.symlink(f"/proc/self/fd/{number}", os.path.join(stage, name))
    board.sh("mount", "--move", stage, "/dev")


def parse_args(argv):
    parser = argparse.ArgumentParser(prog="sim/board", description=__doc__.splitlines()[0])
    sub = parser.add_subparsers(dest="action", required=True)
    run = sub.add_parser(
        "run",
        help="run a command in the board",
        usage="sim/board run [options] -- command [args...]",
    )
    run.add_argument(
        "--build",
        default=os.path.join(REPO, "build"),
        help="build tree whose bin/ comes first on PATH (default: build)",
    )
    run.add_argument(
        "--state",
        help="folder for the board's files, kept afterwards "
        "(default: a temporary folder removed afterwards)",
    )
    run.add_argument("--netns", help="enter this network namespace first")
    run.add_argument(INSIDE, action="store_true", help=argparse.SUPPRESS)
    parts = load_parts()
    for part in parts:
        group = run.add_argument_group(part.title)
        part.add_arguments(group)
    run.add_argument("command", nargs=argparse.REMAINDER)
    # A part may add subcommands of its own (`sim/board net up NAME`); each
    # sets `handler`, which main() calls with the parsed arguments.
    for part in parts:
        if hasattr(part, "add_commands"):
            part.add_commands(sub)
    args = parser.parse_args(argv)
    if args.action != "run":
        return args, parts
    if args.command and args.command[0] == "--":
        args.command = args.command[1:]
    if not args.command:
        parser.error("no command given (sim/board run -- command ...)")
    args.build = os.path.abspath(args.build)
    # The inner board is started with the same working folder, so an absolute
    # path here is the same folder there, whichever --state argparse keeps.
    if args.state is not None:
        args.state = os.path.abspath(args.state)
    return args, parts


def enter_namespaces(argv, args):
    """Run this program again inside the namespaces and end as it ends.

    `argv` is the board's own argument list, starting with "run"."""
    state_given = args.state is not None
    state = os.path.abspath(args.state) if state_given else tempfile.mkdtemp(prefix="board-")
    os.makedirs(state, exist_ok=True)
    inner = [PYTHON, BOARD, "run", INSIDE, "--state", state] + argv[1:]
    wrapper = ["unshare", "--mount", "--propagation", "private"]
    if args.netns:
        wrapper = ["ip", "netns", "exec", args.netns] + wrapper
    status = run_forwarding_signals(lambda: subprocess.Popen(wrapper + inner))
    if not state_given:
        shutil.rmtree(state, ignore_errors=True)
    return end_like(status)


def run_forwarding_signals(start):
    """Start a process with `start()` and wait for it, passing SIGINT,
    SIGTERM and SIGHUP on to it.

    The handlers go in before the process starts: the child may run (and
    its caller see it run) before Popen returns here, and a signal in that
    gap must reach the child, not end the board. One that comes before the
    child exists is passed on as soon as it does."""
    proc = None
    pending = []

    def forward(signum, _frame):
        if proc is None:
            pending.append(signum)
        elif proc.poll() is None:
            proc.send_signal(signum)

    for signum in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(signum, forward)
    proc = start()
    for signum in pending:
        proc.send_signal(signum)
    while True:
        try:
            return proc.wait()
        except InterruptedError:
            continue


def end_like(status):
    """Exit with `status` (a Popen returncode): a signal death is passed on
    as the same signal, so the caller sees what the command saw."""
    if status < 0:
        if -status not in (signal.SIGKILL, signal.SIGSTOP):
            signal.signal(-status, signal.SIG_DFL)
        os.kill(os.getpid(), -status)
    return status


def run_inside(args, parts):
    board = Board(args)
    enabled = [part for part in parts if part.enabled(args)]
    started = []
    status = 1
    try:
        make_private_dev(board)
        for part in enabled:
            part.setup(board)
            started.append(part)
        env = board.env
        env["PATH"] = board.bin_dir + os.pathsep + env.get("PATH", "")
        try:
            status = run_forwarding_signals(lambda: subprocess.Popen(args.command, env=env))
        except OSError as err:
            log("cannot run %s: %s", args.command[0], err.strerror)
            return 127
    except (BoardError, subprocess.CalledProcessError, OSError) as err:
        log("%s", err)
        return 125
    finally:
        for part in reversed(started):
            try:
                part.teardown(board)
            except Exception as err:  # teardown goes on with the other parts
                log("teardown of %s: %s", part.title, err)
        board.stop_daemons()
    return end_like(status)


def main(argv):
    args, parts = parse_args(argv or ["--help"])
    if os.geteuid() != 0:
        log("needs root for its namespaces and mounts (try sudo)")
        return 125
    if args.action != "run":
        try:
            return args.handler(args)
        except (BoardError, subprocess.CalledProcessError, OSError) as err:
            log("%s", err)
            return 125
    if getattr(args, "inside_namespace"):
        return run_inside(args, parts)
    return enter_namespaces(argv, args)
