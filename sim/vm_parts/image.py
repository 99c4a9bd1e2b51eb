# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The virtual board's image: Debian's armmp kernel and an initramfs.

The initramfs holds busybox, the armhf runtime the package's programs and
iproute2 and iputils need, the kernel modules for the board's buses and our
device modules, the armhf board-tools package unpacked as dpkg would install
it, and the simulated libsdcore. Everything downloaded is kept in the cache
(`${BOARD_VM_CACHE:-${XDG_CACHE_HOME:-~/.cache}/board-vm}`); what is built
goes to the image folder (`build-vm/` of the checkout by default), never into
the tree's tracked files.
"""
import glob
import os
import shutil
import subprocess
import sys

from vm_parts import modinfo

HERE = os.path.dirname(os.path.realpath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
IMAGE_DIR = os.path.join(REPO, "build-vm")
FETCH_KERNEL = os.path.join(REPO, "sim", "kmod", "fetch-kernel")
BUILD_KMOD = os.path.join(REPO, "sim", "kmod", "build")

# armhf packages unpacked into the initramfs: busybox, dash, iproute2 and
# iputils-ping, and the shared libraries that they and the package's
# programs load (checked after unpacking: a missing one is an error).
# /bin/sh is dash, as on a Debian system: busybox-static's own shell runs its
# applets before anything on PATH, so the `ip` and `ping6` that nanpeer
# starts through the shell would be busybox's (no `ip -6 neigh del`).
RUNTIME_PACKAGES = [
    "busybox-static",
    "dash",
    "iproute2",
    "iputils-ping",
    "libc6",
    "libgcc-s1",
    "libstdc++6",
    "libjson-c5",
    "libcjson1",
    "libbpf1",
    "libbsd0",
    "libmd0",
    "libcap2",
    "libdb5.3",
    "libelf1",
    "zlib1g",
    "libmnl0",
    "libselinux1",
    "libpcre2-8-0",
    "libtirpc3",
    "libgssapi-krb5-2",
    "libkrb5-3",
    "libk5crypto3",
    "libcom-err2",
    "libkrb5support0",
    "libkeyutils1",
    "libxtables12",
    "libidn2-0",
    "libunistring2",
]

# The kernel's own modules that the board needs (their dependencies follow
# from each module's depends=): padprobe's USB serial line behind an xHCI
# controller, veth for the NAN radio between the two boards' network
# namespaces, and the virtio console of the second board.
KERNEL_MODULES = ["xhci_pci", "ftdi_sio", "veth", "virtio_mmio", "virtio_console"]

# Left out of the initramfs: documentation, locales, character set
# converters, and the packages' maintainer leftovers.
PRUNE = [
    "usr/share/doc",
    "usr/share/man",
    "usr/share/locale",
    "usr/share/lintian",
    "usr/share/bug",
    "usr/lib/arm-linux-gnueabihf/gconv",
    "usr/lib/arm-linux-gnueabihf/audit",
]

LIBRARY_DIRS = ["lib/arm-linux-gnueabihf", "usr/lib/arm-linux-gnueabihf", "lib", "usr/lib"]


class ImageError(Exception):
    pass


def say(text):
    print(f"vm: {text}", flush=True, file=sys.stderr)


def cache_dir():
    base = os.environ.get("XDG_CACHE_HOME") or os.path.expanduser("~/.cache")
    return os.environ.get("BOARD_VM_CACHE") or os.path.join(base, "board-vm")


def _run(argv, **kwargs):
    proc = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, **kwargs)
    if proc.returncode != 0:
        raise ImageError(f"{' '.join(argv)}: {proc.stderr.strip() or proc.stdout.strip()}")
    return proc.stdout


def fetch_kernel():
    """The kernel's files, as sim/kmod/fetch-kernel reports them."""
    out = _run([FETCH_KERNEL, "--quiet"])
    kernel = {}
    for line in out.splitlines():
        if "=" in line:
            key, value = line.split("=", 1)
            kernel[key] = value
    for key in ("KERNEL_ABI", "KERNEL_VMLINUZ", "KERNEL_MODULES"):
        if key not in kernel:
            raise ImageError(f"{FETCH_KERNEL} did not report {key}")
    return kernel


