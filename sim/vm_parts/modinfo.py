# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""Kernel modules without modinfo or modules.dep.

Debian's kernel image ships no modules.dep (depmod makes it at install
time), and the guest's busybox has only insmod, so the image builder reads
each module's .modinfo section itself and orders the modules so that every
module comes after the ones it depends on.
"""
import os
import struct


class ModuleError(Exception):
    pass


def _section(path, wanted):
    """Contents of the ELF section `wanted` of a 32- or 64-bit little-endian object."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"\x7fELF" or data[5] != 1:
        raise ModuleError(f"{path}: not a little-endian ELF object")
    if data[4] == 1:
        (shoff,) = struct.unpack_from("<I", data, 0x20)
        shentsize, shnum, shstrndx = struct.unpack_from("<HHH", data, 0x2E)
        layout, name_at, off_at, size_at = "<IIIIIIIIII", 0, 4, 5
    else:
        (shoff,) = struct.unpack_from("<Q", data, 0x28)
        shentsize, shnum, shstrndx = struct.unpack_from("<HHH", data, 0x3A)
        layout, name_at, off_at, size_at = "<IIQQQQIIQQ", 0, 4, 5
    headers = [struct.unpack_from(layout, data, shoff + i * shentsize) for i in range(shnum)]
    names = headers[shstrndx]
    names = data[names[off_at] : names[off_at] + names[size_at]]
    for header in headers:
        start = header[name_at]
        name = names[start : names.index(b"\0", start)].decode()
        if name == wanted:
            return data[header[off_at] : header[off_at] + header[size_at]]
    raise ModuleError(f"{path}: no {wanted} section")


def modinfo(path):
    """The module's .modinfo as a list of (key, value) pairs."""
    pairs = []
    for item in _section(path, ".modinfo").split(b"\0"):
        if b"=" in item:
            key, value = item.decode(errors="replace").split("=", 1)
            pairs.append((key, value))
    return pairs


def module_name(path):
    """The name the kernel knows a module file by (dashes become underscores)."""
    base = os.path.basename(path)
    return base.split(".ko")[0].replace("-", "_")


def depends(path):
    for key, value in modinfo(path):
        if key == "depends":
            return [name.replace("-", "_") for name in value.split(",") if name]
    return []


def index_modules(modules_dir):
    """Every module file under a /lib/modules/<abi> tree, by module name."""
    found = {}
    for top, _dirs, files in os.walk(modules_dir):
        for name in files:
            if ".ko" in name:
                found[module_name(name)] = os.path.join(top, name)
    return found


def load_order(wanted, available):
    """The module files to load for the names in `wanted`, dependencies first.

    `available` maps module names to files (index_modules). A name that is
    neither there nor a dependency that the kernel has built in is an error.
    """
    order = []
    visiting = set()

    def visit(name, needed_by):
        name = name.replace("-", "_")
        path = available.get(name)
        if path is None:
            who = f" (needed by {needed_by})" if needed_by else ""
            raise ModuleError(f"module {name}{who} is not in the kernel image")
        if path in order:
            return
        if name in visiting:
            raise ModuleError(f"modules depend on each other in a circle at {name}")
        visiting.add(name)
        for dep in depends(path):
            visit(dep, name)
        visiting.discard(name)
        order.append(path)

    for name in wanted:
        visit(name, None)
    return order
