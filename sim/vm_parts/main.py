# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""sim/vm's command line: build the image, boot a shell, run one command."""
import argparse
import glob
import os
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile

from vm_parts import bench, debian, image, machine
from vm_parts.uart import UartRelay

BEGIN = b"@@board-vm:begin@@\n"
END = b"@@board-vm:end "


def qemu_argv(kernel, initrd, uart_socket=None):
    """qemu-system-arm for the busybox board; with padprobe's UART, init
    is told the host's end is up (it then waits for /dev/ttyUSB0)."""
    if not uart_socket:
        return machine.argv(kernel, initrd)
    return machine.argv(kernel, initrd, "board_uart=1") + machine.uart_args(uart_socket)


def _stale(initrd, inputs):
    if not os.path.exists(initrd):
        return True
    built = os.path.getmtime(initrd)
    return any(os.path.exists(p) and os.path.getmtime(p) > built for p in inputs)


def ensure_image(args):
    """The image, rebuilt when the package, library, modules or init changed."""
    initrd = os.path.join(args.image_dir, "initrd.cpio")
    kernel = os.path.join(args.image_dir, "vmlinuz")
    if args.build == "never":
        if not os.path.exists(initrd):
            raise image.ImageError(f"{initrd} is not built: run `sim/vm build`")
        return kernel, initrd
    package = image.find_package(args.package)
    inputs = [package, image.find_sdcore(args.sdcore, package)]
    inputs += [os.path.join(image.HERE, name) for name in ("init.sh", "image.py", "radio.sh")]
    inputs.append(os.path.join(image.HERE, "layer", "etc", "board-vm", "radio.env"))
    inputs += args.module or glob.glob(os.path.join(image.REPO, "sim", "kmod", "*.[ch]"))
    if args.build == "always" or _stale(initrd, inputs) or not os.path.exists(kernel):
        built = image.build(args.image_dir, args.package, args.sdcore, args.module)
        return built["kernel"], built["initrd"]
    return kernel, initrd


def _start_uart(args, workdir):
    if args.no_uart:
        return None
    relay = UartRelay(os.path.join(workdir, "uart.sock"), args.uart)
    relay.start()
    return relay


def cmd_build(args):
    args.build = "always"
    kernel, initrd = ensure_image(args)
    print(f"kernel {kernel}\ninitrd {initrd}")
    return 0


# sim/vm run --systemd: the command as a unit on the console, which
# nothing else writes to meanwhile (no login prompt there).
COMMAND_UNIT = """[Unit]
Description=sim/vm run's command
After=board-radio.service systemd-user-sessions.service

[Service]
# Not part of the boot: the command may wait for the boot to finish.
Type=simple
StandardInput=tty
StandardOutput=tty
StandardError=inherit
TTYPath=/dev/ttyAMA0
ExecStart=/usr/lib/board-vm/run-command
"""


def debian_boot(args, workdir, command=None):
    """qemu-system-arm for the Debian board with systemd as init, booting
    this tree's layer (and `command`, for run) from an initramfs in workdir."""
    boot = bench.prepare(workdir, args.sdcore, args.module)
    if command:
        layer = os.path.join(workdir, "layer")
        system = os.path.join(layer, "etc", "systemd", "system")
        with open(os.path.join(layer, "etc", "board-vm", "command"), "w") as f:
            f.write(shlex.join(command) + "\n")
        shutil.copy(
            os.path.join(image.HERE, "run-command.sh"),
            os.path.join(layer, "usr", "lib", "board-vm", "run-command"),
        )
        os.chmod(os.path.join(layer, "usr", "lib", "board-vm", "run-command"), 0o755)
        with open(os.path.join(system, "board-vm-command.service"), "w") as f:
            f.write(COMMAND_UNIT)
        os.symlink(
            "../board-vm-command.service",
            os.path.join(system, "multi-user.target.wants", "board-vm-command.service"),
        )
        os.symlink("/dev/null", os.path.join(system, "serial-getty@ttyAMA0.service"))
        debian.build_boot_initrd(
            boot["initrd"], image.fetch_kernel(), image.board_modules(args.module), layer
        )
    return debian.qemu_argv(boot["kernel"], boot["initrd"], boot["root"])