def fetch_runtime():
    """The runtime packages' .deb files, downloaded once into the cache."""
    folder = os.path.join(cache_dir(), "runtime-debs")
    os.makedirs(folder, exist_ok=True)
    missing = [
        name for name in RUNTIME_PACKAGES if not glob.glob(os.path.join(folder, f"{name}_*.deb"))
    ]
    if missing:
        say(f"downloading {len(missing)} armhf packages into {folder}")
        argv = ["apt-get", "download", "-q"] + [f"{name}:armhf" for name in missing]
        proc = subprocess.run(argv, cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        if proc.returncode != 0:
            # Stale package lists name versions that left the archive.
            say("refreshing the package lists")
            # As root (through sudo otherwise), waiting while apt is busy.
            _run(["bash", "-c", "source scripts/lib.sh && apt_waiting update -q"], cwd=REPO)
            _run(argv, cwd=folder)
    debs = []
    for name in RUNTIME_PACKAGES:
        found = sorted(glob.glob(os.path.join(folder, f"{name}_*.deb")))
        debs.append(found[-1])
    return debs


# Where the trees that hold an armhf package and simulated libsdcore are:
# the package stage's (dist/ from build-armhf/), the armhf preset's, and the
# one that sim/vm and the vm stage build for themselves.
PACKAGE_TREES = [
    (os.path.join(REPO, "dist"), os.path.join(REPO, "build-armhf")),
    (os.path.join(REPO, "build-armhf", "packages"), os.path.join(REPO, "build-armhf")),
    (os.path.join(REPO, "build-vm", "armhf", "packages"), os.path.join(REPO, "build-vm", "armhf")),
]
SDCORE = os.path.join("lib", "sdcore-sim", "libsdcore.so")


def _built_packages():
    """(package, its tree) for every armhf board-tools package built here."""
    found = []
    for folder, tree in PACKAGE_TREES:
        for deb in glob.glob(os.path.join(folder, "board-tools_*_armhf.deb")):
            found.append((deb, tree))
    return found


def build_package():
    """Builds the armhf package and simulated libsdcore in build-vm/armhf/
    (the vm stage's tree), installing the cross toolchain when missing."""
    say("no armhf board-tools package here: building one in build-vm/armhf/")
    script = (
        "source scripts/lib.sh && source scripts/packages.sh && source scripts/vm.sh && vm_package"
    )
    proc = subprocess.run(["bash", "-c", script], cwd=REPO, stdout=sys.stderr)
    if proc.returncode != 0:
        raise ImageError("building the armhf package failed (output above)")


# Programs sim/vm runs, and which of VM_PACKAGES (scripts/lib.sh) brings them.
TOOLS = ["qemu-system-arm", "cpio", "readelf", "make", "arm-linux-gnueabihf-gcc", "mmdebstrap"]


def ensure_tools():
    """Installs the virtual board's packages when a program it runs is missing."""
    missing = [tool for tool in TOOLS if shutil.which(tool) is None]
    if not missing:
        return
    say(f"missing {', '.join(missing)}: installing the virtual board's packages")
    script = 'source scripts/lib.sh && ensure_packages "${VM_PACKAGES[@]}"'
    proc = subprocess.run(["bash", "-c", script], cwd=REPO, stdout=sys.stderr)
    if proc.returncode != 0:
        raise ImageError("installing the virtual board's packages failed (output above)")


def find_package(explicit=None, build=True):
    """The armhf board-tools package: the given one, or the newest built,
    built first when there is none (unless `build` is false)."""
    if explicit:
        if not os.path.isfile(explicit):
            raise ImageError(f"{explicit}: no such package")
        return explicit
    found = _built_packages()
    if not found and build:
        build_package()
        found = _built_packages()
    if not found:
        raise ImageError(
            "no armhf board-tools package: run `./run-tests package` or `sim/vm build`"
        )
    return max(found, key=lambda item: os.path.getmtime(item[0]))[0]


def find_sdcore(explicit=None, package=None):
    """The armhf simulated libsdcore: the given one, else the one built in
    the same tree as `package`, else any built."""
    if explicit:
        if not os.path.isfile(explicit):
            raise ImageError(f"{explicit}: the armhf simulated libsdcore is not built")
        return explicit
    trees = [tree for deb, tree in _built_packages() if deb == package]
    trees += [tree for _, tree in PACKAGE_TREES]
    for tree in trees:
        path = os.path.join(tree, SDCORE)
        if os.path.isfile(path):
            return path
    build_package()
    path = os.path.join(REPO, "build-vm", "armhf", SDCORE)
    if not os.path.isfile(path):
        raise ImageError(f"{path}: the armhf simulated libsdcore is not built")
    return path


def board_modules(explicit=None):
    """Our device modules (.ko), built by sim/kmod/build when not given."""
    if explicit is not None:
        paths = [os.path.abspath(p) for p in explicit]
    else:
        if not os.path.exists(BUILD_KMOD):
            raise ImageError(f"{BUILD_KMOD} is missing: the device modules cannot be built")
        out = _run([BUILD_KMOD])
        paths = [line.strip() for line in out.splitlines() if line.strip().endswith(".ko")]
    for path in paths:
        if not os.path.isfile(path):
            raise ImageError(f"{path}: no such module")
    return paths


def _needed(path):
    """DT_NEEDED names of an ELF file, or None when it is not a dynamic ELF file."""
    with open(path, "rb") as f:
        if f.read(4) != b"\x7fELF":
            return None
    proc = subprocess.run(
        ["readelf", "-d", "-W", path], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True
    )
    names = []
    for line in proc.stdout.splitlines():
        if "(NEEDED)" in line and "[" in line:
            names.append(line.split("[", 1)[1].split("]", 1)[0])
    return names


def check_libraries(root, programs):
    """Every shared library that `programs` (paths in root) load, transitively, is in root."""
    missing = set()
    seen = set()
    todo = list(programs)
    while todo:
        path = todo.pop()
        if path in seen:
            continue
        seen.add(path)
        for name in _needed(path) or []:
            for folder in LIBRARY_DIRS:
                candidate = os.path.join(root, folder, name)
                if os.path.exists(candidate):
                    todo.append(os.path.realpath(candidate))
                    break
            else:
                missing.add(f"{name} (for {os.path.relpath(path, root)})")
    if missing:
        raise ImageError("libraries missing from the image: " + ", ".join(sorted(missing)))


def build(image_dir=IMAGE_DIR, package=None, sdcore=None, modules=None):
    """Builds the initramfs; returns the paths of kernel, initramfs and package."""
    kernel = fetch_kernel()
    debs = fetch_runtime()
    package = find_package(package)
    sdcore = find_sdcore(sdcore, package)
    ours = board_modules(modules)

    root = os.path.join(image_dir, "root")
    if os.path.exists(root):
        shutil.rmtree(root)
    os.makedirs(root)
    say(f"initramfs: {len(debs)} runtime packages, {os.path.basename(package)}")
    for deb in debs + [package]:
        _run(["dpkg-deb", "-x", deb, root])
    for item in PRUNE:
        shutil.rmtree(os.path.join(root, item), ignore_errors=True)

    # The board's image provides libsdcore.so on the loader's default path,
    # and an iw that lists the NAN interface (here the simulated board's).
    shutil.copy(sdcore, os.path.join(root, "usr", "lib", "libsdcore.so"))
    os.makedirs(os.path.join(root, "usr", "sbin"), exist_ok=True)
    shutil.copy(os.path.join(REPO, "sim", "nan", "bin", "iw"), os.path.join(root, "usr/sbin/iw"))
    # The radio between the two boards, set up by init (sim/vm_parts/radio.sh).
    os.makedirs(os.path.join(root, "usr", "lib", "board-vm"), exist_ok=True)
    shutil.copy(
        os.path.join(HERE, "radio.sh"), os.path.join(root, "usr", "lib", "board-vm", "radio")
    )
    os.chmod(os.path.join(root, "usr", "lib", "board-vm", "radio"), 0o755)

    available = modinfo.index_modules(kernel["KERNEL_MODULES"])
    order = modinfo.load_order(KERNEL_MODULES, available)
    module_dir = os.path.join("lib", "modules", kernel["KERNEL_ABI"])
    lines = []
    for path in order:
        rel = os.path.join(module_dir, os.path.relpath(path, kernel["KERNEL_MODULES"]))
        os.makedirs(os.path.dirname(os.path.join(root, rel)), exist_ok=True)
        shutil.copy(path, os.path.join(root, rel))
        lines.append("/" + rel)
    for path in ours:
        rel = os.path.join(module_dir, "extra", os.path.basename(path))
        os.makedirs(os.path.dirname(os.path.join(root, rel)), exist_ok=True)
        shutil.copy(path, os.path.join(root, rel))
        lines.append("/" + rel)
    os.makedirs(os.path.join(root, "etc", "board-vm"), exist_ok=True)
    with open(os.path.join(root, "etc", "board-vm", "modules"), "w") as f:
        f.write("".join(line + "\n" for line in lines))
    shutil.copy(
        os.path.join(HERE, "layer", "etc", "board-vm", "radio.env"),
        os.path.join(root, "etc", "board-vm"),
    )

    shutil.copy(os.path.join(HERE, "init.sh"), os.path.join(root, "init"))
    os.chmod(os.path.join(root, "init"), 0o755)

    programs = [os.path.join(root, "bin", name) for name in ("busybox", "dash", "ip", "ping")]
    programs += glob.glob(os.path.join(root, "usr", "bin", "*"))
    programs.append(os.path.join(root, "usr", "lib", "libsdcore.so"))
    check_libraries(root, [p for p in programs if os.path.isfile(p) and not os.path.islink(p)])

    initrd = os.path.join(image_dir, "initrd.cpio")
    write_cpio(root, initrd)
    vmlinuz = os.path.join(image_dir, "vmlinuz")
    if os.path.lexists(vmlinuz):
        os.unlink(vmlinuz)
    os.symlink(kernel["KERNEL_VMLINUZ"], vmlinuz)
    say(f"image: {vmlinuz}, {initrd} ({os.path.getsize(initrd) // 1024} KiB)")
    return {"kernel": vmlinuz, "initrd": initrd, "package": package}


def write_cpio(root, out, extra=None):
    """An uncompressed newc archive of `root` (the guest unpacks it faster
    than it would inflate a compressed one), owned by root."""
    names = []
    for top, dirs, files in os.walk(root):
        dirs.sort()
        for name in sorted(dirs + files):
            names.append(os.path.relpath(os.path.join(top, name), root))
    with open(out + ".tmp", "wb") as f:
        proc = subprocess.run(
            ["cpio", "-o", "-H", "newc", "-R", "0:0", "--quiet"],
            cwd=root,
            input="\n".join(names).encode() + b"\n",
            stdout=f,
            stderr=subprocess.PIPE,
        )
    if proc.returncode != 0:
        raise ImageError(f"cpio: {proc.stderr.decode().strip()}")
    os.replace(out + ".tmp", out)
