# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The emulated machine under both virtual boards (the busybox initramfs
board and the Debian board with systemd): QEMU's ARM `virt` machine with
two Cortex-A15 cores, as tests/vm/qemu.yaml describes it too, and the USB
serial adapter that carries padprobe's UART (/dev/ttyUSB0 on the board)."""

# What every boot tells the kernel: the console on the PL011, quiet.
CONSOLE_ARGS = "console=ttyAMA0 quiet"


def argv(kernel, initrd, append="", memory="256M"):
    """qemu-system-arm booting `kernel` with `initrd`; `append` is added to
    the console arguments."""
    return [
        "qemu-system-arm",
        "-M",
        "virt,highmem=off",
        "-cpu",
        "cortex-a15",
        "-smp",
        "2",
        "-m",
        memory,
        "-nic",
        "none",
        "-nographic",
        "-kernel",
        kernel,
        "-initrd",
        initrd,
        "-append",
        f"{CONSOLE_ARGS} {append}".strip(),
    ]


def uart_args(socket_path):
    """padprobe's UART: a USB serial adapter whose other end is the host's
    Unix socket at `socket_path` (reconnected when the host side restarts)."""
    return [
        "-device",
        "qemu-xhci",
        "-chardev",
        f"socket,id=uart,path={socket_path},reconnect=1",
        "-device",
        "usb-serial,chardev=uart",
    ]
