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
the board, only base64 and head from coreutils; skipped when the board has this
very package installed already, files unchanged).
"""
import enum
import glob
import hashlib
import os
import shlex
import subprocess
import sys

import attr
from labgrid.factory import target_factory
from labgrid.step import step
from labgrid.strategy.common import Strategy, StrategyError

# The upload over the console is the on-board tests' own (onboard.py, next
# to this file).
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from onboard import upload  # noqa: E402

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
        status = upload(self.shell, UPLOAD, data, timeout=120)
        if status != 0:
            raise StrategyError(f"base64 -d on the board: status {status}")
        digest = self._check(f"sha256sum {UPLOAD}").split()[0]
        if digest != hashlib.sha256(data).hexdigest():
            raise StrategyError(f"{os.path.basename(deb)} arrived damaged on the board")
        self._check(f"dpkg -i {UPLOAD} && rm {UPLOAD}", timeout=300)

    def _check(self, cmd, timeout=60):
        out, _, status = self.shell.run(cmd, timeout=timeout)
        if status != 0:
            raise StrategyError(f"{shlex.split(cmd)[0]} on the board: status {status}: {out}")
        return "\n".join(out)