def cmd_shell(args):
    with tempfile.TemporaryDirectory(prefix="board-vm-") as workdir:
        if args.systemd:
            argv = debian_boot(args, workdir)
        else:
            kernel, initrd = ensure_image(args)
        relay = _start_uart(args, workdir)
        if relay:
            image.say(f"padprobe's UART: /dev/ttyUSB0 on the board, {relay.port} here")
        if args.systemd:
            argv += machine.uart_args(relay.socket_path) if relay else []
            image.say(
                "console on this terminal: log in as root (no password);"
                " leave with `poweroff` or Ctrl-A X"
            )
        else:
            image.say("console on this terminal; leave with `poweroff -f` or Ctrl-A X")
            argv = qemu_argv(kernel, initrd, relay.socket_path if relay else None)
        try:
            return subprocess.run(argv).returncode
        finally:
            if relay:
                relay.stop()


def cmd_run(args):
    command = args.command
    if command and command[0] == "--":
        command = command[1:]
    if not command:
        image.say("run: give a command after --")
        return 2
    if args.systemd:
        with tempfile.TemporaryDirectory(prefix="board-vm-") as workdir:
            argv = debian_boot(args, workdir, command)
            return _run_board(
                args, workdir, lambda socket: argv + (machine.uart_args(socket) if socket else [])
            )
    kernel, initrd = ensure_image(args)
    with tempfile.TemporaryDirectory(prefix="board-vm-") as workdir:
        # The command rides in a second archive appended to the initramfs;
        # the kernel unpacks both.
        extra = os.path.join(workdir, "command-root")
        os.makedirs(os.path.join(extra, "etc", "board-vm"))
        with open(os.path.join(extra, "etc", "board-vm", "command"), "w") as f:
            f.write(shlex.join(command) + "\n")
        combined = os.path.join(workdir, "initrd.cpio")
        image.write_cpio(extra, combined + ".extra")
        with open(combined, "wb") as out:
            for part in (initrd, combined + ".extra"):
                with open(part, "rb") as f:
                    shutil.copyfileobj(f, out)
        return _run_board(args, workdir, lambda socket: qemu_argv(kernel, combined, socket))


def _run_board(args, workdir, argv_with_uart):
    """Boots the board that runs the command, with padprobe's UART relayed
    unless --no-uart (argv_with_uart gets the relay's socket, or None);
    passes the command's output through and returns its exit status."""
    relay = _start_uart(args, workdir)
    if relay and args.uart:
        image.say(f"padprobe's UART: /dev/ttyUSB0 on the board, {relay.port} here")
    argv = argv_with_uart(relay.socket_path if relay else None)
    argv += ["-serial", "stdio", "-monitor", "none"]
    try:
        return _run_console(argv, args.verbose)
    finally:
        if relay:
            relay.stop()


def _run_console(argv, verbose):
    """Passes the command's output through; returns its exit status."""
    proc = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE)
    out = sys.stdout.buffer
    pending = b""
    inside = False
    status = None
    try:
        while True:
            chunk = proc.stdout.read1(65536)
            if not chunk:
                break
            pending += chunk
            if not inside:
                at = pending.find(BEGIN)
                if at < 0:
                    keep = len(BEGIN)
                    if verbose:
                        sys.stderr.buffer.write(pending[:-keep])
                    pending = pending[-keep:]
                    continue
                if verbose:
                    sys.stderr.buffer.write(pending[:at])
                pending = pending[at + len(BEGIN) :]
                inside = True
            at = pending.find(END)
            if at >= 0:
                out.write(pending[:at])
                out.flush()
                pending = pending[at:]
                tail = pending[len(END) :]
                if b"@@" not in tail:
                    continue  # the rest of the marker is still on its way
                status = int(tail.split(b"@@", 1)[0])
                break
            # Hold back what could be the start of the end marker.
            keep = len(END)
            out.write(pending[:-keep])
            out.flush()
            pending = pending[-keep:]
    finally:
        try:
            proc.wait(timeout=30)
        except subprocess.TimeoutExpired:
            proc.send_signal(signal.SIGTERM)
            proc.wait()
    if status is None:
        image.say("the board stopped before the command ended")
        return 125
    return status


