# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""Helpers for the NAN system tests: the two boards' network, nanpeer
configuration files, nanpeer runs in the boards, their output and the
simulated library's trace."""
import contextlib
import itertools
import json
import os
import re
import shutil
import signal
import struct
import subprocess
import tempfile
import time

import boardtest

PUBLISHER_MAC = "02:00:00:00:00:01"
SUBSCRIBER_MAC = "02:00:00:00:00:02"
COLOUR = re.compile(rb"\x1b\[[0-9;]*m")
_names = itertools.count()


@contextlib.contextmanager
def nan_network():
    """Two boards in radio range: yields (publisher namespace, subscriber
    namespace, medium folder) and removes all of it afterwards."""
    name = f"nt{os.getpid()}x{next(_names)}"
    subprocess.run([boardtest.BOARD, "net", "up", name], check=True, stdout=subprocess.DEVNULL)
    # Socket paths must stay short (108 bytes), so not under pytest's tmp_path.
    medium = tempfile.mkdtemp(prefix="nanmed-")
    try:
        yield f"{name}-a", f"{name}-b", medium
    finally:
        for netns in (f"{name}-a", f"{name}-b"):
            kill_everything_in(netns)
        subprocess.run([boardtest.BOARD, "net", "down", name], check=True)
        shutil.rmtree(medium, ignore_errors=True)


def kill_everything_in(netns):
    """SIGKILL for what a failed test left running in a namespace (a board
    killed from outside cannot pass SIGKILL on to its command)."""
    pids = subprocess.run(
        ["ip", "netns", "pids", netns], capture_output=True, text=True
    ).stdout.split()
    for pid in pids:
        try:
            os.kill(int(pid), signal.SIGKILL)
        except ProcessLookupError:
            pass


def bin_path():
    return {
        "iw": {"iw_path": "iw"},
        "nan_r3": {"nan_r3_path": "/opt/nan/r3"},
        "wpa_supplicant": {
            "wpa_supplicant_path": "/usr/sbin/wpa_supplicant",
            "wpa_supplicant_conf_path": "/etc/wpa_supplicant.conf",
            "wpa_supplicant_log_file": "/tmp/wpa_supplicant.log",
            "wpa_supplicant_dbg_para": "-d",
        },
    }


def security_keys(security, key=None, nik_caching=1, bstrap="opp"):
    """The keys of one security type, for a section of either role."""
    if security == "pmk":
        return {"security": "pmk", "pmk_key": key or "0123456789abcdef0123456789abcdef"}
    if security == "passphrase":
        return {"security": "passphrase", "passphrase": key or "letmein-please"}
    if security == "pairing":
        return {
            "security": "pairing",
            "bstrap_method": bstrap,
            "pairing_passphrase": key or "pairpw",
            "nik_caching": nik_caching,
        }
    return {"security": "open"}


def publisher_config(path, services, mac=PUBLISHER_MAC):
    """`services`: dicts with at least start_cmd and end_cmd, plus security keys."""
    sections = {}
    for number, extra in enumerate(services, start=1):
        section = {
            "publish_id": number,
            "service_name": f"svc{number}",
            "name_of_service_instance": f"svc-{number}",
            "textinfo": "9 txtvers=1|0x06 path=/",
            "hostname": "nanhost",
            "port_number": 8080 + number,
        }
        section.update(extra)
        sections[f"publish{number}"] = section
    _write(path, {"bin_path": bin_path(), "basic": {"mac_addr": mac}, "dns_sd_record": sections})
    return path


def subscriber_config(path, service_name="svc1", mac=SUBSCRIBER_MAC, **keys):
    section = {"subscribe_id": 1, "service_name": service_name}
    section.update(keys or security_keys("open"))
    _write(
        path,
        {
            "bin_path": bin_path(),
            "basic": {"mac_addr": mac},
            "dns_sd_record": {"subscribe": section},
        },
    )
    return path


def _write(path, document):
    with open(path, "w") as out:
        json.dump(document, out, indent=1)


