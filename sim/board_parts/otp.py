# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The OTP memory: the raw and the mapped nvmem view.

On the board the kernel offers the OTP as two files,
/sys/bus/nvmem/devices/otp_raw0/nvmem and .../otp_map0/nvmem. Here each view
is an image file bound at that path, on a tmpfs laid over /sys/bus (real
sysfs refuses mkdir, and this kernel has no nvmem class of its own). The
images live in the board's state folder and are kept between runs that
share it, so what one run writes the next one reads; or they are files of
the caller's own (--otp-raw, --otp-map), which then receive the writes.
"""
import os

from board_parts.core import BoardError

VIEWS = {
    # name: (path on the board, size of a fresh image in bytes)
    "raw": ("/sys/bus/nvmem/devices/otp_raw0/nvmem", 4096),
    "map": ("/sys/bus/nvmem/devices/otp_map0/nvmem", 2048),
}


class Part:
    title = "OTP memory (nvmem views)"

    def add_arguments(self, group):
        group.add_argument(
            "--no-otp", action="store_true", help="leave both nvmem views out (opening them fails)"
        )
        group.add_argument(
            "--otp-raw",
            metavar="FILE",
            help="image file of the raw view (default: a zeroed "
            f"{VIEWS['raw'][1]}-byte image in the state folder)",
        )
        group.add_argument(
            "--otp-map",
            metavar="FILE",
            help="image file of the mapped view (default: a zeroed "
            f"{VIEWS['map'][1]}-byte image in the state folder)",
        )
        group.add_argument(
            "--otp-fail-writes",
            choices=["raw", "map", "both"],
            help="make writes to a view fail with ENOSPC (it then reads as zeros)",
        )

    def enabled(self, args):
        return not args.no_otp

    def setup(self, board):
        args = board.args
        failing = {"raw", "map"} if args.otp_fail_writes == "both" else {args.otp_fail_writes}
        board.mount_tmpfs("/sys/bus")
        for name, (path, size) in VIEWS.items():
            if name in failing:
                # /dev/full takes no byte: every pwrite fails with ENOSPC.
                board.bind("/dev/full", path)
                continue
            board.bind(self._image(board, name, size), path)

    def teardown(self, board):
        # The views are mounts of the board's own namespace; they go with it.
        pass

    @staticmethod
    def _image(board, name, size):
        given = getattr(board.args, f"otp_{name}")
        if given is not None:
            if not os.path.isfile(given):
                raise BoardError(f"--otp-{name}: {given} is not a file")
            return os.path.abspath(given)
        image = os.path.abspath(board.state_path("otp", f"{name}.bin"))
        if not os.path.exists(image):
            # Unprogrammed OTP reads as zeros.
            with open(image, "wb") as f:
                f.truncate(size)
        return image
