# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The virtual board with Debian and systemd: an armhf root file system.

A board image as an integrator would make one: Debian's essential packages,
systemd and udev, iproute2 and iputils, and the libraries board-tools
depends on; dpkg's database is real, so the package is installed on it the
way a lab installs it (dpkg -i), never baked in.

Built in two steps, cached by the package list and the second step's script
(`<cache>/debian-<key>/root.ext4`):
1. On this machine, mmdebstrap downloads the packages and unpacks them
   (its `extract` variant runs nothing of the target's), and mke2fs writes
   the tree into an ext4 image. Nothing here needs binfmt_misc or qemu-user,
   which a container often lacks.
2. The board itself configures its packages: the kernel boots with a small
   initramfs (busybox, the virtio disk and ext4 modules) whose init mounts
   the image and runs `dpkg --install` on the downloaded packages in a
   chroot, natively on the emulated ARM CPU.

Boots use the cached image read-only (QEMU's snapshot=on): every boot starts
from the same clean board, and the board's own parts that change with the
tree (our device modules, the simulated libsdcore, the iw stand-in, the
radio's set-up) ride in the boot initramfs and are copied in before
switch_root.
"""
import fcntl
import hashlib
import os
import shutil
import subprocess
import tempfile

from vm_parts import image, machine, modinfo

SUITE = "bookworm"
SIZE = "1G"

# What the board image holds besides Debian's essential set: init, udev,
# the network tools nanpeer starts, and board-tools' dependencies (a board
# image has them; the lab's dpkg -i does not fetch anything).
PACKAGES = [
    # Essential: yes in bookworm.
    "base-files",
    "base-passwd",
    "bash",
    "bsdutils",
    "coreutils",
    "dash",
    "debconf",
    "debianutils",
    "diffutils",
    "dpkg",
    "findutils",
    "grep",
    "gzip",
    "hostname",
    "init-system-helpers",
    "libc-bin",
    "login",
    "mawk",
    "ncurses-base",
    "ncurses-bin",
    "perl-base",
    "sed",
    "sysvinit-utils",
    "tar",
    "util-linux",
    # /bin, /sbin and /lib are links into /usr, made before the unpacking.
    "usr-is-merged",
    "passwd",
    "systemd",
    "systemd-sysv",
    "udev",
    "iproute2",
    "iputils-ping",
    "procps",
    "libjson-c5",
    "libcjson1",
    "libstdc++6",
    "libgcc-s1",
]

# Modules the boot initramfs loads: the root disk on virtio-mmio and its
# file system, the second console (the peer board's), padprobe's USB
# serial line and the radio's veth pair (the image has no /lib/modules: the
# board's drivers are there from the start, as if built in).
BOOT_MODULES = [
    "virtio_mmio",
    "virtio_blk",
    # ext4 checks its metadata with crc32c, which it asks the crypto API
    # for (no module dependency names it).
    "crc32c_generic",
    "ext4",
    "virtio_console",
    "xhci_pci",
    "ftdi_sio",
    "veth",
    "autofs4",
]

HERE = image.HERE
STAGE2 = os.path.join(HERE, "debian-stage2.sh")
BOOT_INIT = os.path.join(HERE, "boot.sh")
LAYER = os.path.join(HERE, "layer")
STAGE2_OK = b"@@board-vm:stage2 ok@@"


def _key():
    digest = hashlib.sha256()
    digest.update(SUITE.encode())
    digest.update("\n".join(PACKAGES).encode())
    with open(STAGE2, "rb") as f:
        digest.update(f.read())
    return digest.hexdigest()[:12]


def root_image():
    """The configured root file system image, built when the cache lacks it."""
    folder = os.path.join(image.cache_dir(), f"debian-{_key()}")
    path = os.path.join(folder, "root.ext4")
    if os.path.exists(path):
        return path
    os.makedirs(image.cache_dir(), exist_ok=True)
    with open(os.path.join(image.cache_dir(), "debian.lock"), "w") as lock:
        # Another sim/vm may be building the same image.
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not os.path.exists(path):
            _build_root(folder, path)
    return path


def _build_root(folder, path):
    work = folder + ".tmp"
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    root = os.path.join(work, "root")
    image.say(f"Debian {SUITE} armhf root file system: downloading {len(PACKAGES)} packages")
    merged_usr = 'for d in bin sbin lib; do ln -s usr/$d "$1/$d"; mkdir -p "$1/usr/$d"; done'
    image._run(
        [
            "mmdebstrap",
            "--quiet",
            "--variant=extract",
            "--architectures=armhf",
            "--format=directory",
            "--include=" + ",".join(PACKAGES),
            "--setup-hook=" + merged_usr,
            # The downloaded packages stay for the board's own dpkg.
            "--skip=cleanup/apt/cache",
            SUITE,
            root,
        ]
    )
    shutil.copy(STAGE2, os.path.join(root, "board-vm-stage2"))
    raw = os.path.join(work, "root.ext4")
    image.say(f"root file system image: {raw} ({SIZE}, sparse)")
    image._run(["mke2fs", "-q", "-t", "ext4", "-L", "board-root", "-d", root, raw, SIZE])
    shutil.rmtree(root)

    image.say("configuring the packages on the board itself (several minutes, once)")
    kernel = image.fetch_kernel()
    initrd = os.path.join(work, "boot.cpio")
    build_boot_initrd(initrd, kernel, ours=[], layer=None)
    argv = qemu_argv(
        kernel["KERNEL_VMLINUZ"], initrd, raw, snapshot=False, extra_append="board_stage2=1"
    )
    log = os.path.join(work, "stage2.log")
    with open(log, "wb") as out:
        proc = subprocess.run(
            argv + ["-serial", "stdio", "-monitor", "none"],
            stdin=subprocess.DEVNULL,
            stdout=out,
            stderr=subprocess.STDOUT,
            timeout=3600,
        )
    with open(log, "rb") as f:
        console = f.read()
    if proc.returncode != 0 or STAGE2_OK not in console:
        tail = console[-3000:].decode(errors="replace")
        raise image.ImageError(f"configuring the root file system failed; {log} ends with:\n{tail}")
    os.makedirs(folder, exist_ok=True)
    os.replace(raw, path)
    shutil.copy(log, os.path.join(folder, "stage2.log"))
    shutil.rmtree(work)
    image.say(f"root file system: {path}")


def build_boot_initrd(out, kernel, ours, layer):
    """The boot initramfs: busybox, BOOT_MODULES with their dependencies,
    the device modules `ours`, the init and, when given, the tree `layer`
    that init copies onto the root file system."""
    with tempfile.TemporaryDirectory(prefix="board-vm-boot-") as root:
        busybox = [deb for deb in image.fetch_runtime() if "/busybox-static_" in deb][0]
        unpacked = os.path.join(root, "busybox-deb")
        image._run(["dpkg-deb", "-x", busybox, unpacked])
        os.makedirs(os.path.join(root, "bin"))
        shutil.copy(os.path.join(unpacked, "bin", "busybox"), os.path.join(root, "bin", "busybox"))
        shutil.rmtree(unpacked)

        available = modinfo.index_modules(kernel["KERNEL_MODULES"])
        lines = []
        os.makedirs(os.path.join(root, "modules"))
        for path in modinfo.load_order(BOOT_MODULES, available) + list(ours):
            name = os.path.basename(path)
            shutil.copy(path, os.path.join(root, "modules", name))
            lines.append(f"/modules/{name}\n")
        os.makedirs(os.path.join(root, "etc", "board-vm"))
        with open(os.path.join(root, "etc", "board-vm", "modules"), "w") as f:
            f.write("".join(lines))
        shutil.copy(BOOT_INIT, os.path.join(root, "init"))
        os.chmod(os.path.join(root, "init"), 0o755)
        if layer:
            shutil.copytree(layer, os.path.join(root, "layer"), symlinks=True)
        image.write_cpio(root, out)


def build_layer(folder, sdcore):
    """What the board image gets from this tree at every boot: the simulated
    libsdcore, the iw stand-in and the virtual board's units and settings."""
    shutil.rmtree(folder, ignore_errors=True)
    shutil.copytree(LAYER, folder, symlinks=True)
    os.makedirs(os.path.join(folder, "usr", "lib"), exist_ok=True)
    shutil.copy(sdcore, os.path.join(folder, "usr", "lib", "libsdcore.so"))
    os.makedirs(os.path.join(folder, "usr", "sbin"), exist_ok=True)
    shutil.copy(
        os.path.join(image.REPO, "sim", "nan", "bin", "iw"),
        os.path.join(folder, "usr", "sbin", "iw"),
    )
    os.makedirs(os.path.join(folder, "usr", "lib", "board-vm"), exist_ok=True)
    shutil.copy(
        os.path.join(HERE, "radio.sh"), os.path.join(folder, "usr", "lib", "board-vm", "radio")
    )
    os.makedirs(os.path.join(folder, "etc", "profile.d"), exist_ok=True)
    with open(os.path.join(folder, "etc", "profile.d", "board-vm-radio.sh"), "w") as f:
        f.write("# The simulated NAN library's settings for the consoles' shells.\n")
        f.write("set -a\n. /etc/board-vm/radio.env\nset +a\n")
    os.chmod(os.path.join(folder, "usr", "lib", "board-vm", "radio"), 0o755)


def qemu_argv(kernel, initrd, root, snapshot=True, extra_append="", memory="512M"):
    """qemu-system-arm for the board booting the Debian image from virtio."""
    drive = f"if=none,id=root,format=raw,file={root}" + (",snapshot=on" if snapshot else "")
    return machine.argv(kernel, initrd, extra_append, memory) + [
        "-drive",
        drive,
        "-device",
        "virtio-blk-device,drive=root",
    ]