class Peer:
    """One nanpeer running in a board; its output goes to a file."""

    def __init__(self, netns, medium, role, config, out_dir, args=(), faults=(), trace=None):
        self.role = role
        self.netns = netns
        self.output_path = os.path.join(out_dir, f"{role}.out")
        self.trace_path = trace or os.path.join(out_dir, f"{role}.trace")
        board = [
            "--netns",
            netns,
            "--nan-medium",
            medium,
            "--nan-trace",
            self.trace_path,
            "--nan-announce-ms",
            "300",
        ]
        for fault in faults:
            board += ["--nan-fault", fault]
        self._out = open(self.output_path, "wb")
        self.started = time.monotonic()
        self.proc = boardtest.start(
            ["nanpeer", "-r", role, "-f", config, *args],
            board=board,
            stdout=self._out,
            stderr=subprocess.STDOUT,
        )

    def output(self):
        with open(self.output_path, "rb") as text:
            return COLOUR.sub(b"", text.read()).decode(errors="replace")

    def wait_for(self, pattern, timeout=60, count=1):
        """Waits until `pattern` (a regex) appears `count` times in the output."""
        regex = re.compile(pattern, re.M)
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if len(regex.findall(self.output())) >= count:
                return True
            if self.proc.poll() is not None:
                break
            time.sleep(0.1)
        raise AssertionError(f"{self.role}: no {pattern!r} (x{count}) in:\n{self.output()}")

    def wait_for_event(self, name, timeout=60, count=1):
        """Waits until the library has delivered event `name` `count` times.
        nanpeer's own output is block-buffered in a file, so what happens
        without a shell command in between shows in its output only at exit;
        the trace is written at once."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if len(events(self.trace(), name)) >= count:
                return True
            if self.proc.poll() is not None:
                break
            time.sleep(0.1)
        raise AssertionError(f"{self.role}: no {name} (x{count}) in the trace")

    def stop(self, sig=None, timeout=60):
        status = (
            boardtest.stop(self.proc, timeout=timeout)
            if sig is None
            else boardtest.stop(self.proc, sig=sig, timeout=timeout)
        )
        self._out.close()
        return status

    def wait(self, timeout=90):
        status = self.proc.wait(timeout=timeout)
        self._out.close()
        return status

    def trace(self):
        return read_trace(self.trace_path)

    def kill(self):
        """Ends the run whatever state it is in: SIGTERM first, so the board
        passes it on and cleans up, then SIGKILL for all of it."""
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(timeout=20)
            except subprocess.TimeoutExpired:
                kill_everything_in(self.netns)
                self.proc.kill()
                self.proc.wait()
        self._out.close()


@contextlib.contextmanager
def peers(*made):
    """Makes sure every peer ends, whatever the test does."""
    try:
        yield made
    finally:
        for peer in made:
            peer.kill()


@contextlib.contextmanager
def publisher_and_subscriber(out_dir, pub_cfg, sub_cfg, sub_faults=()):
    """A publisher and a subscriber started on the two ends of a fresh
    network; yields (publisher, subscriber) and ends both afterwards."""
    with nan_network() as (pub_ns, sub_ns, medium):
        pub = Peer(pub_ns, medium, "publish", pub_cfg, out_dir)
        sub = Peer(sub_ns, medium, "subscribe", sub_cfg, out_dir, faults=sub_faults)
        with peers(pub, sub):
            yield pub, sub


def read_trace(path):
    """The simulator's trace lines as (time µs, pid, kind, name, {key: value})."""
    lines = []
    if not os.path.exists(path):
        return lines
    with open(path) as text:
        for line in text:
            words = line.split()
            if len(words) < 4:
                continue
            fields = dict(word.split("=", 1) for word in words[4:] if "=" in word)
            lines.append((int(words[0]), words[1].split("/")[0], words[2], words[3], fields))
    return lines


def calls(trace, name):
    return [entry for entry in trace if entry[2] == "call" and entry[3] == name]


