# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""mcushell when its device goes away under it: the interactive loop holds
/dev/console-ctrl open while the console device is unbound from its driver
(sysfs unbind). The next command fails as a refused one does (status 255),
never with an oops in the driver or a crash of the tool, and the device
works again once bound."""
import time

import pytest

DRIVER = "/sys/bus/platform/drivers/board-console"
CONTROLS = "/sys/kernel/debug/board_console"

pytestmark = pytest.mark.virtual_board


def wait_for(board, cmd, what, timeout=10):
    deadline = time.monotonic() + timeout
    while board.run(cmd)[0] != 0:
        assert time.monotonic() < deadline, what
        time.sleep(0.2)


def test_an_unbind_under_the_interactive_loop(board):
    oopses = board.run("dmesg | grep -c -E 'Oops|BUG|WARNING'")[1]
    board.check(f"echo 1 > {CONTROLS}/reset")
    board.check("rm -f /tmp/unbind.go /tmp/mcushell.*")
    try:
        # The second command waits for /tmp/unbind.go, the device stays open.
        board.check(
            "( ( echo ver; while [ ! -e /tmp/unbind.go ]; do sleep 0.1; done; echo ver; echo exit )"
            " | mcushell > /tmp/mcushell.out 2>&1; echo $? > /tmp/mcushell.status ) &"
        )
        wait_for(board, f"grep -q '^1 0 0$' {CONTROLS}/calls", "the first command never arrived")
        board.check(f"echo board-console > {DRIVER}/unbind && touch /tmp/unbind.go")
        wait_for(board, "test -s /tmp/mcushell.status", "mcushell did not end")
        assert board.check("cat /tmp/mcushell.status") == "255"
        assert "Segmentation" not in board.run("cat /tmp/mcushell.out")[1]
    finally:
        board.run(f"echo board-console > {DRIVER}/bind")
        board.run("rm -f /tmp/unbind.go /tmp/mcushell.*")
    assert board.run("dmesg | grep -c -E 'Oops|BUG|WARNING'")[1] == oopses
    assert board.tool("mcushell -c ver")[0] == 0
    assert board.check(f"cat {CONTROLS}/calls") == "1 0 0"
