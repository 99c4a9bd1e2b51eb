# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The virtual board on a lab bench: serial ports on this machine and power
by command, so that a lab's labgrid environment drives it as a real board.

    sim/vm bench up DIR [--lab-env FILE --package DEB]
    sim/vm power on DIR / sim/vm power off DIR
    sim/vm bench down DIR

`bench up` prepares the Debian image (systemd as init, no board-tools
package) and starts a background process that holds three host serial
ports as ptys, as the USB serial adapters of a lab would be: DIR/console
(the board's console, ttyAMA0), DIR/uart (padprobe's UART, /dev/ttyUSB0 on
the board) and DIR/peer (the second board's console, hvc0, in the network
namespace "peer"). They stay while the board's power comes and goes.
`power on` boots the board (QEMU, in the background, its messages in
DIR/qemu.log) and returns at once, as a switched port does; `power off`
cuts it. Every boot starts from the same clean image (QEMU's snapshot=on).

With --lab-env, `bench up` also writes DIR/env.yaml: the lab's environment
file with what a lab sets for its own boards replaced by this bench's
(board_lab_env below), so that the same targets, drivers and strategy run
against the virtual board.
"""
import json
import os
import signal
import subprocess
import time

import yaml

from vm_parts import debian, image, machine
from vm_parts.uart import UartRelay

PORTS = ("console", "uart", "peer")
SIM_VM = os.path.join(image.REPO, "sim", "vm")


def _started(pid):
    """The process's start time (clock ticks after boot), or None."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[19]
    except (OSError, IndexError):
        return None


def _write_pid(path, pid):
    with open(path, "w") as f:
        f.write(f"{pid} {_started(pid)}\n")


def _pid(path):
    """The live process that the pid file names, if it is still the one
    that wrote it (same start time): a stale file whose pid now belongs to
    some other process gives None."""
    try:
        with open(path) as f:
            pid, started = f.read().split()
        pid = int(pid)
    except (OSError, ValueError):
        return None
    return pid if _started(pid) == started else None


def _stop(path, sig=signal.SIGTERM, wait=10.0):
    pid = _pid(path)
    if pid is not None:
        os.kill(pid, sig)
        deadline = time.monotonic() + wait
        while _pid(path) == pid and time.monotonic() < deadline:
            time.sleep(0.05)
    if os.path.exists(path):
        os.unlink(path)


def qemu_argv(kernel, initrd, root, folder):
    argv = debian.qemu_argv(kernel, initrd, root)
    sockets = {name: os.path.join(folder, f"{name}.sock") for name in PORTS}
    argv += [
        "-chardev",
        f"socket,id=console,path={sockets['console']},reconnect=1",
        "-serial",
        "chardev:console",
        "-monitor",
        "none",
    ]
    argv += machine.uart_args(sockets["uart"])
    argv += [
        "-device",
        "virtio-serial-device",
        "-chardev",
        f"socket,id=peer,path={sockets['peer']},reconnect=1",
        "-device",
        "virtconsole,chardev=peer",
    ]
    return argv


def up(folder, sdcore=None, modules=None, lab_env=None, package=None):
    folder = os.path.abspath(folder)
    os.makedirs(folder, exist_ok=True)
    if _pid(os.path.join(folder, "bench.pid")):
        raise image.ImageError(f"{folder}: a bench is already up there")
    boot = prepare(folder, sdcore, modules)
    with open(os.path.join(folder, "qemu.json"), "w") as f:
        json.dump(qemu_argv(boot["kernel"], boot["initrd"], boot["root"], folder), f)
    if lab_env:
        if not package:
            package = image.find_package()
        with open(lab_env) as f:
            lab = yaml.safe_load(f)
        derived = board_lab_env(lab, os.path.dirname(os.path.abspath(lab_env)), folder, package)
        with open(os.path.join(folder, "env.yaml"), "w") as f:
            f.write(f"# Written by sim/vm bench up from {os.path.abspath(lab_env)}.\n")
            yaml.safe_dump(derived, f, sort_keys=False)

    # The ports' process: detached from this one, so that the bench stays
    # up after `bench up` returns.
    read_end, write_end = os.pipe()
    if os.fork() == 0:
        os.close(read_end)
        os.setsid()
        if os.fork() != 0:
            os._exit(0)
        _serve(folder, write_end)
        os._exit(0)
    os.close(write_end)
    with os.fdopen(read_end) as ready:
        if ready.read() != "up":
            raise image.ImageError(f"{folder}: the bench's ports did not come up")
    for name in PORTS:
        image.say(f"{name}: {os.path.join(folder, name)}")
    return 0


def _serve(folder, ready_fd):
    devnull = os.open(os.devnull, os.O_RDWR)
    for fd in (0, 1, 2):
        os.dup2(devnull, fd)
    relays = [UartRelay(os.path.join(folder, f"{n}.sock"), os.path.join(folder, n)) for n in PORTS]
    for relay in relays:
        relay.start()
    _write_pid(os.path.join(folder, "bench.pid"), os.getpid())
    stopping = []
    signal.signal(signal.SIGTERM, lambda *_: stopping.append(True))
    os.write(ready_fd, b"up")
    os.close(ready_fd)
    while not stopping:
        signal.pause()
    for relay in relays:
        relay.stop()


def down(folder):
    folder = os.path.abspath(folder)
    power(folder, "off")
    _stop(os.path.join(folder, "bench.pid"))
    return 0


def power(folder, state):
    folder = os.path.abspath(folder)
    pidfile = os.path.join(folder, "qemu.pid")
    if state == "off":
        # A cut, not a shutdown: QEMU ends at once.
        _stop(pidfile, signal.SIGKILL)
        return 0
    if _pid(pidfile):
        return 0
    if not _pid(os.path.join(folder, "bench.pid")):
        raise image.ImageError(f"{folder}: no bench is up there (sim/vm bench up {folder})")
    with open(os.path.join(folder, "qemu.json")) as f:
        argv = json.load(f)
    with open(os.path.join(folder, "qemu.log"), "ab") as log:
        proc = subprocess.Popen(
            argv,
            stdin=subprocess.DEVNULL,
            stdout=log,
            stderr=subprocess.STDOUT,
            start_new_session=True,
        )
    _write_pid(pidfile, proc.pid)
    return 0


def prepare(folder, sdcore=None, modules=None):
    """Kernel, boot initramfs (with this tree's layer) and the root image."""
    kernel = image.fetch_kernel()
    root = debian.root_image()
    sdcore = image.find_sdcore(sdcore)
    ours = image.board_modules(modules)
    layer = os.path.join(folder, "layer")
    debian.build_layer(layer, sdcore)
    initrd = os.path.join(folder, "boot.cpio")
    debian.build_boot_initrd(initrd, kernel, ours, layer)
    return {"kernel": kernel["KERNEL_VMLINUZ"], "initrd": initrd, "root": root}


def board_lab_env(lab, lab_dir, folder, package):
    """A lab's labgrid environment turned to this bench.

    What a lab writes for its own boards is replaced: every serial port
    resource becomes a RawSerialPort on the bench's pty (main's `console`
    and `uart`; peer's console is the bench's `peer`), the power drivers run
    `sim/vm power on|off` (the peer board shares main's power), the
    board-tools image is `package`, the option board_uart is /dev/ttyUSB0,
    and imports become absolute paths. Drivers, strategy and the other
    options stay the lab's.
    """
    ports = {
        ("main", "console"): "console",
        ("main", "uart"): "uart",
        ("peer", "console"): "peer",
    }
    out = dict(lab)
    out["imports"] = [os.path.join(lab_dir, path) for path in lab.get("imports", [])]
    targets = {}
    for name, target in lab.get("targets", {}).items():
        resources = []
        for item in _items(target.get("resources", [])):
            ((cls, args),) = item.items()
            args = dict(args or {})
            if cls in ("USBSerialPort", "RawSerialPort", "SerialPort"):
                port = ports.get((name, args.get("name", "console")))
                if port is None:
                    raise image.ImageError(f"the bench has no serial port for {name}'s {args}")
                new = {"port": os.path.join(folder, port), "speed": args.get("speed", 115200)}
                if "name" in args:
                    new = {"name": args["name"], **new}
                item = {"RawSerialPort": new}
            resources.append(item)
        drivers = []
        for item in _items(target.get("drivers", [])):
            ((cls, args),) = item.items()
            if cls.endswith("PowerDriver"):
                on = f"{SIM_VM} power on {folder}" if name == "main" else "true"
                off = f"{SIM_VM} power off {folder}" if name == "main" else "true"
                item = {"ExternalPowerDriver": {"cmd_on": on, "cmd_off": off}}
            drivers.append(item)
        targets[name] = {"resources": resources, "drivers": drivers}
    out["targets"] = targets
    out["images"] = dict(lab.get("images") or {}, **{"board-tools": os.path.abspath(package)})
    out["options"] = dict(lab.get("options") or {}, board_uart="/dev/ttyUSB0")
    return out


def _items(section):
    """A target's resources or drivers as a list of {class: args}."""
    if isinstance(section, dict):
        return [{cls: args} for cls, args in section.items()]
    return list(section)


def main(args):
    if args.action == "power":
        return power(args.dir, args.state)
    if args.state == "up":
        return up(args.dir, args.sdcore, args.module, args.lab_env, args.package)
    return down(args.dir)