def events(trace, name):
    return [entry for entry in trace if entry[2] == "event-begin" and entry[3] == name]


def lines_of(path):
    if not os.path.exists(path):
        return []
    with open(path) as text:
        return text.read().splitlines()


# nanpeer with the libsdcore double instead of the simulated library: the
# double delivers the events of a script (NANPEER_DOUBLE_EVENTS) when given
# calls are made, and stand-ins for iw, ip and ping6 come first on PATH.

DNS_DISCOVERY_RESULT = 0
DNS_DATA_INDICATION = 1
DNS_DATA_CONFIRM = 2
DNS_DATA_ESTABLISHED = 3
DNS_BSTRAP_RESULT = 4
DNS_PASN_RESULT = 5
DNS_DATA_END = 8

INITIATOR_NDI = bytes.fromhex("001122334455")
RESPONDER_NDI = bytes.fromhex("00aabbccddee")
PEER_NMI = bytes.fromhex("020000000009")


def _text(value, size):
    return value.encode().ljust(size, b"\0")[:size]


def discovery_record(publisher_id=1, subscribe_id=1, pmk_set=0, pairing_enable=0, paired=0):
    """DNS_DISCOVERY_RESULT, 596 bytes."""
    return (
        struct.pack("<BB", subscribe_id, publisher_id)
        + PEER_NMI
        + bytes(6)
        + _text("svc1", 256)
        + _text("svc-1", 64)
        + bytes(256)
        + struct.pack("<HBBBB", 0, pmk_set, pairing_enable, paired, 0)
    )


def indication_record(publish_id, ndp_id, security=0):
    """DNS_DATA_INDICATION, 25 bytes."""
    return (
        struct.pack("<BBBB", 1, publish_id, ndp_id, 0)
        + INITIATOR_NDI
        + RESPONDER_NDI
        + struct.pack("<B", security)
        + bytes(8)
    )


def confirm_record(ndp_id, status=0):
    """DNS_DATA_CONFIRM, 284 bytes."""
    return (
        struct.pack("<BBBBB", 2, status, ndp_id, 0, 0)
        + INITIATOR_NDI
        + RESPONDER_NDI
        + _text("peerhost", 256)
        + struct.pack("<BH", 0, 8080)
        + bytes(8)
    )


def established_record(ndp_id):
    """DNS_DATA_ESTABLISHED, 9 bytes."""
    return struct.pack("<BBB", 3, 0, ndp_id) + bytes(6)


def data_end_record(ndp_id):
    """DNS_DATA_END, 3 bytes."""
    return struct.pack("<BBB", 8, 0, ndp_id)


def script_line(call, how, event_id, record, delay_ms=0, length=None):
    """One line of the double's event script: `how` is "inside" (from inside
    the call, on the caller's thread) or "thread" (from the double's thread,
    delay_ms after the event queued before it). `call` may end in #N."""
    size = len(record) if length is None else length
    return f"{call} {how} {delay_ms} {event_id} {size} {record.hex() or '-'}\n"


STAND_IN = """#!/bin/sh
# Logs its command line. With a file hold-NAME or hold-NAME-FIRSTWORD it
# holds for the seconds written there and then logs that it is done.
echo "{name} $*" >> {dir}/commands.log
hold={dir}/hold-{name}
[ -f "$hold-$1" ] && hold="$hold-$1"
if [ -f "$hold" ]; then
    echo $$ >> {dir}/held.pids
    sleep "$(cat "$hold")"
    echo "{name} $1 done" >> {dir}/commands.log
fi
"""