def parser():
    p = argparse.ArgumentParser(
        prog="sim/vm",
        description="The virtual board: the armhf package on Debian's ARM kernel in QEMU.",
    )
    sub = p.add_subparsers(dest="action", required=True)

    def image_options(sp):
        sp.add_argument(
            "--image-dir",
            default=image.IMAGE_DIR,
            help="where the initramfs is built (default build-vm/)",
        )
        sp.add_argument("--package", metavar="DEB", help="the armhf board-tools package")
        sp.add_argument("--sdcore", metavar="SO", help="the armhf simulated libsdcore.so")
        sp.add_argument(
            "--module",
            metavar="KO",
            action="append",
            help="a device module to load instead of building sim/kmod's (repeatable)",
        )

    def boot_options(sp):
        image_options(sp)
        sp.add_argument(
            "--build",
            choices=["auto", "always", "never"],
            default="auto",
            help="rebuild the initramfs: when its inputs changed (default), always, never",
        )
        sp.add_argument(
            "--uart",
            metavar="LINK",
            help="make LINK a symlink to the host's end of padprobe's UART",
        )
        sp.add_argument("--no-uart", action="store_true", help="no USB serial adapter")
        sp.add_argument(
            "--systemd",
            action="store_true",
            help="boot the Debian root file system with systemd as init (no package installed)",
        )

    b = sub.add_parser("build", help="build the initramfs (build-vm/)")
    image_options(b)
    b.set_defaults(handler=cmd_build)
    s = sub.add_parser("shell", help="boot to a root shell on this terminal")
    boot_options(s)
    s.set_defaults(handler=cmd_shell)
    r = sub.add_parser("run", help="boot, run one command, power off: `run -- CMD...`")
    boot_options(r)
    r.add_argument("--verbose", action="store_true", help="show the boot messages on stderr")
    r.add_argument("command", nargs=argparse.REMAINDER)
    r.set_defaults(handler=cmd_run)

    be = sub.add_parser(
        "bench", help="the board's serial ports on this machine: `bench up|down DIR`"
    )
    be.add_argument("state", choices=["up", "down"])
    be.add_argument("dir", metavar="DIR", help="where the ports, power state and logs live")
    be.add_argument("--sdcore", metavar="SO", help="the armhf simulated libsdcore.so")
    be.add_argument("--module", metavar="KO", action="append", help="a device module (repeatable)")
    be.add_argument(
        "--lab-env", metavar="FILE", help="write DIR/env.yaml: this lab environment on the bench"
    )
    be.add_argument(
        "--package", metavar="DEB", help="the package env.yaml names (default: the newest built)"
    )
    be.set_defaults(handler=bench.main)
    pw = sub.add_parser("power", help="switch the bench's board: `power on|off DIR`")
    pw.add_argument("state", choices=["on", "off"])
    pw.add_argument("dir", metavar="DIR")
    pw.set_defaults(handler=bench.main)
    return p


def main(argv):
    args = parser().parse_args(argv)
    try:
        if not (args.action == "power" or getattr(args, "state", None) == "down"):
            image.ensure_tools()
        return args.handler(args)
    except (image.ImageError, image.modinfo.ModuleError) as err:
        image.say(str(err))
        return 1
