# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""Requests and answers over the serial line (a real port or a pty).

The board's tool discards what arrived before it configured the line, so a
link first waits for the greeting; after that it sends one request at a time
and waits for its answer. Frames that arrive meanwhile are kept in order.
"""
import collections
import json
import os
import select
import time

from .stream import Answer, Frame, Greeting, Junk, StreamDecoder

BAUD = 1500000


class LinkError(Exception):
    pass


class FdTransport:
    """A descriptor already open, such as a pty master."""

    def __init__(self, fd):
        self.fd = fd

    def fileno(self):
        return self.fd

    def read(self, timeout):
        ready, _, _ = select.select([self.fd], [], [], max(timeout, 0))
        if not ready:
            return b""
        try:
            return os.read(self.fd, 65536)
        except OSError:
            # A pty master reads EIO once the other side has gone.
            return b""

    def write(self, data):
        view = memoryview(data)
        while view:
            written = os.write(self.fd, view)
            view = view[written:]


class SerialTransport:
    """A serial port, 1,500,000 baud, 8N1, no flow control."""

    def __init__(self, path):
        import serial  # Debian's python3-serial; only needed for real ports

        self.port = serial.Serial(path, BAUD, timeout=0)

    def fileno(self):
        return self.port.fileno()

    def read(self, timeout):
        ready, _, _ = select.select([self.port.fileno()], [], [], max(timeout, 0))
        return self.port.read(65536) if ready else b""

    def write(self, data):
        self.port.write(data)
        self.port.flush()


def encode_request(request):
    """A request as text: a str or bytes is sent as given, anything else as JSON."""
    if isinstance(request, bytes):
        return request
    if isinstance(request, str):
        return request.encode()
    return json.dumps(request).encode()


class Link:
    def __init__(self, transport):
        self.transport = transport
        self.decoder = StreamDecoder()
        self.items = collections.deque()
        self.frames = collections.deque()  # frames not yet taken
        self.junk = bytearray()  # bytes that were neither
        self.greeted = False

    def _pump(self, timeout):
        data = self.transport.read(timeout)
        if not data:
            return False
        now = time.monotonic()
        for item in self.decoder.feed(data, now):
            if isinstance(item, Frame):
                self.frames.append(item)
            elif isinstance(item, Junk):
                self.junk += item.raw
            elif isinstance(item, Greeting):
                self.greeted = True
            else:
                self.items.append(item)
        return True

    def wait_greeting(self, timeout=20.0):
        deadline = time.monotonic() + timeout
        while not self.greeted:
            left = deadline - time.monotonic()
            if left <= 0:
                raise LinkError("no greeting from the board")
            self._pump(left)

    def send(self, request):
        self.transport.write(encode_request(request))

    def next_answer(self, timeout=10.0):
        """The next answer, or LinkError after `timeout` seconds."""
        deadline = time.monotonic() + timeout
        while not self.items:
            left = deadline - time.monotonic()
            if left <= 0:
                raise LinkError(f"no answer within {timeout:.1f} s")
            self._pump(left)
        return self.items.popleft()

    def request(self, request, timeout=10.0) -> Answer:
        self.send(request)
        return self.next_answer(timeout)

    def quiet(self, seconds):
        """Receive for `seconds` (what arrives is queued as usual)."""
        deadline = time.monotonic() + seconds
        while (left := deadline - time.monotonic()) > 0:
            self._pump(left)

    def take_frames(self, count=None, timeout=10.0):
        """Wait until `count` frames are queued (if given) and take them all."""
        deadline = time.monotonic() + timeout
        while count is not None and len(self.frames) < count:
            left = deadline - time.monotonic()
            if left <= 0:
                raise LinkError(f"{len(self.frames)} of {count} frames within {timeout:.1f} s")
            self._pump(left)
        taken = list(self.frames)
        self.frames.clear()
        return taken
