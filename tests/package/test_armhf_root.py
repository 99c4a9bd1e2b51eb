# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The board package installed into an armhf root, and its tools run there
under qemu-arm.

The root's dpkg database holds only the Debian runtime packages that the
package depends on, copied from this machine's armhf packages, so dpkg
checks the Depends field against real versions. The tools then run from the
root; the machine's armhf libraries stand in for the board's. nanpeer needs
some libsdcore.so to load: the link stub of the armhf build, never packaged.
"""
import json
import os
import pty
import select
import signal
import subprocess
import time

import pytest

from packagetest import (
    ARMHF_BUILD,
    EXAMPLES_DIR,
    TOOLS_PACKAGE,
    built_tools,
    check_output,
    control,
    package,
    relations,
    run,
)

LINK_STUB_DIR = os.path.join(ARMHF_BUILD, "nanpeer", "link-stub")


def make_dpkg_root(root):
    admin = root / "var" / "lib" / "dpkg"
    for sub in ("info", "updates", "triggers"):
        (admin / sub).mkdir(parents=True)
    deb = package(TOOLS_PACKAGE, "armhf")
    stanzas = []
    for name in relations(control(deb)["Depends"]):
        stanza = check_output(["dpkg-query", "-s", f"{name}:armhf"])
        stanzas.append(stanza)
        # Their files are the machine's, not the root's: an empty file list.
        shared = "\nMulti-Arch: same\n" in stanza
        (admin / "info" / (f"{name}:armhf.list" if shared else f"{name}.list")).write_text("")
    (admin / "status").write_text("\n".join(stanzas))
    check_output(["dpkg", f"--root={root}", "--add-architecture", "armhf"])
    return deb


def dpkg_in(root, *argv):
    return run(["dpkg", f"--root={root}", "--log=/dev/null", *argv], timeout=120)


@pytest.fixture(scope="module")
def board_root(tmp_path_factory):
    root = tmp_path_factory.mktemp("armhf-root")
    deb = make_dpkg_root(root)
    proc = dpkg_in(root, "--install", deb)
    assert proc.returncode == 0, proc.stdout + proc.stderr
    return root


def qemu(root, tool, *args, env=None, **kwargs):
    argv = ["qemu-arm", "-L", str(root)]
    for name, value in (env or {}).items():
        argv += ["-E", f"{name}={value}"]
    return run([*argv, f"{root}/usr/bin/{tool}", *args], **kwargs)


def test_package_installs_and_removes_cleanly(tmp_path):
    deb = make_dpkg_root(tmp_path)
    installed = dpkg_in(tmp_path, "--install", deb)
    assert installed.returncode == 0, installed.stdout + installed.stderr
    assert "warning" not in installed.stderr
    status = dpkg_in(tmp_path, "--status", TOOLS_PACKAGE)
    assert "Status: install ok installed" in status.stdout
    for tool in built_tools():
        assert (tmp_path / "usr" / "bin" / tool).is_file()

    removed = dpkg_in(tmp_path, "--purge", TOOLS_PACKAGE)
    assert removed.returncode == 0, removed.stdout + removed.stderr
    left = [
        os.path.join(top, name) for top, _, names in os.walk(tmp_path / "usr") for name in names
    ]
    assert left == []


def test_tools_check_their_arguments_on_arm(board_root):
    tools = built_tools()
    if "otpctl" in tools:
        proc = qemu(board_root, "otpctl")
        assert (proc.returncode, proc.stderr) == (
            1,
            "[rraw/rmap/wraw/wmap] [addr] [len] [write val]\n",
        )
        proc = qemu(board_root, "otpctl", "wraw", "0x10", "1", "ff")
        assert proc.returncode == 1
        assert proc.stderr.startswith("otpctl: address '0x10' is not hexadecimal")
    if "mcushell" in tools:
        # No companion core here: the device cannot be opened, nothing is sent.
        proc = qemu(board_root, "mcushell", "-c", "ver")
        assert (proc.returncode, proc.stderr) == (
            1,
            "Can't open device: No such file or directory\n",
        )
    if "padprobe" in tools:
        proc = qemu(board_root, "padprobe")
        assert proc.returncode == 1
        assert "[CAP][ERROR] cmd: padprobe <UART device node> &" in proc.stdout
    if "nanpeer" in tools:
        env = {"LD_LIBRARY_PATH": LINK_STUB_DIR}
        proc = qemu(board_root, "nanpeer", "-r", "publish", env=env)
        assert proc.returncode == 1
        assert proc.stderr.startswith("Usage: ")
        proc = qemu(board_root, "nanpeer", "-h", "x", "-r", "publish", env=env)
        assert proc.returncode == 0


def fake_iw(folder, mac):
    """An iw that lists one radio carrying `mac`."""
    script = folder / "iw"
    script.write_text(f"#!/bin/sh\nprintf 'phy#0\\n\\tInterface wlan0\\n\\t\\taddr {mac}\\n'\n")
    script.chmod(0o755)
    return script


@pytest.mark.parametrize(
    "example,role,count",
    [
        ("nanpeer-publish.json", "publish", "2"),
        ("nanpeer-subscribe.json", "subscribe", "1"),
    ],
)
def test_nanpeer_starts_and_stops_with_the_example_configuration_on_arm(
    board_root, tmp_path, example, role, count
):
    if "nanpeer" not in built_tools():
        pytest.skip("nanpeer is not in the tree")
    with open(f"{board_root}{EXAMPLES_DIR}/{example}") as shipped:
        config = json.load(shipped)
    config["bin_path"]["iw"]["iw_path"] = str(fake_iw(tmp_path, config["basic"]["mac_addr"]))
    path = tmp_path / example
    path.write_text(json.dumps(config))

    proc = qemu(
        board_root,
        "nanpeer",
        "-r",
        role,
        "-n",
        count,
        "-f",
        str(path),
        "-t",
        "1",
        env={"LD_LIBRARY_PATH": LINK_STUB_DIR},
        timeout=120,
    )
    assert proc.returncode == 0, proc.stdout + proc.stderr
    assert "Configuration file parser failed" not in proc.stdout
    assert "[nanpeer] get_phy_from_mac find phy0! " in proc.stdout
    assert "!!!!!! Terminated !!!!!!" in proc.stdout


def read_until(fd, wanted, timeout):
    seen = b""
    deadline = time.monotonic() + timeout
    while wanted not in seen and time.monotonic() < deadline:
        ready, _, _ = select.select([fd], [], [], 0.5)
        if ready:
            seen += os.read(fd, 4096)
    return seen


def test_padprobe_greets_and_answers_on_a_serial_line_on_arm(board_root):
    if "padprobe" not in built_tools():
        pytest.skip("padprobe is not in the tree")
    host, device = pty.openpty()
    path = os.ttyname(device)
    proc = subprocess.Popen(
        ["qemu-arm", "-L", str(board_root), f"{board_root}/usr/bin/padprobe", path],
        stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL,
    )
    try:
        assert b"start uart OK!\n" in read_until(host, b"start uart OK!\n", 60)
        # A request without a known type touches no attribute file: the
        # answer comes from the request layer alone.
        os.write(host, b'{"type": "hello"}')
        answer = read_until(host, b"}", 60)
        assert b'"type":\t"error"' in answer
    finally:
        proc.send_signal(signal.SIGTERM)
        proc.wait(timeout=30)
        os.close(host)
        os.close(device)
