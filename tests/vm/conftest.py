# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""On-board tests: the armhf package on a board's kernel, driven by labgrid.

Run with an environment file: tests/vm/qemu.yaml (the virtual board of
sim/vm, built first with `sim/vm build`) or a copy of tests/vm/board.yaml for
a real board. The board boots once per session; every test shares its shell.
"""
import os
import sys
import tempfile

import pytest

HERE = os.path.dirname(os.path.realpath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(REPO, "sim"))

from vm_parts.uart import UartRelay  # noqa: E402

# The virtual board's UART socket: qemu.yaml names it through this variable,
# which labgrid reads when it loads the environment file (after this module).
if "LG_VM_UART_SOCKET" not in os.environ:
    os.environ["LG_VM_UART_SOCKET"] = os.path.join(
        tempfile.mkdtemp(prefix="board-vm-"), "uart.sock"
    )


@pytest.fixture(scope="session")
def host_uart(env):
    """This machine's end of padprobe's UART, up before the board boots."""
    port = env.config.get_option("host_uart")
    if port != "relay":
        yield port
        return
    relay = UartRelay(os.environ["LG_VM_UART_SOCKET"])
    relay.start()
    yield relay.port
    relay.stop()


@pytest.fixture(scope="session")
def board_uart(env):
    """The device node of padprobe's UART on the board."""
    return env.config.get_option("board_uart")


@pytest.fixture(scope="session")
def shell(target, strategy, host_uart):
    """The board's shell (ShellDriver), booted once for the session."""
    strategy.transition("shell")
    return target.get_driver("ShellDriver")


@pytest.fixture(scope="session")
def board(shell):
    from onboard import Board

    return Board(shell)
