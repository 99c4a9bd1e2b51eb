# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The serial link driven from the page server's event loop.

The descriptor is watched with the loop's reader callback, so frames are
decoded and counted as they arrive, whatever a request is waiting for.
Requests go one at a time; an answer is matched to the request waiting for
it by its type, and one that matches no waiting request (a late answer to a
request that timed out) is reported, so the caller can read back what it
may have changed. A greeting means padprobe started again: the request
waiting then will get no answer, and says so at once.
"""
import asyncio
import json
import os
import time

from .link import LinkError
from .stream import Answer, Frame, Greeting, Junk

# A line that reads as hung up is watched again after this pause, not in a
# busy loop.
HANGUP_RETRY_S = 0.2
# The bytes of one item arrive together (a frame takes under a millisecond
# at 1,500,000 baud); a pause this long inside one means its sender stopped
# (killed in the middle of a frame, say), and what came of it is junk, not
# the start of whatever comes next, such as the greeting of its restart.
ITEM_PAUSE_S = 0.5


def answers_request(request, answer):
    """Whether `answer` (a parsed object) can be the answer to `request`."""
    if not isinstance(answer, dict):
        return False
    kind = answer.get("type")
    if kind == "error":
        return True
    expected = {"query": "query", "query_ch": "query_ch", "tune_mbias_ch": "tune_mbias_ch"}
    wanted = expected.get(request.get("type"), "ack")
    if kind != wanted:
        return False
    # Typed answers repeat the channel asked about; an ack names none.
    return kind == "ack" or answer.get("ch") == request.get("ch")


class Restarted(LinkError):
    pass


class UiLink:
    def __init__(self, link, on_frame, on_event, clock=time.time):
        """Takes over `link` (greeted already). `on_frame(frame)` gets every
        frame; `on_event(kind, detail)` greetings, late answers (the Answer)
        and the line hanging up or reading again (a text), and junk (its
        length in bytes). Arrival times are on `clock` (wall time, which
        the page shares)."""
        self.transport = link.transport
        self.decoder = link.decoder
        self.on_frame = on_frame
        self.on_event = on_event
        self.clock = clock
        self.lock = asyncio.Lock()
        self.pending = None  # (request, future)
        self.loop = None
        self.watching = False
        self.hung_up = False
        self.closed = False
        self.last_bytes = time.monotonic()

    def start(self):
        self.loop = asyncio.get_running_loop()
        # The loop must never wait on the line: a padprobe that stopped
        # reading fills the line's buffer, and a blocking write would then
        # stop every page with it.
        os.set_blocking(self.transport.fileno(), False)
        self._watch()

    def _write(self, data):
        try:
            written = os.write(self.transport.fileno(), data)
        except BlockingIOError:
            written = 0
        if written != len(data):
            raise LinkError(
                f"the serial line took {written} of {len(data)} bytes: "
                "padprobe reads nothing from it"
            )

    def busy(self):
        return self.lock.locked()

    def stop_watching(self):
        if self.watching:
            self.loop.remove_reader(self.transport.fileno())
            self.watching = False

    def close(self):
        self.closed = True
        self.stop_watching()

    def _watch(self):
        if self.watching or self.closed:
            return
        self.loop.add_reader(self.transport.fileno(), self._readable)
        self.watching = True

    def _readable(self):
        try:
            data = self.transport.read(0)
        except OSError:  # a serial adapter that went away
            data = b""
        if not data:
            self.stop_watching()
            if not self.hung_up:
                self.hung_up = True
                self.on_event("hangup", "the serial line reads as hung up; watching it")
            self.loop.call_later(HANGUP_RETRY_S, self._watch)
            return
        if self.hung_up:
            self.hung_up = False
            self.on_event("back", "the serial line reads again")
        now = time.monotonic()
        arrival = self.clock()
        if now - self.last_bytes > ITEM_PAUSE_S:
            cut = self.decoder.flush(arrival)
            if cut is not None:
                self.on_event("cut", len(cut.raw))
        self.last_bytes = now
        for item in self.decoder.feed(data, arrival):
            if isinstance(item, Frame):
                self.on_frame(item)
            elif isinstance(item, Answer):
                self._answer(item)
            elif isinstance(item, Greeting):
                self._greeting()
            elif isinstance(item, Junk):
                self.on_event("junk", len(item.raw))

    def _greeting(self):
        if self.pending is not None and not self.pending[1].done():
            self.pending[1].set_exception(Restarted("padprobe restarted before it answered"))
        self.on_event("greeting", "padprobe greeted: it has started again")

    def _answer(self, answer):
        if self.pending is not None:
            request, future = self.pending
            if not future.done() and answers_request(request, answer.obj):
                future.set_result(answer)
                return
        self.on_event("late", answer)

    async def request(self, request, timeout=10.0):
        """Sends `request` (a dict) and returns its Answer; LinkError when
        none comes within `timeout` seconds, Restarted when padprobe greets
        before it answers."""
        async with self.lock:
            future = self.loop.create_future()
            self.pending = (request, future)
            try:
                self._write(json.dumps(request).encode())
                return await asyncio.wait_for(future, timeout)
            except asyncio.TimeoutError:
                raise LinkError(f"no answer within {timeout:.1f} s") from None
            finally:
                self.pending = None
