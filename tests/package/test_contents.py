# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""What the packages hold, what they depend on, and what their binaries are."""
import gzip
import os

import pytest

from packagetest import (
    EXAMPLES_DIR,
    REPO,
    SIM_PACKAGE,
    SIM_ROOT,
    TOOLS_PACKAGE,
    built_tools,
    contents,
    control,
    extract,
    package,
    project_version,
    readelf,
    relations,
    source_files,
)

# Debian's runtime packages that the tools may need, by the library that
# pulls each one in.
RUNTIME_LIBRARIES = {"libc6", "libgcc-s1", "libstdc++6", "libjson-c5", "libcjson1"}
NANPEER_EXPORTS = ("nan_intf", "qvx_iw", "qvx_nan_r3", "is_array_empty")


def debian_files(name):
    """What every package carries: copyright, changelog, lintian overrides."""
    return {
        f"/usr/share/doc/{name}/copyright",
        f"/usr/share/doc/{name}/changelog.gz",
        f"/usr/share/lintian/overrides/{name}",
    }


def expected_tools_files():
    files = debian_files(TOOLS_PACKAGE)
    for tool in built_tools():
        files |= {f"/usr/bin/{tool}", f"/usr/share/man/man1/{tool}.1.gz"}
    files |= {f"{EXAMPLES_DIR}/{name}" for name in source_files("docs/examples")}
    return files


@pytest.mark.parametrize("arch", ["armhf", "amd64"])
def test_tools_package_holds_the_tools_their_pages_and_the_examples_only(arch):
    entries = contents(package(TOOLS_PACKAGE, arch))
    # Nothing else: in particular no libsdcore.so (the board has its own),
    # no link stub, no test double, no simulator part.
    assert set(entries) == expected_tools_files()
    for path, entry in entries.items():
        assert entry.owner == "root/root", path
        assert entry.link_target is None, path
        expected_mode = "-rwxr-xr-x" if path.startswith("/usr/bin/") else "-rw-r--r--"
        assert entry.mode == expected_mode, path


@pytest.mark.parametrize("arch", ["armhf", "amd64"])
def test_tools_package_depends_on_debian_runtime_libraries(arch):
    fields = control(package(TOOLS_PACKAGE, arch))
    assert fields["Package"] == TOOLS_PACKAGE
    assert fields["Architecture"] == arch
    assert fields["Version"] == project_version()
    depends = relations(fields["Depends"])
    needed = {"libc6"}
    if "nanpeer" in built_tools():
        needed.add("libjson-c5")
    if "padprobe" in built_tools():
        needed.add("libcjson1")
    assert needed <= set(depends), fields["Depends"]
    # libsdcore.so belongs to no Debian package: it must add no dependency.
    assert set(depends) <= RUNTIME_LIBRARIES, fields["Depends"]
    for name, constraint in depends.items():
        assert constraint.startswith("(>= "), f"{name} without a minimum version"


def test_board_binaries_are_stripped_hard_float_arm(tmp_path):
    root = extract(package(TOOLS_PACKAGE, "armhf"), tmp_path)
    for tool in built_tools():
        path = os.path.join(root, "usr", "bin", tool)
        header = readelf("-h", path)
        assert "Class:                             ELF32" in header, tool
        assert "Machine:                           ARM" in header, tool
        assert "hard-float ABI" in header, tool
        assert ".symtab" not in readelf("-S", path), f"{tool} is not stripped"
        dynamic = readelf("-d", path)
        # No path of the build machine may reach the board.
        assert "RPATH" not in dynamic and "RUNPATH" not in dynamic, tool
        assert "/ld-linux-armhf.so.3]" in readelf("-l", path), tool


def test_nanpeer_on_the_board_needs_libsdcore_and_exports_its_names(tmp_path):
    if "nanpeer" not in built_tools():
        pytest.skip("nanpeer is not in the tree")
    path = os.path.join(extract(package(TOOLS_PACKAGE, "armhf"), tmp_path), "usr", "bin", "nanpeer")
    assert "Shared library: [libsdcore.so]" in readelf("-d", path)
    symbols = readelf("--dyn-syms", path)
    for name in NANPEER_EXPORTS:
        assert any(
            line.split()[-1] == name and " UND " not in line
            for line in symbols.splitlines()
            if line.strip()
        ), name


def test_manual_pages_in_the_package_are_the_sources(tmp_path):
    root = extract(package(TOOLS_PACKAGE, "armhf"), tmp_path)
    for tool in built_tools():
        with gzip.open(os.path.join(root, f"usr/share/man/man1/{tool}.1.gz"), "rb") as shipped:
            with open(os.path.join(REPO, "docs", "man", f"{tool}.1"), "rb") as source:
                assert shipped.read() == source.read(), tool


def expected_sim_files():
    files = {"/usr/bin/board-sim", f"{SIM_ROOT}/sim/board", f"{SIM_ROOT}/build/sim/board-console"}
    files |= debian_files(SIM_PACKAGE) | {"/usr/share/man/man1/board-sim.1.gz"}
    files |= {
        f"{SIM_ROOT}/sim/board_parts/{name}" for name in source_files("sim/board_parts", ".py")
    }
    if os.path.isdir(os.path.join(REPO, "sim", "nan", "bin")):
        files |= {f"{SIM_ROOT}/sim/nan/bin/{name}" for name in source_files("sim/nan/bin")}
    if os.path.isdir(os.path.join(REPO, "sim", "touch")):
        files.add(f"{SIM_ROOT}/build/sim/touchsim")
    if os.path.isdir(os.path.join(REPO, "sim", "sdcore")):
        files.add(f"{SIM_ROOT}/build/lib/sdcore-sim/libsdcore.so")
    if os.path.exists(os.path.join(REPO, "tools", "padhost")):
        files |= {"/usr/bin/padhost", f"{SIM_ROOT}/tools/padhost"}
        files.add("/usr/share/man/man1/padhost.1.gz")
        files |= {
            f"{SIM_ROOT}/tools/padlink/{name}"
            for suffix in (".py", ".html", ".js", ".css")
            for name in source_files("tools/padlink", suffix)
        }
    return files


def test_sim_package_holds_the_board_its_parts_and_the_host_client(tmp_path):
    deb = package(SIM_PACKAGE, "amd64")
    entries = contents(deb)
    assert set(entries) == expected_sim_files()
    assert entries["/usr/bin/board-sim"].link_target == "../lib/board-tools-sim/sim/board"
    if "/usr/bin/padhost" in entries:
        assert entries["/usr/bin/padhost"].link_target == "../lib/board-tools-sim/tools/padhost"

    fields = control(deb)
    assert fields["Architecture"] == "amd64"
    depends = relations(fields["Depends"])
    assert depends[TOOLS_PACKAGE] == f"(= {project_version()})"
    assert {"python3", "fuse3", "libfuse3-3"} <= set(depends)
    if "/usr/bin/padhost" in entries:
        # What the tuning page needs, from the distribution.
        assert {"python3-aiohttp", "libjs-dygraphs"} <= set(relations(fields["Recommends"]))

    root = extract(deb, tmp_path)
    for path, entry in entries.items():
        if path.startswith(f"{SIM_ROOT}/build/"):
            assert "Advanced Micro Devices X86-64" in readelf("-h", f"{root}{path}"), path
