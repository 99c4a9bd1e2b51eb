# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""Splits padprobe's output into the greeting, answers and data frames.

What the board sends is a byte stream of three kinds of item, never
interleaved: the greeting "start uart OK!\\n" once, JSON answers (objects as
cJSON prints them, starting with '{'), and data frames (a 14-byte
little-endian header starting with "data", then n 9-byte records).
"""
import dataclasses
import json
import struct

GREETING = b"start uart OK!\n"
FRAME_MAGIC = b"data"
HEADER = struct.Struct("<4sIBHHB")  # magic, seq, n, snr, length, xor
RECORD = struct.Struct("<BHHhBB")  # channel, average, baseline, diff, 0, 0
MAX_CHANNELS = 9
# No answer comes near this; a longer run without its closing brace is junk.
MAX_ANSWER = 64 * 1024

assert HEADER.size == 14 and RECORD.size == 9


@dataclasses.dataclass
class Greeting:
    arrival: float = 0.0


@dataclasses.dataclass
class Answer:
    raw: bytes
    obj: object  # the parsed JSON, None if it did not parse
    arrival: float = 0.0


@dataclasses.dataclass
class Record:
    channel: int
    average: int
    baseline: int
    diff: int  # baseline - average, signed 16 bits
    spare_ok: bool  # the two trailing bytes are zero


@dataclasses.dataclass
class Frame:
    raw: bytes
    seq: int
    count: int
    snr: int  # hundredths; 65535 when there is no noise figure
    length: int
    xor: int
    records: list
    xor_ok: bool
    length_ok: bool  # length == 9 * count
    arrival: float = 0.0


@dataclasses.dataclass
class Junk:
    raw: bytes
    arrival: float = 0.0


def xor_of(data):
    value = 0
    for byte in data:
        value ^= byte
    return value


def parse_frame(raw):
    """Decodes one whole frame (header and payload)."""
    magic, seq, count, snr, length, xor = HEADER.unpack_from(raw)
    payload = raw[HEADER.size :]
    records = []
    for offset in range(0, len(payload) - RECORD.size + 1, RECORD.size):
        ch, avg, base, diff, s0, s1 = RECORD.unpack_from(payload, offset)
        records.append(Record(ch, avg, base, diff, s0 == 0 and s1 == 0))
    return Frame(
        bytes(raw),
        seq,
        count,
        snr,
        length,
        xor,
        records,
        xor_of(payload) == xor,
        length == RECORD.size * count,
    )


def answer_end(buf):
    """Index just past the brace that closes the object at buf[0], or None
    while it is incomplete. Braces inside JSON strings do not count."""
    depth = 0
    in_string = False
    escaped = False
    for i, byte in enumerate(buf):
        if in_string:
            if escaped:
                escaped = False
            elif byte == 0x5C:  # backslash
                escaped = True
            elif byte == 0x22:  # quote
                in_string = False
        elif byte == 0x22:
            in_string = True
        elif byte == 0x7B:  # {
            depth += 1
        elif byte == 0x7D:  # }
            depth -= 1
            if depth == 0:
                return i + 1
    return None


class StreamDecoder:
    """Feed it bytes as they come; it returns the items completed so far."""

    def __init__(self):
        self.buf = bytearray()

    def feed(self, data, arrival=0.0):
        self.buf += data
        items = []
        while self.buf:
            item, used = self._next(arrival)
            if used == 0:
                break
            del self.buf[:used]
            if isinstance(item, Junk) and items and isinstance(items[-1], Junk):
                items[-1].raw += item.raw
            else:
                items.append(item)
        return items

    def flush(self, arrival=0.0):
        """What is held of an unfinished item, given up as junk (None when
        nothing is held): its sender stopped in the middle of it."""
        if not self.buf:
            return None
        junk = Junk(bytes(self.buf), arrival)
        self.buf.clear()
        return junk

    def _next(self, arrival):
        buf = self.buf
        if buf[:1] == b"{":
            end = answer_end(buf)
            if end is None:
                return (Junk(bytes(buf[:1]), arrival), 1) if len(buf) > MAX_ANSWER else (None, 0)
            raw = bytes(buf[:end])
            try:
                obj = json.loads(raw)
            except ValueError:
                obj = None
            return Answer(raw, obj, arrival), end
        if buf[:4] == FRAME_MAGIC:
            if len(buf) < HEADER.size:
                return None, 0
            count = buf[8]
            if count > MAX_CHANNELS:
                return Junk(bytes(buf[:1]), arrival), 1
            size = HEADER.size + RECORD.size * count
            if len(buf) < size:
                return None, 0
            frame = parse_frame(bytes(buf[:size]))
            frame.arrival = arrival
            return frame, size
        if buf[: len(GREETING)] == GREETING:
            return Greeting(arrival), len(GREETING)
        # A prefix of something that may still complete: wait for more.
        for whole in (FRAME_MAGIC, GREETING):
            if len(buf) < len(whole) and whole.startswith(bytes(buf)):
                return None, 0
        return Junk(bytes(buf[:1]), arrival), 1


class SequenceChecker:
    """Counts what a run of frames says about the link: frames, XOR and
    length errors, gaps (with the number of frames missing), repeated or
    backward sequence numbers, and restarts at 1 (a new "start")."""

    def __init__(self):
        self.last = None
        self.frames = 0
        self.xor_errors = 0
        self.length_errors = 0
        self.gaps = []  # (last seen, next seen)
        self.missing = 0
        self.duplicates = 0
        self.backwards = 0
        self.restarts = 0

    def add(self, frame):
        self.frames += 1
        self.xor_errors += not frame.xor_ok
        self.length_errors += not frame.length_ok
        seq = frame.seq
        if self.last is None:
            if seq != 1:
                self.gaps.append((0, seq))
                self.missing += seq - 1
        elif seq == self.last + 1:
            pass
        elif seq == 1:
            self.restarts += 1
        elif seq == self.last:
            self.duplicates += 1
        elif seq < self.last:
            self.backwards += 1
        else:
            self.gaps.append((self.last, seq))
            self.missing += seq - self.last - 1
        self.last = seq

    def summary(self):
        return (
            f"{self.frames} frames, {len(self.gaps)} gaps ({self.missing} missing), "
            f"{self.duplicates} duplicates, {self.backwards} backwards, "
            f"{self.restarts} restarts, {self.xor_errors} XOR errors, "
            f"{self.length_errors} length errors"
        )
