# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""padprobe as the page server drives it: every action that changes the
controller followed by reading back what it touched, the link watched for
a padprobe that stopped or started again, and the state read anew when it
may be wrong.

Rules, each kept in one place below:
- config, config_ch and tune read back what they wrote; start (which writes
  chx_enable of every channel) and reset read back everything; stop reads
  the monitor's status. Differences become marks on the fields.
- An action runs whole (its request and its read-back) before the next one
  sends anything.
- A request without an answer within its deadline makes the link silent
  and the state suspect; a late answer, a greeting (padprobe restarted) or
  the line reading again after a hang-up makes the whole state be read
  again before it is shown as current.
- While the monitor should run, no frame for a while makes the charts
  stale; while the line is otherwise quiet, a "query" now and then tells
  whether padprobe still answers.
"""
import asyncio
import dataclasses
import json
import time

from . import forms
from .link import LinkError
from .ui_health import Link, LinkHealth, clock_text
from .ui_link import Restarted, UiLink
from .ui_state import ControllerState, Level, Monitor, place_of_channel

WATCH_INTERVAL_S = 0.25
# With nothing heard for this long, a quiet "query" checks that padprobe
# answers; with its deadline a padprobe that died is noticed within 5 s.
IDLE_PROBE_S = 2.5
PROBE_TIMEOUT_S = 2.0
# How often a link that does not answer is asked again.
RETRY_S = 2.0
# padprobe logs its answer just before it writes it to the line: its log
# lines up to that one belong to the request.
LOG_CATCH_UP_S = 0.2
ANSWER_LOGGED = "[CAP][INFO] Query response:"
LOG_WORTH_SHOWING = ("[CAP][ERROR]", "[CAP][WARN]", "Error:")


@dataclasses.dataclass
class Reply:
    answer: dict  # the answer, None after an error answer or none at all
    lines: list  # padprobe's log lines of the request worth showing
    why: str = ""  # without an answer: why, in words
    answered: bool = True  # False: padprobe may or may not have done it


class Device:
    def __init__(
        self,
        link,
        host,
        channels,
        request_timeout=3.0,
        tune_timeout=120.0,
        padprobe_log=None,
        clock=time.time,
    ):
        """`host` hears of everything the pages must know: state_changed(),
        note(direction, text), frame(frame), junk(count),
        monitor_starting(samp_int), monitor_started(samp_int, channels),
        restarted(). `padprobe_log()`, where padprobe's standard
        output can be read (the simulated board), returns what it printed
        since the last call."""
        self.host = host
        self.clock = clock
        self.channels = channels
        self.request_timeout = request_timeout
        self.tune_timeout = tune_timeout
        self.padprobe_log = padprobe_log
        self.log_text = ""
        self.state = ControllerState(channels, clock)
        self.health = LinkHealth(self._link_changed, clock)
        self.link = UiLink(link, self._frame, self._event, clock)
        self.op_lock = asyncio.Lock()
        self.read_reason = "reading padprobe's state"  # None once all is read
        self.last_try = 0.0
        self.restarted_at = None
        self.tasks = set()

    def start(self):
        self.link.start()

    def stop_tasks(self):
        for task in list(self.tasks):
            task.cancel()

    def close(self):
        self.stop_tasks()
        self.link.close()

    def _spawn(self, coroutine):
        task = asyncio.create_task(coroutine)
        self.tasks.add(task)
        task.add_done_callback(self.tasks.discard)

    # --- the link's events ----------------------------------------------------

    def _frame(self, frame):
        self.health.frame(frame.arrival)
        self.host.frame(frame)

    def _event(self, kind, detail):
        if kind == "junk":
            self.host.junk(detail)
        elif kind == "cut":
            self.host.junk(detail)
            self.host.note("!", f"{detail} bytes of an unfinished answer or frame dropped")
        elif kind == "late":
            shown = detail.raw.decode(errors="replace")
            self.host.note("<", shown if detail.obj is None else json.dumps(detail.obj))
            self.host.note("!", "a late answer (to a request that had timed out)")
            self.suspect("a late answer came")
        elif kind == "greeting":
            self.host.note("!", detail)
            self.restarted_at = self.clock()
            was_running = self.state.monitor != Monitor.STOPPED
            self.state.restarted()
            self.health.monitor(False)
            self.host.restarted()
            if was_running:
                self.state.act(
                    "monitor",
                    Level.WARN,
                    f"padprobe restarted at {clock_text(self.restarted_at)}: "
                    "its monitor is stopped",
                )
            self.suspect(f"padprobe restarted at {clock_text(self.restarted_at)}")
        elif kind == "hangup":
            self.host.note("!", detail)
            self.health.enter(Link.HUNG_UP, detail)
        elif kind == "back":
            self.host.note("!", detail)
            self.suspect("the serial line reads again")

    def suspect(self, reason):
        """What is shown may be wrong: read everything again, soon."""
        self.read_reason = reason
        self.last_try = 0.0
        self.health.enter(Link.READING, f"{reason}: reading padprobe's state again")
        self.host.state_changed()

    def _link_changed(self, old, new, text):
        if old != new:
            self.host.note("!", f"link: {old.value} -> {new.value}: {text}")
        self.host.state_changed()

    # --- one request ------------------------------------------------------------

    def _take_log(self):
        if self.padprobe_log is not None:
            self.log_text += self.padprobe_log()

    def pump_log(self):
        """Shows padprobe's whole log lines worth showing that no request
        claimed (a failed read in a sampling pass, say)."""
        if self.padprobe_log is None:
            return
        self._take_log()
        whole, _, self.log_text = self.log_text.rpartition("\n")
        for line in _worth_showing(whole):
            self.host.note("p", line)

    async def _log_of_answer(self):
        """padprobe's log lines worth showing that it printed while it
        served the request just answered (with the simulated board only)."""
        if self.padprobe_log is None:
            return []
        deadline = time.monotonic() + LOG_CATCH_UP_S
        self._take_log()
        while ANSWER_LOGGED not in self.log_text and time.monotonic() < deadline:
            await asyncio.sleep(0.005)
            self._take_log()
        head, found, tail = self.log_text.partition(ANSWER_LOGGED)
        # What follows the answer's own line is pumped later.
        self.log_text = found + tail
        return _worth_showing(head)

    async def ask(self, request, timeout=None, quiet=False):
        """One request and its Reply. `quiet` requests (the link's probes)
        are logged only when they fail. A failure is logged and, when no
        answer came, changes the link's health."""
        text = json.dumps(request)
        kind = request["type"]
        timeout = timeout or self.request_timeout
        if not quiet:
            self.host.note(">", text)
            for warning in forms.range_warnings(request):
                self.host.note("!", warning)
        self.pump_log()
        try:
            answer = await self.link.request(request, timeout)
        except Restarted as err:
            self.host.note("!", f"{kind}: {err}")
            return Reply(None, [], str(err), answered=False)
        except (LinkError, OSError) as err:
            # A probe of a link known to be silent fails without a word more.
            if not quiet or self.health.state != Link.SILENT:
                if quiet:
                    self.host.note(">", text)
                self.host.note("!", f"{kind}: {err}")
            if self.health.state != Link.SILENT:
                self.health.enter(
                    Link.SILENT,
                    f'padprobe did not answer "{kind}" ({err}): it may have stopped; '
                    "what the page shows may be stale",
                )
            self.read_reason = self.read_reason or "padprobe did not answer"
            return Reply(None, [], f"padprobe did not answer ({err})", answered=False)
        lines = await self._log_of_answer()
        shown = answer.raw.decode(errors="replace")
        if not quiet:
            self.host.note("<", shown if answer.obj is None else json.dumps(answer.obj))
        for line in lines:
            self.host.note("p", line)
        self.health.answered()
        if self.health.state in (Link.SILENT, Link.HUNG_UP):
            self.suspect("padprobe answers again")
        if not isinstance(answer.obj, dict) or answer.obj.get("type") == "error":
            one_line = " ".join(shown.split())[:60]
            return Reply(None, lines, f'padprobe answered "{one_line}"' + _log_words(lines))
        return Reply(answer.obj, lines)

    async def query(self, quiet=False):
        answer = (
            await self.ask({"type": "query"}, PROBE_TIMEOUT_S if quiet else None, quiet)
        ).answer
        if answer is not None:
            held = self.state.common
            was_running = self.state.monitor
            self.state.take_query(answer)
            if quiet and held is not None and held != self.state.common:
                self.host.note("!", "the common settings changed outside padhost: read again")
            if self.state.monitor != was_running:
                self.health.monitor(self.state.monitor == Monitor.RUNNING, self.state.samp_int)
        return answer

    async def query_ch(self, ch):
        answer = (await self.ask(forms.query_ch_request(ch))).answer
        if answer is not None:
            self.state.take_query_ch(ch, answer)
        return answer

    async def read_all(self):
        """The whole state, read again; True when every answer came."""
        if await self.query() is None:
            return False
        for ch in range(self.channels):
            if await self.query_ch(ch) is None:
                return False
        self.state.read_at = self.clock()
        self.read_reason = None
        running = self.state.monitor == Monitor.RUNNING
        self.health.monitor(running, self.state.samp_int if running else None)
        words = "padprobe answers"
        if self.restarted_at is not None:
            words += (
                f"; it restarted at {clock_text(self.restarted_at)} and its state was read "
                f"again at {clock_text(self.state.read_at)}"
            )
        self.health.enter(Link.OK, words)
        return True

    # --- the watchdog ---------------------------------------------------------------

    async def watch(self):
        while True:
            await asyncio.sleep(WATCH_INTERVAL_S)
            self.check(self.clock())

    def check(self, now):
        """One look at the link; starts what is due (a read, a probe)."""
        overdue = self.health.frames_overdue(now)
        if overdue is not None and self.health.state == Link.OK:
            last = self.health.last_frame or self.health.started_at
            self.health.enter(
                Link.STALE,
                f"no frames since {clock_text(last)} while the monitor should run: "
                "the charts are stale",
            )
        if self.op_lock.locked() or self.link.busy():
            return
        self.pump_log()
        quiet_for = time.monotonic() - self.link.last_bytes
        if self.read_reason is not None and self.health.state != Link.SILENT:
            if now - self.last_try >= RETRY_S:
                self.last_try = now
                self._spawn(self._locked(self.read_all()))
        elif self.health.state in (Link.STALE, Link.SILENT):
            if now - self.last_try >= RETRY_S:
                self.last_try = now
                self._spawn(self._locked(self.probe()))
        elif quiet_for >= IDLE_PROBE_S and now - self.last_try >= IDLE_PROBE_S:
            self.last_try = now
            self._spawn(self._locked(self.probe()))

    async def _locked(self, coroutine):
        async with self.op_lock:
            await coroutine
        self.host.state_changed()

    async def probe(self):
        answer = await self.query(quiet=True)
        if answer is None or self.health.state != Link.STALE:
            return
        if self.state.monitor == Monitor.RUNNING:
            self.health.enter(
                Link.STALE,
                "padprobe answers and says its monitor runs, but sends no frames: "
                "the charts are stale",
            )

    # --- actions from the page ---------------------------------------------------------

    async def run(self, action):
        """Runs one action (a coroutine) whole, before any other."""
        async with self.op_lock:
            await action
        self.host.state_changed()

    def act(self, place, level, text):
        self.state.act(place, level, text)
        self.host.state_changed()

    async def do_refresh(self):
        self.act("common", Level.BUSY, "reading everything")
        ok = await self.read_all()
        self.act("common", Level.OK if ok else Level.ERROR, _read_words(ok, "everything"))

    async def do_query(self):
        self.act("common", Level.BUSY, "reading the common settings")
        ok = await self.query() is not None
        self.act("common", Level.OK if ok else Level.ERROR, _read_words(ok, "the common settings"))

    async def do_query_ch(self, ch):
        place = place_of_channel(ch)
        self.act(place, Level.BUSY, f"channel {ch}: reading")
        ok = await self.query_ch(ch) is not None
        self.act(place, Level.OK if ok else Level.ERROR, f"channel {ch}: " + _read_words(ok, ""))

    def _unanswered(self, reply, what):
        """After a write without an answer, padprobe may have done it or
        not: everything is read again once it answers."""
        if not reply.answered:
            self.read_reason = self.read_reason or f"{what} went unanswered"

    async def _write_and_read_back(self, place, prefix, request, read_back, held):
        sent = {k: v for k, v in request.items() if k not in ("type", "ch")}
        before = dict(held()) if held() is not None else None
        self.act(place, Level.BUSY, f"{prefix}: sending {request['type']}")
        reply = await self.ask(request)
        if reply.answer is None:
            if not reply.answered:
                self.state.mark_unconfirmed(place, sent)
            self._unanswered(reply, request["type"])
            self.act(place, Level.ERROR, f"{prefix}: {reply.why}")
            return
        ok = await read_back() is not None
        differences = self.state.compare(place, sent, before, held() if ok else None)
        if not ok:
            self.act(place, Level.ERROR, f"{prefix}: sent, but reading it back failed")
        elif differences:
            words = "; ".join(differences)
            answered = f'padprobe answered "{reply.answer.get("type")}"' + _log_words(reply.lines)
            self.act(place, Level.WARN, f"{prefix}: {words} ({answered})")
        else:
            self.act(place, Level.OK, f"{prefix}: applied; read back as sent")

    async def do_config(self, values):
        request = forms.config_request(values)
        await self._write_and_read_back(
            "common", "common settings", request, self.query, lambda: self.state.common
        )

    async def do_config_ch(self, ch, values):
        request = forms.config_ch_request(dict(values, ch=ch))
        await self._write_and_read_back(
            place_of_channel(ch),
            f"channel {ch}",
            request,
            lambda: self.query_ch(ch),
            lambda: self.state.channels.get(ch),
        )

    async def do_tune(self, ch):
        place = place_of_channel(ch)
        request = forms.tune_request(ch)
        self.act(place, Level.BUSY, f"channel {ch}: tuning (padprobe answers when its walk ends)")
        reply = await self.ask(request, self.tune_timeout)
        answer = reply.answer
        if answer is None:
            self._unanswered(reply, "a tune")
            self.act(place, Level.ERROR, f"channel {ch}: tune: {reply.why}")
            return
        text = forms.explain_tune(answer)
        ok = await self.query_ch(ch) is not None
        held = self.state.channels.get(ch, {}).get("mbias") if ok else None
        tuned = answer.get("mbias")
        level = Level.OK if isinstance(tuned, int) and 0 <= tuned <= forms.MBIAS_MAX else Level.WARN
        if not ok:
            text += "; reading the channel back failed"
            level = Level.ERROR
        elif level == Level.OK and held != tuned:
            text += f"; but the channel reads back MBias {held}"
            level = Level.WARN
        self.act(place, level, f"channel {ch}: {text}")

    async def do_start(self, samp_int, channels):
        request = forms.monitor_start_request({"samp_int": samp_int, "channels": channels})
        watched = [ch for ch in range(self.channels) if request[f"ch{ch}"]]
        before = {ch: dict(self.state.channels.get(ch) or {}) for ch in range(self.channels)}
        self.act("monitor", Level.BUSY, "starting")
        # Counts start before the request: the first frames can come before
        # its answer is handled.
        self.host.monitor_starting(request["samp_int"])
        reply = await self.ask(request)
        if reply.answer is None:
            if not reply.answered:
                self.state.forget_monitor()
            self._unanswered(reply, "a start")
            self.act("monitor", Level.ERROR, f"start: {reply.why}")
            return
        self.state.started(request["samp_int"], watched)
        self.health.monitor(True, request["samp_int"], fresh=True)
        self.host.monitor_started(request["samp_int"], watched)
        # Start writes chx_enable of every channel: 1 for the watched ones.
        ok = await self.query() is not None
        for ch in range(self.channels):
            ok = ok and await self.query_ch(ch) is not None
        differences = []
        for ch in range(self.channels):
            sent = {"enable": int(ch in watched)}
            held = self.state.channels.get(ch) if ok else None
            found = self.state.compare(place_of_channel(ch), sent, before[ch], held)
            differences += [f"channel {ch}: {d}" for d in found]
        words = f"running at samp_int {request['samp_int']} ms, channels " + (
            ",".join(map(str, watched)) or "none"
        )
        if not ok:
            self.act("monitor", Level.ERROR, "started; reading the channels back failed")
        elif self.state.monitor != Monitor.RUNNING:
            self.act("monitor", Level.WARN, "padprobe acknowledged the start but reports idle")
        elif differences:
            self.act("monitor", Level.WARN, f"{words}; " + "; ".join(differences))
        else:
            self.act("monitor", Level.OK, f"{words}; chx_enable read back")

    async def do_stop(self):
        self.act("monitor", Level.BUSY, "stopping")
        reply = await self.ask({"type": "stop"})
        if reply.answer is None:
            if not reply.answered:
                self.state.forget_monitor()
            self._unanswered(reply, "a stop")
            self.act("monitor", Level.ERROR, f"stop: {reply.why}")
            return
        self.state.monitor = Monitor.STOPPED
        self.health.monitor(False)
        if await self.query() is None:
            self.act("monitor", Level.ERROR, "stop acknowledged; reading the status back failed")
        elif self.state.monitor == Monitor.RUNNING:
            self.act("monitor", Level.WARN, "padprobe acknowledged the stop but reports busy")
        else:
            self.act("monitor", Level.OK, "stopped")

    async def do_reset(self):
        self.act("controller", Level.BUSY, "resetting the controller")
        reply = await self.ask({"type": "reset"})
        if reply.answer is None:
            self._unanswered(reply, "a reset")
            self.act("controller", Level.ERROR, f"reset: {reply.why}")
            return
        ok = await self.read_all()
        self.act(
            "controller",
            Level.OK if ok else Level.ERROR,
            "controller reset (ctc_enable 0, then 1); " + _read_words(ok, "everything"),
        )


def _read_words(ok, what):
    return f"read {what}".rstrip() if ok else f"reading {what} failed".replace("  ", " ")


def _worth_showing(text):
    return [
        line.strip() for line in text.splitlines() if line.strip().startswith(LOG_WORTH_SHOWING)
    ]


def _log_words(lines):
    if not lines:
        return ""
    return "; its log: " + "; ".join(f'"{line}"' for line in lines[:4])
