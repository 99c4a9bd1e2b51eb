# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""What Debian asks of every package beyond its programs: the copyright file
with the project's licence, the changelog of this version, and binaries
built hardened."""
import gzip
import os
import re
import struct

import pytest

from packagetest import (
    REPO,
    SIM_PACKAGE,
    TOOLS_PACKAGE,
    built_tools,
    extract,
    package,
    project_version,
    readelf,
)

PACKAGES = [(TOOLS_PACKAGE, "armhf"), (TOOLS_PACKAGE, "amd64"), (SIM_PACKAGE, "amd64")]


def paragraphs(text):
    """deb822 paragraphs as lists of (field, value) with continuations joined."""
    result = []
    for block in re.split(r"\n\s*\n", text.strip()):
        fields = []
        for line in block.splitlines():
            if line.startswith((" ", "\t")):
                name, value = fields[-1]
                fields[-1] = (name, value + "\n" + line[1:])
            else:
                name, _, value = line.partition(":")
                fields.append((name, value.strip()))
        result.append(dict(fields))
    return result


def words(text):
    return " ".join(text.split())


@pytest.mark.parametrize("name,arch", PACKAGES)
def test_copyright_file_is_machine_readable_and_holds_the_licence(tmp_path, name, arch):
    root = extract(package(name, arch), tmp_path)
    with open(os.path.join(root, f"usr/share/doc/{name}/copyright")) as shipped:
        header, *rest = paragraphs(shipped.read())
    assert header["Format"] == "https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"
    files = [p for p in rest if "Files" in p]
    licences = {p["License"].split("\n")[0]: p["License"] for p in rest if "Files" not in p}
    # Everything is MIT but the devices' models the kernel modules share.
    assert (files[0]["Files"], files[0]["License"]) == ("*", "MIT")
    for paragraph in files:
        assert "The board-tools authors" in paragraph["Copyright"], paragraph
        for name in paragraph["License"].split(" or "):
            assert name in licences, f"no text for {name}"
    # The licence text is the tree's own, word for word (deb822 marks an
    # empty line with " .").
    with open(os.path.join(REPO, "LICENSES", "MIT.txt")) as tree:
        text = tree.read()
    body = text[text.index("Permission is hereby granted") :]
    shipped_body = licences["MIT"].split("\n", 1)[1].replace("\n.\n", "\n\n")
    assert words(shipped_body) == words(body)


@pytest.mark.parametrize("name,arch", PACKAGES)
def test_changelog_names_this_version_and_is_compressed_without_a_time(tmp_path, name, arch):
    root = extract(package(name, arch), tmp_path)
    path = os.path.join(root, f"usr/share/doc/{name}/changelog.gz")
    with open(path, "rb") as raw:
        header = raw.read(10)
    # gzip -n: no file name flag, no modification time, so that the same
    # changelog always gives the same bytes.
    flags, mtime = header[3], struct.unpack("<I", header[4:8])[0]
    assert (flags & 0x08, mtime) == (0, 0)
    with gzip.open(path, "rt") as changelog:
        first = changelog.readline()
    assert first.startswith(f"{TOOLS_PACKAGE} ({project_version()}) "), first


def shipped_binaries(root, name):
    if name == TOOLS_PACKAGE:
        return [os.path.join(root, "usr", "bin", tool) for tool in built_tools()]
    found = []
    for top, _, files in os.walk(os.path.join(root, "usr", "lib")):
        for file in files:
            path = os.path.join(top, file)
            with open(path, "rb") as head:
                if head.read(4) == b"\x7fELF":
                    found.append(path)
    return found


@pytest.mark.parametrize("name,arch", PACKAGES)
def test_binaries_are_hardened(tmp_path, name, arch):
    root = extract(package(name, arch), tmp_path)
    binaries = shipped_binaries(root, name)
    assert binaries
    for path in binaries:
        what = os.path.relpath(path, root)
        header = readelf("-h", path)
        dynamic = readelf("-d", path)
        # Position-independent: a shared object's type, and for a program
        # the PIE flag.
        assert "DYN (" in header, what
        if "/usr/bin/" in path or "/build/sim/" in path:
            assert re.search(r"FLAGS_1\).*\bPIE\b", dynamic), what
        # Relocations resolved at start-up and then read-only.
        assert re.search(r"\(FLAGS\).*\bBIND_NOW\b", dynamic), what
        assert "GNU_RELRO" in readelf("-l", path), what
        # The stack protector's check, present in every one of them, and
        # checked variants of the C library's string and memory calls.
        symbols = readelf("--dyn-syms", path)
        assert "__stack_chk_fail" in symbols, what
        assert re.search(r"__\w+_chk\b", symbols.replace("__stack_chk", "")), what
        # Nothing the compiler leaves that strip keeps.
        assert ".comment" not in readelf("-S", path), what


def test_lintian_overrides_say_why():
    for name in (TOOLS_PACKAGE, SIM_PACKAGE):
        with open(os.path.join(REPO, "packaging", "lintian", name)) as overrides:
            lines = overrides.read().splitlines()
        reason = False
        for line in lines:
            if line.startswith("#") and "SPDX-" not in line:
                reason = True
            elif line.strip() and not line.startswith("#"):
                assert line.startswith(f"{name}: "), line
                assert reason, f"{name}: override without a reason before it: {line}"
                reason = False
