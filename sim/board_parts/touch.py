# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The touch controller: its driver's attribute tree, served by touchsim.

The controller's sysfs folders (common_config, etc_config, chx_config under
ocp/42010000.padprobe/) are a FUSE file system mounted over
/sys/devices/platform, because plain files cannot behave like sysfs
attributes (a value replaced whole by a shorter write, chx_ files that show
the channel last written to ch_num). The state folder's touch/ subfolder
holds writes.log (every write the command made) and control.sock (control
lines while the command runs). See docs/board/touch.md.

--touch-plain lays the same tree out as plain files on a tmpfs instead: no
model, no write log, no daemon. It is there to measure what the tool's own
attribute accesses cost without the FUSE round trips of the model. The
files start with the model's own power-on values (`touchsim --power-on`),
so every variant of the controller starts alike.
"""
import os
import subprocess

from board_parts.core import BoardError

MOUNT = "/sys/devices/platform"
DEVICE = "ocp/42010000.padprobe"


class Part:
    title = "touch controller"

    def add_arguments(self, group):
        group.add_argument(
            "--touch", action="store_true", help="simulate the touch controller's attribute files"
        )
        group.add_argument(
            "--touch-do",
            action="append",
            default=[],
            metavar="LINE",
            help="a control line run before the command starts " "(repeatable; implies --touch)",
        )
        group.add_argument(
            "--touch-script",
            metavar="FILE",
            help="a file of control lines run before the command starts " "(implies --touch)",
        )
        group.add_argument(
            "--touch-seed",
            type=int,
            default=1,
            metavar="N",
            help="seed of the measurement noise (default 1)",
        )
        group.add_argument(
            "--touch-strict",
            action="store_true",
            help="refuse values wider than their register field with EINVAL, "
            "as the kernel module's strict mode does",
        )
        group.add_argument(
            "--touch-read-delay",
            type=int,
            default=0,
            metavar="US",
            help="answer every attribute read US microseconds later, as a slow bus "
            "would (0 to 1000000; default 0; implies --touch)",
        )
        group.add_argument(
            "--touch-plain",
            action="store_true",
            help="the attribute files as plain files on a tmpfs, without "
            "the model (for measuring the tool's own cost; wins over "
            "--touch)",
        )

    def enabled(self, args):
        return bool(
            args.touch
            or args.touch_do
            or args.touch_script
            or args.touch_plain
            or args.touch_strict
            or args.touch_read_delay
        )

    def setup(self, board):
        args = board.args
        if args.touch_plain:
            if args.touch_do or args.touch_script or args.touch_read_delay:
                raise BoardError("--touch-plain has no model to run control lines or delay reads")
            self._lay_out_plain(board)
            return
        folder = os.path.abspath(os.path.dirname(board.state_path("touch", "init")))
        daemon = self._daemon(board)
        lines = []
        if args.touch_script:
            with open(args.touch_script) as script:
                lines += script.read().splitlines()
        lines += args.touch_do
        init = os.path.join(folder, "init")
        with open(init, "w") as out:
            out.write("".join(line + "\n" for line in lines))
        socket_path = os.path.join(folder, "control.sock")
        if os.path.exists(socket_path):
            os.unlink(socket_path)

        board.start_fuse_daemon(
            [
                daemon,
                "--mount",
                MOUNT,
                "--state",
                folder,
                "--init",
                init,
                "--seed",
                str(args.touch_seed),
                "--read-delay-us",
                str(args.touch_read_delay),
            ]
            + (["--strict"] if args.touch_strict else []),
            ready=lambda: os.path.exists(socket_path),
            stdout=subprocess.DEVNULL,
        )

    @staticmethod
    def _daemon(board):
        daemon = os.path.join(board.build_dir, "sim", "touchsim")
        if not os.path.exists(daemon):
            raise OSError(f"{daemon} is not built")
        return daemon

    @classmethod
    def _lay_out_plain(cls, board):
        # "DIR/NAME VALUE" a line, from the model that the daemon runs.
        listing = subprocess.run(
            [cls._daemon(board), "--power-on"], check=True, stdout=subprocess.PIPE, text=True
        ).stdout
        board.mount_tmpfs(MOUNT)
        for line in listing.splitlines():
            path, value = line.split(" ")
            file = os.path.join(MOUNT, DEVICE, path)
            os.makedirs(os.path.dirname(file), exist_ok=True)
            with open(file, "w") as f:
                f.write(value + "\n")

    def teardown(self, board):
        # The daemon unmounts the tree when the board stops it.
        pass
