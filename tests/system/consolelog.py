# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""What the simulated console device received, read from a board's state folder."""
import dataclasses
import os

RECORD_SIZE = 129


@dataclasses.dataclass
class Record:
    length: int
    text: bytes  # all 128 bytes of the text field

    @property
    def command(self):
        return self.text.split(b"\0", 1)[0]


def records(state):
    with open(os.path.join(state, "console", "records.bin"), "rb") as f:
        data = f.read()
    assert len(data) % RECORD_SIZE == 0, f"{len(data)} bytes is not a whole number of records"
    return [
        Record(data[i], data[i + 1 : i + RECORD_SIZE]) for i in range(0, len(data), RECORD_SIZE)
    ]


def calls(state):
    """[(call, request, answer)] in order; answer is 0 or -errno."""
    with open(os.path.join(state, "console", "calls.txt")) as f:
        return [tuple(int(field) for field in line.split()) for line in f]


def record_of(command):
    """The record a tool must send for command (at most 127 bytes)."""
    return Record(len(command), command + bytes(128 - len(command)))
