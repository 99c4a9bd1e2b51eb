# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The board itself: the kernel, the modules and the installed package."""


def test_board_runs_the_armhf_package_on_an_arm_kernel(board, board_uart):
    assert board.check("uname -m") == "armv7l"
    for tool in ("otpctl", "mcushell", "padprobe", "nanpeer"):
        assert board.check(f"command -v {tool}") == f"/usr/bin/{tool}"
    assert board.run(f"test -c {board_uart}")[0] == 0, f"no {board_uart} on the board"
