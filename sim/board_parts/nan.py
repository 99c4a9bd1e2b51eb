# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The board's NAN radio: the simulated libsdcore, its medium, and nan0.

On the board nanpeer talks to the radio through libsdcore and sets up IPv6
on the NAN data interface nan0. Here two network namespaces joined by a veth
pair, whose two ends are both named nan0, stand for two boards in radio
range (`sim/board net up NAME`), and the simulated libsdcore carries the NAN
protocol between the boards' processes over Unix datagram sockets in a
shared medium folder. A board run with --nan-medium finds that library first
on the loader path, the iw stand-in first on PATH, and the simulator's
settings in its environment:

    sim/board net up demo
    sim/board run --netns demo-a --nan-medium /tmp/medium -- nanpeer -r publish ...
    sim/board run --netns demo-b --nan-medium /tmp/medium -- nanpeer -r subscribe ...
    sim/board net down demo
"""
import os
import re
import subprocess
import sys

from board_parts.core import REPO, BoardError, log

IW_DIR = os.path.join(REPO, "sim", "nan", "bin")
DEFAULT_MACS = ("02:00:00:00:00:01", "02:00:00:00:00:02")
NAME = re.compile(r"^[A-Za-z0-9_.-]{1,40}$")
MAC = re.compile(r"^([0-9a-f]{2}:){5}[0-9a-f]{2}$")


def namespaces(name):
    """The two namespaces of network `name`: one per board."""
    return (f"{name}-a", f"{name}-b")


def _ip(*argv):
    proc = subprocess.run(
        ["ip", *argv], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True
    )
    if proc.returncode != 0:
        raise BoardError(f"ip {' '.join(argv)}: {proc.stderr.strip()}")


def _set_sysctl(netns, key, value):
    # /proc/sys/net belongs to the network namespace of whoever opens it.
    path = "/proc/sys/" + key.replace(".", "/")
    proc = subprocess.run(
        ["nsenter", f"--net=/run/netns/{netns}", "sh", "-c", f"echo {value} > {path}"],
        stderr=subprocess.PIPE,
        text=True,
    )
    if proc.returncode != 0:
        raise BoardError(f"sysctl {key} in {netns}: {proc.stderr.strip()}")


def net_up(name, macs=DEFAULT_MACS):
    """Two namespaces, a veth pair between them, nan0 at both ends."""
    if not NAME.match(name):
        raise BoardError(f"network name '{name}': use 1 to 40 letters, digits, '.', '_' or '-'")
    for mac in macs:
        if not MAC.match(mac):
            raise BoardError(f"address '{mac}': write six two-digit lower-case hexadecimal groups")
    ns = namespaces(name)
    for netns in ns:
        if os.path.exists(f"/run/netns/{netns}"):
            raise BoardError(f"network namespace {netns} exists already")
    try:
        for netns in ns:
            _ip("netns", "add", netns)
        _ip(
            "link",
            "add",
            "nan0",
            "netns",
            ns[0],
            "address",
            macs[0],
            "type",
            "veth",
            "peer",
            "nan0",
            "netns",
            ns[1],
            "address",
            macs[1],
        )
        for netns in ns:
            # No kernel-made link-local address (nanpeer adds its own, and
            # the kernel's would make that fail), and no duplicate address
            # detection (it holds new addresses back and ping6 loses packets).
            _ip("-n", netns, "link", "set", "nan0", "addrgenmode", "none")
            _set_sysctl(netns, "net.ipv6.conf.nan0.accept_dad", 0)
            _ip("-n", netns, "link", "set", "lo", "up")
            _ip("-n", netns, "link", "set", "nan0", "up")
    except BoardError:
        net_down(name)
        raise
    return ns


def net_down(name):
    """Removes both namespaces (the veth pair goes with them)."""
    if not NAME.match(name):
        raise BoardError(f"network name '{name}': use 1 to 40 letters, digits, '.', '_' or '-'")
    for netns in namespaces(name):
        if os.path.exists(f"/run/netns/{netns}"):
            _ip("netns", "delete", netns)


def _net_command(args):
    if args.net_action == "up":
        for netns in net_up(args.name, (args.mac_a, args.mac_b)):
            print(netns)
    else:
        net_down(args.name)
    return 0


class Part:
    title = "NAN radio (nanpeer)"

    def add_arguments(self, group):
        group.add_argument(
            "--nan-medium",
            metavar="DIR",
            help="folder of the NAN medium that the boards share (enables the NAN radio; "
            "run the board in a namespace of `sim/board net up`)",
        )
        group.add_argument(
            "--nan-trace",
            metavar="FILE",
            help="append a line per library call, event and frame to FILE",
        )
        group.add_argument(
            "--nan-fault",
            metavar="ITEM",
            action="append",
            default=[],
            help="inject a fault: drop:EVENT[@n], delay:EVENT[@n]=MS, "
            "reject:CALL[@n], vanish:EVENT|CALL[@n] (repeatable)",
        )
        group.add_argument(
            "--nan-announce-ms",
            metavar="MS",
            type=int,
            help="a publisher's announcement interval (default 1000)",
        )

    def add_commands(self, subparsers):
        net = subparsers.add_parser("net", help="the two boards' network: up or down")
        actions = net.add_subparsers(dest="net_action", required=True)
        up = actions.add_parser("up", help="create namespaces NAME-a and NAME-b joined at nan0")
        up.add_argument("name")
        up.add_argument("--mac-a", default=DEFAULT_MACS[0], help="address of nan0 in NAME-a")
        up.add_argument("--mac-b", default=DEFAULT_MACS[1], help="address of nan0 in NAME-b")
        down = actions.add_parser("down", help="remove the namespaces of NAME")
        down.add_argument("name")
        net.set_defaults(handler=_net_command)

    def enabled(self, args):
        return args.nan_medium is not None

    def setup(self, board):
        args = board.args
        library_dir = os.path.join(board.lib_dir, "sdcore-sim")
        if not os.path.exists(os.path.join(library_dir, "libsdcore.so")):
            raise BoardError(f"{library_dir}/libsdcore.so is not built")
        medium = os.path.abspath(args.nan_medium)
        os.makedirs(medium, exist_ok=True)
        if not os.path.exists("/sys/class/net/nan0"):
            log("no nan0 here: run the board in a namespace made by `sim/board net up NAME`")
        env = board.env
        env["LD_LIBRARY_PATH"] = os.pathsep.join(
            filter(None, [library_dir, env.get("LD_LIBRARY_PATH")])
        )
        env["PATH"] = IW_DIR + os.pathsep + env.get("PATH", "")
        env["SDCORE_SIM_MEDIUM"] = medium
        if args.nan_trace:
            env["SDCORE_SIM_TRACE"] = os.path.abspath(args.nan_trace)
        if args.nan_fault:
            env["SDCORE_SIM_FAULTS"] = ",".join(args.nan_fault)
        if args.nan_announce_ms is not None:
            env["SDCORE_SIM_ANNOUNCE_MS"] = str(args.nan_announce_ms)

    def teardown(self, board):
        # The medium folder belongs to whoever named it; the library removes
        # its own socket when the service stops.
        pass


if __name__ == "__main__":
    sys.exit("use sim/board net up|down NAME")
