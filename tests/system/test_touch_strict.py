# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The simulated touch controller's strict mode (--touch-strict), the same
as the kernel module's strict=1: values wider than their register field
are refused with EINVAL and not stored; the default takes them."""
import sys

from boardtest import run

SCRIPT = r"""
import errno, os
DEV = "/sys/devices/platform/ocp/42010000.padprobe/"

def write(name, text):
    fd = os.open(DEV + name, os.O_WRONLY)
    try:
        os.write(fd, text.encode())
        return "ok"
    except OSError as e:
        return errno.errorcode[e.errno]
    finally:
        os.close(fd)

out = [write("common_config/sample_num", "7"), write("common_config/sample_num", "8"),
       write("common_config/scan_interval", "-1"), write("etc_config/etc_interval", "128"),
       write("chx_config/chx_abs_th", "4096"), write("chx_config/chx_mbias", "64")]
with open(DEV + "common_config/sample_num") as f:
    out.append(f.read().strip())
print(" ".join(out))
"""


def test_strict_refuses_what_the_register_cannot_hold():
    strict = run([sys.executable, "-c", SCRIPT], board=["--touch", "--touch-strict"])
    assert (strict.status, strict.stdout) == (0, b"ok EINVAL EINVAL EINVAL EINVAL EINVAL 7\n")
    default = run([sys.executable, "-c", SCRIPT], board=["--touch"])
    assert (default.status, default.stdout) == (0, b"ok ok ok ok ok EINVAL 8\n")
