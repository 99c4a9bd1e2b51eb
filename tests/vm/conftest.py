# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""On-board tests: the armhf package on a board's kernel, driven by labgrid.

Run with an environment file: tests/vm/qemu.yaml (the virtual board of
sim/vm, built first with `sim/vm build`) or tests/vm/board.yaml (boards in a
lab; see docs/board.md). A board boots once per session; every test shares
its shell.

Tests that need the virtual board's test controls (scripted faults, the
records a driver received, images put into the OTP) carry the marker
`virtual_board` and skip on any environment whose options do not say
`virtual_board: true`. Every other test observes only what a real board
shows.
"""
import os
import sys
import tempfile

import pytest
from labgrid.resource import SerialPort
from labgrid.strategy import Strategy

HERE = os.path.dirname(os.path.realpath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(REPO, "sim"))

from vm_parts.uart import UartRelay  # noqa: E402

# The virtual board's serial lines besides its console: padprobe's UART and
# the peer board's console. qemu.yaml names their sockets and this
# machine's ends through these variables, which labgrid reads when it loads
# the environment file (after this module).
_RELAYS = {"UART": "uart", "PEER": "peer"}
if "LG_VM_UART_SOCKET" not in os.environ:
    _folder = tempfile.mkdtemp(prefix="board-vm-")
    for _var, _name in _RELAYS.items():
        os.environ[f"LG_VM_{_var}_SOCKET"] = os.path.join(_folder, f"{_name}.sock")
        os.environ[f"LG_VM_{_var}_PORT"] = os.path.join(_folder, _name)


def pytest_configure(config):
    config.addinivalue_line(
        "markers",
        "virtual_board: needs the virtual board's test controls; skipped on other boards",
    )


@pytest.fixture(scope="session")
def virtual(env):
    """True on the virtual board with its test controls (qemu.yaml)."""
    return bool(env.config.get_option("virtual_board", False))


@pytest.fixture(autouse=True)
def _virtual_board_only(request, virtual):
    if request.node.get_closest_marker("virtual_board") and not virtual:
        pytest.skip("needs the virtual board's test controls (not in this environment)")


@pytest.fixture(scope="session", autouse=True)
def _interact_on_the_terminal(env):
    """Manual power (ManualPowerDriver) asks a person on the terminal, not
    on pytest's captured standard input."""

    def interact(message):
        try:
            with open("/dev/tty", "w") as out, open("/dev/tty") as answer:
                out.write(f"\n{message} ")
                out.flush()
                answer.readline()
        except OSError as err:
            raise RuntimeError(f"{message}: no terminal to ask ({err})") from err

    env.interact = interact


@pytest.fixture(scope="session")
def relays(env):
    """The virtual board's serial lines on this machine, up before it boots
    (QEMU plugs a serial device in only while its socket is connected)."""
    started = []
    if env.config.get_option("relays", False):
        for var in _RELAYS:
            relay = UartRelay(os.environ[f"LG_VM_{var}_SOCKET"], os.environ[f"LG_VM_{var}_PORT"])
            relay.start()
            started.append(relay)
    yield
    for relay in started:
        relay.stop()


def bring_up(target):
    """The target's shell: through its strategy (to the installed package
    where the strategy installs one), else by activating its ShellDriver."""
    strategies = [d for d in target.drivers if isinstance(d, Strategy)]
    if strategies:
        strategy = strategies[0]
        states = [s.name for s in type(strategy.status)]
        strategy.transition("installed" if "installed" in states else "shell")
    return target.get_driver("ShellDriver")


@pytest.fixture(scope="session")
def shell(target, relays):
    """The board's shell (ShellDriver), booted once for the session."""
    return bring_up(target)


@pytest.fixture(scope="session")
def host_uart(target, relays):
    """This machine's end of padprobe's UART: the target's serial port
    named `uart`."""
    return target.get_resource(SerialPort, name="uart").port


@pytest.fixture(scope="session")
def board_uart(env):
    """The device node of padprobe's UART on the board."""
    return env.config.get_option("board_uart")


@pytest.fixture(scope="session")
def board(shell):
    from onboard import Board

    return Board(shell)


@pytest.fixture(scope="session")
def peer(env, board):
    """The second board (target `peer`), the NAN subscriber; up after the
    first, which on the virtual board powers both."""
    from onboard import Board

    target = env.get_target("peer")
    if target is None:
        pytest.skip("needs a second board: the environment has no target 'peer'")
    return Board(bring_up(target))