class DoubleRun:
    """One nanpeer run in the board against the scripted double."""

    def __init__(self, out_dir, role, config, script, args=(), holds=None):
        double = os.path.join(boardtest.BUILD, "tests", "nanpeer-double")
        if not os.path.exists(os.path.join(double, "libsdcore.so")):
            raise AssertionError("the libsdcore double is not built")
        self.dir = str(out_dir)
        stand_ins = os.path.join(self.dir, "bin")
        os.makedirs(stand_ins, exist_ok=True)
        for name in ("ip", "ping6", "svc"):
            _write_executable(
                os.path.join(stand_ins, name), STAND_IN.format(name=name, dir=self.dir)
            )
        mac = PUBLISHER_MAC if role == "publish" else SUBSCRIBER_MAC
        _write_executable(
            os.path.join(stand_ins, "iw"),
            f"#!/bin/sh\necho 'phy#0'\necho '\tInterface nan0'\necho '\t\taddr {mac}'\n",
        )
        for name, seconds in (holds or {}).items():
            with open(os.path.join(self.dir, f"hold-{name}"), "w") as out:
                out.write(f"{seconds}\n")
        script_path = os.path.join(self.dir, "events.script")
        with open(script_path, "w") as out:
            out.write("".join(script))
        self.calls_path = os.path.join(self.dir, "calls.log")
        self.commands_path = os.path.join(self.dir, "commands.log")
        self.output_path = os.path.join(self.dir, f"{role}.out")
        env = dict(os.environ)
        env["LD_LIBRARY_PATH"] = double
        env["NANPEER_DOUBLE_LOG"] = self.calls_path
        env["NANPEER_DOUBLE_EVENTS"] = script_path
        env["PATH"] = stand_ins + os.pathsep + env.get("PATH", "/usr/bin:/bin")
        self._out = open(self.output_path, "wb")
        self.proc = boardtest.start(
            ["nanpeer", "-r", role, "-f", config, *args],
            stdout=self._out,
            stderr=subprocess.STDOUT,
            env=env,
        )

    def output(self):
        with open(self.output_path, "rb") as text:
            return COLOUR.sub(b"", text.read()).decode(errors="replace")

    def calls(self):
        """The library calls, as "name number flag" lines."""
        return lines_of(self.calls_path)

    def commands(self):
        return lines_of(self.commands_path)

    def wait_for_command(self, prefix, timeout=30, count=1, after_exit=False):
        """Waits until `count` lines starting with `prefix` are in the command
        log; after_exit: also once nanpeer has ended (commands it left)."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if sum(line.startswith(prefix) for line in self.commands()) >= count:
                return time.monotonic()
            if self.proc.poll() is not None and not after_exit:
                break
            time.sleep(0.02)
        raise AssertionError(f"no {prefix!r} (x{count}) in {self.commands()}:\n{self.output()}")

    def stop(self, sig=signal.SIGINT, timeout=60):
        """Sends `sig`; returns (status, seconds until the run ended)."""
        began = time.monotonic()
        status = boardtest.stop(self.proc, sig=sig, timeout=timeout)
        took = time.monotonic() - began
        self._out.close()
        return status, took

    def wait(self, timeout=60):
        status = self.proc.wait(timeout=timeout)
        self._out.close()
        return status

    def kill(self):
        """Ends the run and every stand-in still holding."""
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        if not self._out.closed:
            self._out.close()
        for pid in lines_of(os.path.join(self.dir, "held.pids")):
            # Only a stand-in of this run: the number may have been reused.
            if self.dir not in _command_line(pid):
                continue
            for victim in _children(pid) + [pid]:
                try:
                    os.kill(int(victim), signal.SIGKILL)
                except ProcessLookupError:
                    pass


@contextlib.contextmanager
def double_run(*args, **kwargs):
    """A DoubleRun that is ended whatever the test does."""
    run = DoubleRun(*args, **kwargs)
    try:
        yield run
    finally:
        run.kill()


def _command_line(pid):
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as text:
            return text.read().decode(errors="replace")
    except FileNotFoundError:
        return ""


def _children(pid):
    try:
        with open(f"/proc/{pid}/task/{pid}/children") as text:
            return text.read().split()
    except FileNotFoundError:
        return []


def _write_executable(path, text):
    with open(path, "w") as out:
        out.write(text)
    os.chmod(path, 0o755)
