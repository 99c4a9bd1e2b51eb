# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""padhost: drive padprobe over its serial line, one step after another.

Steps (each one shell word, quoted when it has blanks):
  query                      query_ch CH                tune CH
  config NAME=VALUE...       config_ch NAME=VALUE...    reset    stop
  start [samp_int=MS] [ch=LIST|all]
  monitor SECONDS [samp_int=MS] [ch=LIST|all]
        start, record frames for SECONDS, stop; prints the link figures and
        each channel's noise and SNR, and writes --csv and --png
  send TEXT                  any request text, sent as it is
  sim LINE                   a control line for the simulated controller (--sim)
  sleep SECONDS

padhost ui [--port DEV | --sim] [--listen HOST:PORT] serves a live tuning
page instead (see padhost ui --help).
"""
import argparse
import json
import sys
import time

from . import analysis, plot, record
from .link import LinkError
from .stream import SequenceChecker
from .where import add_link_options, open_link

CHANNELS = 9


def parse_assignments(words):
    values = {}
    for word in words:
        name, sep, value = word.partition("=")
        if not sep:
            raise ValueError(f"'{word}' is not NAME=VALUE")
        values[name] = value
    return values


def start_request(values):
    samp_int = int(values.pop("samp_int", "10"))
    chosen = values.pop("ch", "all")
    channels = range(CHANNELS) if chosen == "all" else [int(c) for c in chosen.split(",") if c]
    if values:
        raise ValueError(f"unknown start member(s): {', '.join(values)}")
    request = {"type": "start", "samp_int": samp_int}
    for ch in range(CHANNELS):
        request[f"ch{ch}"] = 1 if ch in channels else 0
    return request


def typed(kind, words):
    request = {"type": kind}
    for name, value in parse_assignments(words).items():
        request[name] = int(value)
    return request


class Session:
    def __init__(self, link, options, board=None, out=sys.stdout):
        self.link = link
        self.options = options
        self.board = board
        self.out = out

    def say(self, text):
        print(text, file=self.out, flush=True)

    def ask(self, request):
        text = request if isinstance(request, str) else json.dumps(request)
        self.say(f"> {text}")
        answer = self.link.request(text, timeout=self.options.timeout)
        self.say(answer.raw.decode(errors="replace"))
        return answer

    def run_step(self, step):
        words = step.split()
        if not words:
            return
        kind, rest = words[0], words[1:]
        if kind == "query" and not rest:
            self.ask({"type": "query"})
        elif kind in ("query_ch", "tune") and len(rest) == 1:
            self.ask(
                {"type": "query_ch" if kind == "query_ch" else "tune_mbias_ch", "ch": int(rest[0])}
            )
        elif kind in ("config", "config_ch"):
            self.ask(typed(kind, rest))
        elif kind in ("stop", "reset") and not rest:
            self.ask({"type": kind})
        elif kind == "start":
            self.ask(start_request(parse_assignments(rest)))
        elif kind == "monitor" and rest:
            self.monitor(float(rest[0]), parse_assignments(rest[1:]))
        elif kind == "send":
            self.ask(step.split(None, 1)[1] if len(words) > 1 else "")
        elif kind == "sim" and rest:
            if self.board is None:
                raise ValueError("'sim' steps need --sim")
            line = step.split(None, 1)[1]
            self.say(f"sim: {line}: {self.board.control(line)}")
        elif kind == "sleep" and len(rest) == 1:
            time.sleep(float(rest[0]))
        else:
            raise ValueError(f"cannot read step '{step}'")

    def monitor(self, seconds, values):
        self.link.take_frames()
        request = start_request(values)
        started = time.time()
        self.ask(request)
        self.link.quiet(seconds)
        self.ask({"type": "stop"})
        self.link.quiet(0.2)
        frames = self.link.take_frames()
        checker = SequenceChecker()
        for frame in frames:
            checker.add(frame)
        self.say(f"monitor: {seconds:g} s, {checker.summary()}")
        if frames:
            self.say(f"monitor: last SNR field {frames[-1].snr / 100:.2f}")
        for report in analysis.channel_reports(frames, self.options.touch_threshold):
            self.say("  " + report.line())
        if self.options.csv and frames:
            watched = [ch for ch in range(CHANNELS) if request[f"ch{ch}"]]
            settings = record.settings_lines(request["samp_int"], watched, started=started)
            record.write_csv(self.options.csv, frames, settings=settings)
            self.say(f"monitor: CSV written to {self.options.csv}")
        if self.options.png and frames:
            plot.write_png(self.options.png, frames)
            self.say(f"monitor: PNG written to {self.options.png}")


def parse_args(argv):
    parser = argparse.ArgumentParser(
        prog="padhost",
        description="Drive padprobe over its serial line.",
        epilog=__doc__.split("\n", 1)[1],
        formatter_class=argparse.RawDescriptionHelpFormatter,
    )
    add_link_options(parser)
    parser.add_argument("--csv", help="where a monitor step writes its frames")
    parser.add_argument("--png", help="where a monitor step draws its channels")
    parser.add_argument(
        "--touch-threshold",
        type=int,
        default=100,
        help="difference from which a channel counts as touched (default 100)",
    )
    parser.add_argument(
        "--timeout", type=float, default=30.0, help="seconds to wait for an answer (default 30)"
    )
    parser.add_argument("steps", nargs="+", metavar="STEP")
    return parser.parse_args(argv)


def main(argv=None):
    argv = sys.argv[1:] if argv is None else argv
    if argv[:1] == ["ui"]:
        from .ui_main import main as ui_main

        return ui_main(argv[1:])
    options = parse_args(argv)
    board = None
    try:
        link, board = open_link(options)
        session = Session(link, options, board)
        for step in options.steps:
            session.run_step(step)
        return 0
    except (LinkError, ValueError, OSError) as err:
        print(f"padhost: {err}", file=sys.stderr)
        return 1
    finally:
        if board is not None:
            board.stop()
