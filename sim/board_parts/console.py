# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The console control device /dev/console-ctrl.

A FUSE daemon (sim/console, built as sim/board-console) serves one file whose
ioctl takes command records; the file is bound at /dev/console-ctrl in the
board's private /dev. The daemon keeps every record it receives and a line
per call in the state folder:

    console/records.bin   129 bytes per record received, in order
    console/calls.txt     "<call> <request> <answer>" per ioctl, answer 0 or -errno
    console/daemon.log    the daemon's own messages

On demand it answers chosen calls, or all of them, with -1 and an errno.
"""
import errno
import os

from board_parts.core import BoardError, is_mountpoint

DEVICE = "/dev/console-ctrl"
# The FUSE device's fixed numbers (a misc device, minor 229).


def errno_value(text):
    """An errno given as a name (EIO) or a number (5)."""
    if text.isdigit() and int(text) > 0:
        return int(text)
    value = getattr(errno, text, None)
    if not isinstance(value, int):
        raise ValueError(f"unknown errno {text}")
    return value


class Part:
    title = "console control device (/dev/console-ctrl)"

    def add_arguments(self, group):
        group.add_argument(
            "--no-console",
            action="store_true",
            help="leave /dev/console-ctrl out (opening it fails)",
        )
        group.add_argument(
            "--console-fail-call",
            metavar="N",
            type=int,
            action="append",
            default=[],
            help="answer the Nth ioctl (from 1) with an error; " "may be given more than once",
        )
        group.add_argument(
            "--console-fail-all", action="store_true", help="answer every ioctl with an error"
        )
        group.add_argument(
            "--console-errno",
            metavar="E",
            default="EIO",
            help="errno of a failed call, a name or a number (default EIO)",
        )

    def enabled(self, args):
        return not args.no_console

    def setup(self, board):
        args = board.args
        daemon = os.path.join(board.build_dir, "sim", "board-console")
        if not os.path.exists(daemon):
            raise BoardError(f"{daemon} is not built")
        try:
            error = errno_value(args.console_errno)
        except ValueError as err:
            raise BoardError(f"--console-errno: {err}")
        # Absolute, to be found in /proc/self/mounts whatever --state was.
        self.mountpoint = os.path.abspath(board.state_path("console", "mnt", ""))
        os.makedirs(self.mountpoint, exist_ok=True)
        argv = [
            daemon,
            "--records",
            board.state_path("console", "records.bin"),
            "--calls",
            board.state_path("console", "calls.txt"),
            "--errno",
            str(error),
        ]
        for call in args.console_fail_call:
            if call < 1:
                raise BoardError(f"--console-fail-call: {call} is not a call number (1, 2, ...)")
            argv += ["--fail-call", str(call)]
        if args.console_fail_all:
            argv.append("--fail-all")
        argv.append(self.mountpoint)
        with open(board.state_path("console", "daemon.log"), "ab") as log:
            board.start_fuse_daemon(
                argv, ready=lambda: is_mountpoint(self.mountpoint, "fuse"), stdout=log, stderr=log
            )
        board.bind(os.path.join(self.mountpoint, "console-ctrl"), DEVICE)

    def teardown(self, board):
        # Unmounting ends the daemon's loop; it then exits by itself.
        board.sh("umount", DEVICE)
        board.sh("umount", self.mountpoint)
