"""The simulated board run from the development packages, unpacked into a
folder: its parts, daemons and libraries are found where the package puts
them, and the amd64 tools run in it."""
import os

import pytest

from packagetest import SIM_PACKAGE, SIM_ROOT, TOOLS_PACKAGE, built_tools, extract, package, run

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


def test_installed_host_client_starts(host_root):
    if not os.path.exists(f"{host_root}/usr/bin/padhost"):
        pytest.skip("no host client in the tree")
    proc = run([f"{host_root}/usr/bin/padhost", "--help"])
    assert proc.returncode == 0, proc.stderr
