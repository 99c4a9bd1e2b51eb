# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""A fake padprobe at the board's end of a socket pair: a controller with
settings that a write may change or the controller refuse, answers as
padprobe gives them, frames while its monitor runs, and faults on demand
(silence with late answers, frames that stop, a restart's greeting)."""
import json
import socket
import threading
import time

from test_padlink_stream import frame_bytes

COMMON = {
    "scan_int": 10,
    "avg_samp": 4,
    "etc_en": 1,
    "etc_int": 1,
    "step": 4,
    "etc_factor": 8,
    "deb_en": 1,
    "deb_cnt": 2,
}
CHANNEL = {"enable": 1, "mbias": 20, "diff_th": 100, "abs_th": 2000, "nn_th": 50, "pn_th": 50}
ON_OFF = ("etc_en", "deb_en", "enable")
TUNED = 30


class FakeProbe:
    def __init__(self, sock):
        self.sock = sock
        self.common = dict(COMMON)
        self.channels = [dict(CHANNEL) for _ in range(9)]
        self.requests = []
        self.lock = threading.Lock()
        self.running = None  # (samp_int, channels) while the monitor runs
        self.sending_frames = True
        self.silent = False  # requests are kept unanswered until release()
        self.kept = []
        self.stop = threading.Event()
        self.threads = [threading.Thread(target=self._serve, daemon=True)]
        self.threads.append(threading.Thread(target=self._stream, daemon=True))

    def start(self):
        for thread in self.threads:
            thread.start()
        return self

    def close(self):
        self.stop.set()
        for thread in self.threads:
            thread.join(5)

    def kinds(self):
        with self.lock:
            return [r["type"] for r in self.requests]

    def send(self, data):
        with self.lock:
            self.sock.sendall(data)

    # --- faults ------------------------------------------------------------

    def release(self):
        """Answers what was kept: late answers."""
        with self.lock:
            self.silent = False
            kept, self.kept = self.kept, []
        for request in kept:
            self.send(self.answer(request))

    def greet(self):
        """A restart: the monitor stops and the greeting comes."""
        with self.lock:
            self.running = None
            self.kept = []
        self.send(b"start uart OK!\n")

    # --- serving -----------------------------------------------------------

    def _serve(self):
        buf = b""
        self.sock.settimeout(0.05)
        while not self.stop.is_set():
            try:
                chunk = self.sock.recv(4096)
            except socket.timeout:
                continue
            except OSError:
                return
            if not chunk:
                return
            buf += chunk
            while buf.count(b"{") and buf.count(b"{") == buf.count(b"}"):
                end = buf.index(b"}") + 1
                request, buf = json.loads(buf[:end]), buf[end:]
                with self.lock:
                    self.requests.append(request)
                    if self.silent:
                        self.kept.append(request)
                        continue
                self.send(self.answer(request))

    def answer(self, request):
        kind = request["type"]
        with self.lock:
            if kind == "query":
                answer = {"type": "query", "version": "1.0"}
                answer["status"] = "busy" if self.running else "idle"
                answer.update(self.common, chip_name="NimbusChip")
            elif kind == "query_ch":
                answer = {"type": "query_ch", "ch": request["ch"], **self.channels[request["ch"]]}
            elif kind == "config":
                for member in COMMON:
                    self.common[member] = written(member, request[member])
                answer = {"type": "ack"}
            elif kind == "config_ch":
                channel = self.channels[request["ch"]]
                for member in CHANNEL:
                    value = written(member, request[member])
                    # The controller holds MBias 0 to 63 and refuses others.
                    if member != "mbias" or 0 <= value <= 63:
                        channel[member] = value
                answer = {"type": "ack"}
            elif kind == "start":
                watched = [ch for ch in range(9) if request[f"ch{ch}"] & 0xFF]
                for ch in range(9):
                    self.channels[ch]["enable"] = int(ch in watched)
                self.running = (request["samp_int"], watched)
                answer = {"type": "ack"}
            elif kind == "stop":
                self.running = None
                answer = {"type": "ack"}
            elif kind == "tune_mbias_ch":
                channel = self.channels[request["ch"]]
                channel.update(enable=1, mbias=TUNED)
                answer = {"type": "tune_mbias_ch", "ch": request["ch"], "mbias": TUNED}
                answer["baseline"] = TUNED
            elif kind == "reset":
                answer = {"type": "ack"}
            else:
                answer = {"type": "error"}
        return json.dumps(answer, indent="\t").encode()

    def _stream(self):
        seq = 0
        current = None
        while not self.stop.is_set():
            with self.lock:
                running, sending = self.running, self.sending_frames
            if running is None or not sending:
                if running is None:
                    current = None
                time.sleep(0.005)
                continue
            if running is not current:
                current, seq = running, 0
            samp_int, watched = running
            seq += 1
            self.send(frame_bytes(seq, [(ch, 3000, 3000 + ch) for ch in watched]))
            time.sleep(max(samp_int, 1) / 1000)


def written(member, value):
    """What padprobe writes for `value`: "1" or "0" for on/off members."""
    return (1 if value else 0) if member in ON_OFF else value
