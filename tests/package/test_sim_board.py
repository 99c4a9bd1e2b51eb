# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The simulated board run from the development packages, unpacked into a
folder: its parts, daemons and libraries are found where the package puts
them, and the amd64 tools run in it."""
import json
import os
import shutil
import tempfile

import pytest

from packagetest import (
    EXAMPLES_DIR,
    SIM_PACKAGE,
    SIM_ROOT,
    TOOLS_PACKAGE,
    built_tools,
    extract,
    package,
    run,
)

pytestmark = pytest.mark.skipif(os.geteuid() != 0, reason="the board needs root")


@pytest.fixture(scope="module")
def host_root(tmp_path_factory):
    root = tmp_path_factory.mktemp("amd64-root")
    extract(package(TOOLS_PACKAGE, "amd64"), root)
    extract(package(SIM_PACKAGE, "amd64"), root)
    return root


def board(root, *command, **kwargs):
    env = dict(os.environ, PATH=f"{root}/usr/bin:{os.environ['PATH']}")
    return run([f"{root}/usr/bin/board-sim", "run", *command], env=env, timeout=120, **kwargs)


def test_installed_board_lists_every_part(host_root):
    proc = board(host_root, "--help")
    assert proc.returncode == 0, proc.stderr
    assert "--console-fail-call" in proc.stdout
    assert "--otp-" in proc.stdout


def test_installed_board_serves_the_tools(host_root, tmp_path):
    tools = built_tools()
    if "otpctl" in tools:
        proc = board(host_root, "--", "otpctl", "rraw", "0", "4")
        assert proc.returncode == 4, proc.stdout + proc.stderr
        assert proc.stdout.startswith("addr : 0x0, size: 4\n")
    if "mcushell" in tools:
        # The console part starts its daemon from the package's folder.
        proc = board(host_root, "--state", str(tmp_path), "--", "mcushell", "-c", "ver")
        assert proc.returncode == 0, proc.stdout + proc.stderr
        with open(tmp_path / "console" / "records.bin", "rb") as records:
            record = records.read()
        assert record[:4] == b"\x03ver"


def test_installed_board_serves_the_touch_controller(host_root):
    if not os.path.exists(f"{host_root}{SIM_ROOT}/build/sim/touchsim"):
        pytest.skip("no simulated touch controller in the tree")
    attribute = "/sys/devices/platform/ocp/42010000.padprobe/common_config/scan_interval"
    proc = board(host_root, "--touch", "--", "cat", attribute)
    assert proc.returncode == 0, proc.stdout + proc.stderr
    assert proc.stdout.strip().isdigit()


def test_installed_board_gives_nanpeer_the_simulated_library(host_root, tmp_path):
    if not os.path.exists(f"{host_root}{SIM_ROOT}/build/lib/sdcore-sim/libsdcore.so"):
        pytest.skip("no simulated libsdcore in the tree")
    with open(f"{host_root}{EXAMPLES_DIR}/nanpeer-publish.json") as shipped:
        config = json.load(shipped)
    # The board's iw stand-in lists nan0, which `net up` gives the example's
    # address (02:00:00:00:00:01) on side a.
    config["bin_path"]["iw"]["iw_path"] = "iw"
    path = tmp_path / "publish.json"
    path.write_text(json.dumps(config))
    trace = tmp_path / "trace"
    env = dict(os.environ, PATH=f"{host_root}/usr/bin:{os.environ['PATH']}")
    network = f"pkg{os.getpid()}"
    # Short: the library's socket paths in the medium folder are limited.
    medium = tempfile.mkdtemp(prefix="nan-")
    up = run([f"{host_root}/usr/bin/board-sim", "net", "up", network], env=env)
    assert up.returncode == 0, up.stderr
    try:
        proc = board(
            host_root,
            "--netns",
            f"{network}-a",
            "--nan-medium",
            medium,
            "--nan-trace",
            str(trace),
            "--",
            "nanpeer",
            "-r",
            "publish",
            "-n",
            "2",
            "-f",
            str(path),
            "-t",
            "1",
        )
    finally:
        run([f"{host_root}/usr/bin/board-sim", "net", "down", network], env=env)
        shutil.rmtree(medium, ignore_errors=True)
    assert proc.returncode == 0, proc.stdout + proc.stderr
    assert "[nanpeer] get_phy_from_mac find phy0! " in proc.stdout
    assert "dns_publish" in trace.read_text()


def test_installed_host_client_starts(host_root):
    if not os.path.exists(f"{host_root}/usr/bin/padhost"):
        pytest.skip("no host client in the tree")
    proc = run([f"{host_root}/usr/bin/padhost", "--help"])
    assert proc.returncode == 0, proc.stderr
    proc = run([f"{host_root}/usr/bin/padhost", "ui", "--help"])
    assert proc.returncode == 0 and "--listen HOST:PORT" in proc.stdout, proc.stderr
