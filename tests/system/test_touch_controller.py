# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The simulated touch controller's attribute files, as a tool meets them:
every read shows the model's value of that moment, writes are taken whole,
and faults come on demand."""
import sys

from boardtest import run

SCRIPT = r"""
import errno, os, socket, sys
DEV = "/sys/devices/platform/ocp/42010000.padprobe/"
CHX = DEV + "chx_config/"
sock_path = sys.argv[1]

def control(line):
    with socket.socket(socket.AF_UNIX) as s:
        s.connect(sock_path)
        s.sendall(line.encode() + b"\n")
        reply = b""
        while not reply.endswith(b"\n"):
            reply += s.recv(100)
    return reply.decode().strip()

def read(path, size=4):
    # A fresh open and one short read, as padprobe does.
    fd = os.open(path, os.O_RDONLY)
    try:
        return os.read(fd, size).decode()
    finally:
        os.close(fd)

def write(path, text):
    fd = os.open(path, os.O_WRONLY)
    try:
        return os.write(fd, text.encode())
    finally:
        os.close(fd)

def fails(what, *args):
    try:
        what(*args)
    except OSError as e:
        return errno.errorcode[e.errno]
    return "ok"

out = []
# Values that change between reads, the reader writing nothing: each read
# shows the new one, whatever its length.
for value in ["1234", "1235", "999", "12345", "7", "2280"]:
    control(f"set chx_ave_data:0 {value}")
    out.append(read(CHX + "chx_ave_data", 8))
# Twice in a row: both reads reach the model.
control("set chx_ave_data:0 3000")
out.append(read(CHX + "chx_ave_data") + read(CHX + "chx_ave_data"))
# A selection shows at once.
control("set chx_ave_data:3 4321")
write(CHX + "ch_num", "3")
out.append(read(CHX + "chx_ave_data"))
write(CHX + "ch_num", "0")
out.append(read(CHX + "chx_ave_data"))
# A reader that goes on to the end sees one whole text.
with open(CHX + "chx_ave_data", "rb") as f:
    out.append(f.read().decode())
# A shorter write replaces a longer value whole.
write(CHX + "chx_abs_th", "12345678")
write(CHX + "chx_abs_th", "7")
out.append(read(CHX + "chx_abs_th", 100))
out.append(control("get chx_abs_th:0"))
# Refused writes, and read-only attributes.
out.append(fails(write, CHX + "ch_num", "9"))
out.append(fails(write, CHX + "chx_ave_data", "1"))
# Faults on demand, and healed.
control("fail-read chx_baseline EIO")
out.append(fails(read, CHX + "chx_baseline"))
control("missing chx_mbias")
out.append(fails(read, CHX + "chx_mbias"))
control("restore chx_mbias")
out.append(read(CHX + "chx_mbias"))
control("restore chx_baseline")
out.append(read(CHX + "chx_baseline"))
print("|".join(o.replace("\n", "/") for o in out))
"""


def test_reads_reach_the_model_and_writes_are_taken_whole(tmp_path):
    state = tmp_path / "state"
    r = run(
        [sys.executable, "-c", SCRIPT, state / "touch" / "control.sock"],
        board=["--touch", "--touch-do", "noise 0"],
        state=state,
    )
    assert r.status == 0, r.stderr
    assert r.stdout.decode().strip().split("|") == [
        "1234/",
        "1235/",
        "999/",
        "12345/",
        "7/",
        "2280/",
        "30003000",
        "4321",
        "3000",
        "3000/",
        "7/",
        "7",
        "EINVAL",
        "EACCES",
        "EIO",
        "ENOENT",
        "20/",
        "2280",
    ]
    with open(state / "touch" / "writes.log") as log:
        writes = [line.split("\t")[1:] for line in log]
    assert writes == [
        ["chx_config/ch_num", "-", "3", "ok\n"],
        ["chx_config/ch_num", "-", "0", "ok\n"],
        ["chx_config/chx_abs_th", "0", "12345678", "ok\n"],
        ["chx_config/chx_abs_th", "0", "7", "ok\n"],
        ["chx_config/ch_num", "-", "9", "EINVAL\n"],
        ["chx_config/chx_ave_data", "0", "1", "EACCES\n"],
    ]
