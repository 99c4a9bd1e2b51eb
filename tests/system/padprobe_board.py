# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""Support for padprobe's black-box tests: the tool in the simulated board,
its exact answers and log lines."""
import os
import re
import sys
import time

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.realpath(__file__)), "..", "..", "tools"))

from padlink.simboard import SimulatedBoard  # noqa: E402
from padlink.stream import Answer, Frame  # noqa: E402,F401

DEVICE = "/sys/devices/platform/ocp/42010000.padprobe"
# Sanitizer builds run several times slower; waits scale with them.
SLOW = 4.0 if os.environ.get("BOARD_SANITIZER") else 1.0


def cjson(*members):
    """An object as cJSON_Print lays it out: one member a line, tab indented,
    a tab after the colon."""

    def value(v):
        return f'"{v}"' if isinstance(v, str) else str(v)

    body = ",\n".join(f'\t"{name}":\t{value(v)}' for name, v in members)
    return "{\n" + body + "\n}"


ACK = cjson(("type", "ack"))
# One whole "Query response" log line: the answer, its length, two newlines.
ANSWER_LOGGED = re.compile(rb"\[CAP\]\[INFO\] Query response: .*? \(\d+\)\n\n", re.S)
ERROR = cjson(("type", "error"))


def got(text):
    return f"[CAP][INFO] Got request: {text}\n\n"


def answered(text):
    return f"[CAP][INFO] Query response: {text} ({len(text)})\n\n"


def unsupported(code):
    return f"[CAP][WARN] Unsupport cmd type: {code}\n\n"


def startup(uart):
    return f"[CAP][INFO] Padp Tool {uart} init OK!\n\n[CAP][INFO] Padp Tool App Start!\n\n"


class Probe(SimulatedBoard):
    """A running padprobe with helpers for exact exchanges."""

    def start(self, wait_greeting=True):
        super().start(wait_greeting)
        if wait_greeting:
            # The start-up lines come before any request's.
            self.wait_stdout("App Start!\n\n", timeout=10 * SLOW)
        return self

    def mark(self):
        return len(self.stdout())

    def log_since(self, mark, expected=None, timeout=10.0):
        """The log from `mark`; with `expected`, waits until it is exactly that."""
        deadline = time.monotonic() + timeout * SLOW
        while True:
            text = self.stdout()[mark:].decode(errors="replace")
            if expected is None or text == expected or time.monotonic() > deadline:
                return text
            if len(text) > len(expected) and not expected.startswith(text[: len(expected)]):
                return text
            time.sleep(0.01)

    def wait_answers_logged(self, count, timeout=10.0):
        """Wait until the log shows `count` answers sent, so a mark taken
        next starts after them. An answer counts once its line is whole: the
        log arrives in pieces, and a mark inside a line would put its tail
        in front of the next request's lines."""
        deadline = time.monotonic() + timeout * SLOW
        while len(ANSWER_LOGGED.findall(self.stdout())) < count:
            if time.monotonic() > deadline:
                return False
            time.sleep(0.01)
        return True

    def ask(self, request, timeout=10.0):
        return self.link.request(request, timeout=timeout * SLOW)

    def exchange(self, request, answer, log=""):
        """Sends `request` (text) and checks its exact answer and the log
        lines it causes: "Got request", `log`, "Query response". With `log`
        None, the lines between are returned instead of checked."""
        mark = self.mark()
        reply = self.ask(request)
        assert reply.raw.decode() == answer
        if log is None:
            assert self.wait_stdout(answered(answer), timeout=10 * SLOW, start=mark)
            text = self.log_since(mark)
            assert text.startswith(got(request)) and text.endswith(answered(answer))
            return text[len(got(request)) : -len(answered(answer))]
        expected = got(request) + log + answered(answer)
        assert self.log_since(mark, expected) == expected
        return reply

    def writes_of(self, mark):
        return [(w.name, w.ch, w.text, w.result) for w in self.writes_since(mark)]


@pytest.fixture
def probe(tmp_path):
    """probe(*board_options) starts padprobe in a board; stopped afterwards."""
    started = []

    def start(*options, **kwargs):
        p = Probe(tmp_path / f"state{len(started)}", options, **kwargs).start(
            wait_greeting=kwargs.get("tool_args") is None
        )
        started.append(p)
        return p

    yield start
    for p in started:
        if p.proc.poll() is None:
            p.stop()
        elif p.status is None:
            p.wait()
