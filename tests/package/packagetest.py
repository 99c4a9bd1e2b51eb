# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""Finding, reading and unpacking the Debian packages that the checks look at.

The packages come from `./run-tests package` (dist/, or BOARD_PACKAGE_DIR).
What a package must hold is derived from the source tree, so a tool or a
board part that is added later is expected without touching these checks.
"""
import glob
import os
import re
import subprocess

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.realpath(__file__))))
PACKAGE_DIR = os.environ.get("BOARD_PACKAGE_DIR", os.path.join(REPO, "dist"))
ARMHF_BUILD = os.environ.get("BOARD_ARMHF_BUILD_DIR", os.path.join(REPO, "build-armhf"))

TOOLS_PACKAGE = "board-tools"
SIM_PACKAGE = "board-tools-sim"
SIM_ROOT = "/usr/lib/board-tools-sim"
EXAMPLES_DIR = "/usr/share/doc/board-tools/examples"
ALL_TOOLS = ("nanpeer", "padprobe", "otpctl", "mcushell")


def built_tools():
    """The tools whose sources are in the tree (and so are built)."""
    return [tool for tool in ALL_TOOLS if os.path.exists(os.path.join(REPO, tool, "main.cpp"))]


def project_version():
    with open(os.path.join(REPO, "CMakeLists.txt")) as cmake:
        match = re.search(r"project\(\s*\S+\s+VERSION\s+(\S+)", cmake.read())
    assert match, "no project VERSION in CMakeLists.txt"
    return match.group(1)


def package(name, arch):
    """The one package file `name`_<version>_`arch`.deb in the package folder."""
    found = glob.glob(os.path.join(PACKAGE_DIR, f"{name}_*_{arch}.deb"))
    assert (
        len(found) == 1
    ), f"expected one {name} package for {arch} in {PACKAGE_DIR}, found {found}"
    return found[0]


def run(argv, timeout=60, **kwargs):
    return subprocess.run(argv, capture_output=True, text=True, timeout=timeout, **kwargs)


def check_output(argv, **kwargs):
    proc = run(argv, **kwargs)
    assert proc.returncode == 0, f"{argv} failed ({proc.returncode}): {proc.stderr}"
    return proc.stdout


def control(deb):
    """The control fields of a package as a dict."""
    fields = {}
    name = None
    for line in check_output(["dpkg-deb", "-f", deb]).splitlines():
        if line.startswith(" ") and name:
            fields[name] += "\n" + line
            continue
        name, _, value = line.partition(":")
        fields[name] = value.strip()
    return fields


def relations(field):
    """'a (>= 1), b' -> {'a': '(>= 1)', 'b': ''}; alternatives are kept whole."""
    result = {}
    for entry in filter(None, (part.strip() for part in field.split(","))):
        name, _, constraint = entry.partition(" ")
        result[name] = constraint.strip()
    return result


class Entry:
    def __init__(self, mode, owner, link_target):
        self.mode = mode
        self.owner = owner
        self.link_target = link_target


def contents(deb):
    """Every entry of the package but its folders: path -> Entry."""
    entries = {}
    for line in check_output(["dpkg-deb", "-c", deb]).splitlines():
        fields = line.split(None, 5)
        mode, owner, path = fields[0], fields[1], fields[5]
        if mode.startswith("d"):
            continue
        path, _, target = path.partition(" -> ")
        entries[path[1:]] = Entry(mode, owner, target or None)
    return entries


def extract(deb, root):
    check_output(["dpkg-deb", "-x", deb, str(root)])
    return root


def readelf(*argv):
    return check_output(["readelf", "-W", *argv])


def source_files(folder, suffix=""):
    """Files under `folder` of the tree (relative), skipping caches."""
    base = os.path.join(REPO, folder)
    found = []
    for top, dirs, names in os.walk(base):
        dirs[:] = [d for d in dirs if d != "__pycache__"]
        found += [os.path.relpath(os.path.join(top, n), base) for n in names if n.endswith(suffix)]
    return sorted(found)
