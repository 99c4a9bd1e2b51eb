# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""labgrid strategy for a board in a lab: power it, log in on its serial
console, install the armhf board-tools package, then the tests run.

Environment files name it with `imports: [boardstrategy.py]` and
`BoardToolsStrategy: {}` among a target's drivers. It needs a power driver
(ExternalPowerDriver, ManualPowerDriver, ...), a console (SerialDriver) and
a ShellDriver. The package is the environment's image `board-tools` (a
path or a glob, relative to the environment file; the newest match wins).

States: off, shell (booted, logged in), installed (the package installed
with dpkg -i after an upload over the console: no network, no xmodem on
the board, only base64 from coreutils; skipped when the board has this
very package installed already, files unchanged).
"""
import base64
import enum
import glob
import hashlib
import os
import shlex
import subprocess

import attr
from labgrid.factory import target_factory
from labgrid.step import step
from labgrid.strategy.common import Strategy, StrategyError

# Lines of base64 per shell command: each command's input must stay below
# the 4096 bytes a tty's line discipline buffers, and a lab's UART without
# flow control should never have to hold more than that.
LINE = 76
LINES_PER_COMMAND = 40
UPLOAD = "/tmp/board-tools.deb"


class Status(enum.Enum):
    unknown = 0
    off = 1
    shell = 2
    installed = 3


def package_path(config):
    """The package the environment names, resolved like labgrid's images."""
    pattern = config.get_image_path("board-tools")
    found = sorted(glob.glob(pattern), key=os.path.getmtime)
    if not found:
        raise StrategyError(f"no board-tools package at {pattern}")
    return found[-1]


@target_factory.reg_driver
@attr.s(eq=False)
class BoardToolsStrategy(Strategy):
    """Power, console login, then the package installed with dpkg -i."""

    bindings = {
        "power": "PowerProtocol",
        "console": "ConsoleProtocol",
        "shell": "ShellDriver",
    }

    status = attr.ib(default=Status.unknown)

    @step(args=["status"])
    def transition(self, status, *, step):
        if not isinstance(status, Status):
            status = Status[status]
        if status == Status.unknown:
            raise StrategyError(f"can not transition to {status}")
        if status == self.status:
            step.skip("nothing to do")
            return
        if status == Status.off:
            self.target.deactivate(self.console)
            self.target.activate(self.power)
            self.power.off()
        elif status == Status.shell:
            self.transition(Status.off)  # pylint: disable=missing-kwoa
            self.target.activate(self.console)
            self.power.on()
            self.target.activate(self.shell)
        elif status == Status.installed:
            if self.status != Status.shell:
                self.transition(Status.shell)  # pylint: disable=missing-kwoa
            deb = package_path(self.target.env.config)
            if not self.installed(deb):
                self.install(deb)
        else:
            raise StrategyError(f"no transition found from {self.status} to {status}")
        self.status = status

    def installed(self, deb):
        """True when the board has this very package installed, its files
        as the package has them (dpkg's md5sums and --verify)."""
        wanted = subprocess.run(
            ["dpkg-deb", "--info", deb, "md5sums"], stdout=subprocess.PIPE, check=True, text=True
        ).stdout.split()
        out, _, status = self.shell.run(
            "cat /var/lib/dpkg/info/board-tools.md5sums && dpkg --verify board-tools"
        )
        return status == 0 and " ".join(out).split() == wanted

    @step(args=["deb"])
    def install(self, deb):
        """Uploads `deb` over the console, checks it arrived whole, and
        installs it with dpkg -i (a failure shows dpkg's own words)."""
        with open(deb, "rb") as f:
            data = f.read()
        text = base64.b64encode(data).decode()
        lines = [text[at : at + LINE] for at in range(0, len(text), LINE)]
        self._check(f": > {UPLOAD}.b64")
        for at in range(0, len(lines), LINES_PER_COMMAND):
            chunk = "\n".join(lines[at : at + LINES_PER_COMMAND])
            self._check(f"cat >> {UPLOAD}.b64 <<'EOF'\n{chunk}\nEOF")
        self._check(f"base64 -d {UPLOAD}.b64 > {UPLOAD} && rm {UPLOAD}.b64")
        digest = self._check(f"sha256sum {UPLOAD}").split()[0]
        if digest != hashlib.sha256(data).hexdigest():
            raise StrategyError(f"{os.path.basename(deb)} arrived damaged on the board")
        self._check(f"dpkg -i {UPLOAD} && rm {UPLOAD}", timeout=300)

    def _check(self, cmd, timeout=60):
        out, _, status = self.shell.run(cmd, timeout=timeout)
        if status != 0:
            raise StrategyError(f"{shlex.split(cmd)[0]} on the board: status {status}: {out}")
        return "\n".join(out)
