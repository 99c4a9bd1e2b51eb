# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The simulated controller behind a slow bus: --touch-read-delay holds
every attribute read back that long."""
import os
import subprocess
import sys

from boardtest import BUILD, run

SCRIPT = r"""
import os, sys, time
CHX = "/sys/devices/platform/ocp/42010000.padprobe/chx_config/"
took = []
for _ in range(5):
    began = time.monotonic()
    fd = os.open(CHX + "chx_mbias", os.O_RDONLY)
    value = os.read(fd, 4)
    os.close(fd)
    took.append(time.monotonic() - began)
print(value.decode().strip(), min(took))
"""


def test_every_read_waits_for_the_delay(tmp_path):
    r = run([sys.executable, "-c", SCRIPT], board=["--touch-read-delay", "30000"], state=tmp_path)
    assert r.status == 0, r.stderr
    value, fastest_read = r.stdout.decode().split()
    # The value is the model's as ever; a read cannot come back sooner than
    # the delay (a lower bound: a loaded machine only adds to it).
    assert value == "20"
    assert float(fastest_read) >= 0.030


def test_a_bad_delay_is_refused():
    touchsim = os.path.join(BUILD, "sim", "touchsim")
    for bad in ("-1", "1000001", "2x", ""):
        proc = subprocess.run(
            [
                touchsim,
                "--mount",
                "/nonexistent",
                "--state",
                "/nonexistent",
                "--read-delay-us",
                bad,
            ],
            capture_output=True,
            text=True,
            timeout=10,
        )
        assert proc.returncode == 2
        assert f"touchsim: bad --read-delay-us '{bad}' (0 to 1000000)" in proc.stderr
