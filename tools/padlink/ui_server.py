# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The live tuning page's server: static page files, the charting library
from the distribution, one WebSocket per page, and padprobe behind them.

The server holds the controller's state as last read back (ui_device) and
every page only shows it: each gets the same batched updates, the state
and the log of requests and answers. One page at a time controls the link
(ui_control); every message a page sends is checked first (ui_input).
"""
import asyncio
import collections
import json
import os
import tempfile
import time

from aiohttp import WSCloseCode, WSMsgType, web

from . import forms, record, ui_guard, ui_input
from .batches import Batcher
from .cli import CHANNELS
from .ui_control import Control
from .ui_device import Device
from .ui_recording import Rec, Recording
from .ui_snr import WINDOW_MAX_S, SnrWindows
from .ui_state import Level, Monitor, place_of_channel

PAGE_DIR = os.path.join(os.path.dirname(os.path.realpath(__file__)), "ui")
DYGRAPHS_DIR = "/usr/share/javascript/dygraphs"
PAGE_FILES = {"index.html", "page.js", "page.css", "charts.js"}
LIBRARY_FILES = {"dygraph.min.js", "dygraph.min.css"}
BATCH_INTERVAL_S = 0.05
LOG_KEPT = 500
MAX_PAGES = 16
# aiohttp closes a socket whose message exceeds this; below it, but over
# the input's own limit, the page gets a one-line refusal instead.
SOCKET_MESSAGE_MAX = 1024 * 1024
DOWNLOAD_CHUNK = 256 * 1024
STALL_PERIOD_S = 0.02
# Scripts only from this server: no page text or answer can run as code.
# The charting library adds a style element of its own, hence inline styles.
CSP = (
    "default-src 'none'; script-src 'self'; style-src 'self' 'unsafe-inline'; "
    "img-src 'self' data:; "
    "connect-src 'self'; frame-ancestors 'none'; base-uri 'none'; form-action 'none'"
)
# Operations that change settings a recording's header names.
SETTING_OPS = {"config", "config_ch", "tune", "reset"}
# Operations a watching page may send.
WATCHER_OPS = {"ask_control"}


class Outbox:
    """What one page is still to get, sent in order by a task of its own, so
    a slow page holds up nobody else. A page that falls behind loses chart
    batches and states that a newer one makes old (the newer one drops the
    one still waiting and joins the end: a batch's counts are totals, a
    state is whole), never a log line, a role or a refusal."""

    REPLACEABLE = ("batch", "state")

    def __init__(self, ws):
        self.ws = ws
        self.items = collections.deque()
        self.wake = asyncio.Event()
        self.task = asyncio.create_task(self._run())

    def put(self, message):
        kind = message.get("kind")
        if kind in self.REPLACEABLE:
            for waiting in self.items:
                if waiting["kind"] == kind:
                    self.items.remove(waiting)
                    break
        self.items.append(message)
        self.wake.set()

    async def _run(self):
        while True:
            await self.wake.wait()
            self.wake.clear()
            while self.items:
                try:
                    await self.ws.send_str(json.dumps(self.items.popleft()))
                except (ConnectionError, RuntimeError):
                    return

    def close(self):
        self.task.cancel()


class Page:
    def __init__(self, ws):
        self.ws = ws
        self.outbox = Outbox(ws)


class StallMeter:
    """How long the event loop was kept from its tasks: a sleeper's
    lateness, and the CPU time the loop's thread used meanwhile. A long
    callback shows in both; a process left waiting for a CPU by a loaded
    machine shows in the lateness only. Worst since start, and of the last
    ten seconds."""

    def __init__(self):
        self.worst = (0.0, 0.0)  # (late, busy) of the latest interval
        self.worst_busy = 0.0
        self.recent = collections.deque()  # (time, late, busy) over 5 ms

    async def run(self):
        loop = asyncio.get_running_loop()
        while True:
            before, cpu = loop.time(), time.thread_time()
            await asyncio.sleep(STALL_PERIOD_S)
            late = loop.time() - before - STALL_PERIOD_S
            busy = time.thread_time() - cpu
            self.worst = max(self.worst, (late, busy))
            self.worst_busy = max(self.worst_busy, busy)
            now = time.monotonic()
            if late > 0.005 or busy > 0.005:
                self.recent.append((now, late, busy))
            while self.recent and self.recent[0][0] < now - 10:
                self.recent.popleft()

    def to_json(self):
        recent = max((late for _, late, _ in self.recent), default=0.0)
        recent_busy = max((busy for _, _, busy in self.recent), default=0.0)
        return {
            "recent_ms": round(1000 * recent, 1),
            "recent_busy_ms": round(1000 * recent_busy, 1),
            "worst_ms": round(1000 * self.worst[0], 1),
            "worst_busy_ms": round(1000 * self.worst_busy, 1),
        }


class UiServer:
    def __init__(
        self,
        link,
        host,
        port,
        names=(),
        token=None,
        record_dir=None,
        padprobe_log=None,
        request_timeout=3.0,
        tune_timeout=120.0,
    ):
        """`link`: a greeted padlink.link.Link. `names`: host names the
        server also answers to (--host). `token`: what a page from beyond
        this machine must present (None on loopback)."""
        self.host = host
        self.port = port
        self.names = tuple(names)
        self.allowed = ui_guard.allowed_names(host, self.names)
        self.token = token
        self.device = Device(
            link, self, CHANNELS, request_timeout, tune_timeout, padprobe_log=padprobe_log
        )
        self.batcher = Batcher()
        self.control = Control()
        self.pages = {}  # ws -> Page
        self.tasks = set()
        self.log = []
        self.started = time.time()
        self.recording = Recording(record_dir or default_record_dir())
        self.settling = False  # a start's settings are still being read back
        self.snr = SnrWindows()
        self.stalls = StallMeter()
        self.dirty = True
        self.stopping = asyncio.Event()

    # --- what the device tells -------------------------------------------------

    def state_changed(self):
        self.dirty = True

    def note(self, direction, text):
        entry = {"time": round(time.time() - self.started, 3), "dir": direction, "text": text}
        self.log.append(entry)
        del self.log[:-LOG_KEPT]
        self.broadcast({"kind": "log", "entry": entry})

    def frame(self, frame):
        self.batcher.add(frame)
        self.snr.add(frame)
        if self.recording.state == Rec.ARMED:
            if self.settling:
                self.recording.hold(frame)
                return
            self._begin_recording()
        if self.recording.state == Rec.WRITING:
            self._recording_ended(self.recording.add(frame))

    def junk(self, count):
        self.batcher.junk_bytes += count

    def monitor_starting(self, samp_int):
        self.batcher.restart(samp_int)
        self.settling = True

    def monitor_started(self, samp_int, watched):
        if self.recording.state == Rec.WRITING:
            self.recording.end()
            self.recording.arm()
            self.device.act("record", Level.OK, "a new start: the recording goes on in a new file")
        self.broadcast({"kind": "restart", "channels": watched, "samp_int": samp_int})

    def restarted(self):
        self.batcher.restart()
        if self.snr.capture is not None:
            self.snr.abandon()

    # --- the recording ------------------------------------------------------------

    def _begin_recording(self):
        state = self.device.state
        settings = forms_settings(state)
        failed = self.recording.begin(state.watched, settings)
        if failed:
            self.device.act("record", Level.ERROR, failed)
        else:
            began = time.strftime("%H:%M:%S", time.localtime(self.recording.started))
            self.device.act("record", Level.OK, f"writing since {began}")

    def _recording_ended(self, why):
        if why:
            self.note("!", why)
            self.device.act("record", Level.ERROR, why)

    # --- the web side -------------------------------------------------------------

    def app(self):
        app = web.Application(middlewares=[self._guard])
        app.router.add_get("/", self._index)
        app.router.add_get("/ui/{name}", self._page_file)
        app.router.add_get("/lib/{name}", self._library_file)
        app.router.add_get("/ws", self._socket)
        app.router.add_get("/recording.csv", self._recording_csv)
        return app

    @web.middleware
    async def _guard(self, request, handler):
        if not ui_guard.host_allowed(request.host, self.allowed, self.port):
            return web.Response(status=421, text="padhost is not served under this name\n")
        if self.token is not None:
            cookie = request.cookies.get(ui_guard.cookie_name(self.port))
            given = request.query.get("token")
            if request.path == "/" and given is not None:
                if not ui_guard.token_matches(given, self.token):
                    return web.Response(status=403, text="padhost: wrong token\n")
                # The token leaves the address bar (and the history) at
                # once; the cookie carries it from now on.
                response = web.Response(status=303, headers={"Location": "/"})
                response.set_cookie(
                    ui_guard.cookie_name(self.port),
                    self.token,
                    httponly=True,
                    samesite="Strict",
                    path="/",
                )
                return response
            if not ui_guard.token_matches(cookie, self.token):
                return web.Response(
                    status=403,
                    text="padhost: open the address padhost printed when it started "
                    "(it carries the token)\n",
                )
        response = await handler(request)
        response.headers["Content-Security-Policy"] = CSP
        response.headers["X-Content-Type-Options"] = "nosniff"
        response.headers["Cache-Control"] = "no-store"
        response.headers["Referrer-Policy"] = "no-referrer"
        return response

    async def _index(self, request):
        return web.FileResponse(os.path.join(PAGE_DIR, "index.html"))

    async def _page_file(self, request):
        name = request.match_info["name"]
        if name not in PAGE_FILES:
            raise web.HTTPNotFound()
        return web.FileResponse(os.path.join(PAGE_DIR, name))

    async def _library_file(self, request):
        name = request.match_info["name"]
        if name not in LIBRARY_FILES:
            raise web.HTTPNotFound()
        path = os.path.join(DYGRAPHS_DIR, name)
        if not os.path.exists(path):
            return web.Response(status=404, text=f"{path} is missing: install libjs-dygraphs\n")
        return web.FileResponse(path)

    async def _recording_csv(self, request):
        """The newest recording as written so far, in whole rows: its size
        is taken once, so rows written during the download are not in it."""
        snapshot = self.recording.snapshot()
        if snapshot is None:
            return web.Response(status=404, text="nothing recorded yet\n")
        path, size = snapshot
        response = web.StreamResponse(
            headers={
                "Content-Type": "text/csv",
                "Content-Disposition": f'attachment; filename="{os.path.basename(path)}"',
                "Content-Length": str(size),
            }
        )
        await response.prepare(request)
        with open(path, "rb") as recorded:
            left = size
            while left > 0:
                chunk = recorded.read(min(DOWNLOAD_CHUNK, left))
                if not chunk:
                    break
                left -= len(chunk)
                await response.write(chunk)
        await response.write_eof()
        return response

    async def _socket(self, request):
        if not ui_guard.origin_allowed(
            request.headers.get("Origin"), request.host, self.allowed, self.port
        ):
            return web.Response(status=403, text="WebSocket from another origin refused\n")
        ws = web.WebSocketResponse(heartbeat=30, max_msg_size=SOCKET_MESSAGE_MAX)
        await ws.prepare(request)
        if len(self.pages) >= MAX_PAGES:
            text = f"padhost serves at most {MAX_PAGES} pages at once: close one, then reload"
            await ws.send_str(json.dumps({"kind": "full", "text": text}))
            await ws.close(code=WSCloseCode.TRY_AGAIN_LATER, message=b"too many pages")
            return ws
        page = Page(ws)
        self.pages[ws] = page
        self.control.join(page, request.query.get("control"))
        try:
            self._send(page, self.hello(page))
            self._roles()
            async for message in ws:
                if message.type == WSMsgType.TEXT:
                    self._take(page, message.data)
                elif message.type == WSMsgType.BINARY:
                    self._send(page, refused("refused: only text messages are taken"))
        finally:
            del self.pages[ws]
            page.outbox.close()
            self.control.leave(page)
            self._roles()
        return ws

    def _take(self, page, text):
        try:
            op = ui_input.parse(text)
        except ui_input.Refused as err:
            self._send(page, refused(str(err)))
            return
        if op["op"] not in WATCHER_OPS and not self.control.controls(page):
            self._send(page, refused("refused: read-only, another page controls the link"))
            return
        task = asyncio.create_task(self._serve_op(page, op))
        self.tasks.add(task)
        task.add_done_callback(self.tasks.discard)

    def hello(self, page):
        return {
            "kind": "hello",
            "channels": CHANNELS,
            "rules": [
                {"type": t, "member": m, "attribute": a, "limit": limit}
                for t, m, a, limit in forms.RANGE_RULES
            ],
            "limits": {"snr_seconds": WINDOW_MAX_S, "pages": MAX_PAGES},
            "role": self.control.role(page),
            "state": self.state(),
            "log": self.log[-LOG_KEPT:],
        }

    def state(self):
        message = self.device.state.to_json()
        message["link"] = self.device.health.to_json(time.time())
        message["recording"] = self.recording.to_json()
        message["snr"] = self.snr.to_json()
        return message

    def _send(self, page, message):
        page.outbox.put(message)

    def broadcast(self, message):
        for page in self.pages.values():
            self._send(page, message)

    def _roles(self):
        for page in self.pages.values():
            self._send(page, self.control.role(page))

    # --- operations -----------------------------------------------------------------

    async def _serve_op(self, page, op):
        name = op["op"]
        place = place_of(op)
        try:
            await getattr(self, f"op_{name}")(page, op)
            if name in SETTING_OPS and self.recording.state == Rec.WRITING:
                self.device.act(
                    "record",
                    Level.WARN,
                    f"settings changed at {time.strftime('%H:%M:%S')} ({name}): "
                    "the file's header holds those of its start",
                )
        except forms.FormError as err:
            self.device.act(place, Level.ERROR, f"{name}: {err}")
        except Exception as err:  # a fault here must reach the page, not vanish in a task
            text = f"{name}: internal error: {err!r}"
            self.note("!", text)
            self.device.act(place, Level.ERROR, text)

    async def op_refresh(self, page, op):
        await self.device.run(self.device.do_refresh())

    async def op_query(self, page, op):
        await self.device.run(self.device.do_query())

    async def op_query_ch(self, page, op):
        ch = forms.channel(op["ch"])
        await self.device.run(self.device.do_query_ch(ch))

    async def op_config(self, page, op):
        forms.config_request(op["values"])  # refused before waiting for a turn
        await self.device.run(self.device.do_config(op["values"]))

    async def op_config_ch(self, page, op):
        ch = forms.channel(op["ch"])
        forms.config_ch_request(dict(op["values"], ch=ch))
        await self.device.run(self.device.do_config_ch(ch, op["values"]))

    async def op_tune(self, page, op):
        ch = forms.channel(op["ch"])
        await self.device.run(self.device.do_tune(ch))

    async def op_start(self, page, op):
        forms.monitor_start_request(op)
        try:
            await self.device.run(self.device.do_start(op["samp_int"], op["channels"]))
        finally:
            self.settling = False
            if self.recording.state == Rec.ARMED and self.recording.held:
                self._begin_recording()

    async def op_stop(self, page, op):
        await self.device.run(self.device.do_stop())

    async def op_reset(self, page, op):
        await self.device.run(self.device.do_reset())

    async def op_record(self, page, op):
        if op["on"]:
            if self.recording.state != Rec.OFF:
                return
            self.recording.arm()
            words = "armed: writing begins with the next frame"
            if self.device.state.monitor != Monitor.RUNNING:
                words = "armed: writing begins with the first frame after Start"
            self.device.act("record", Level.OK, words)
        else:
            self.recording.end()
            if self.recording.path is None:
                self.device.act("record", Level.OK, "not recording")
            else:
                self.device.act(
                    "record",
                    Level.OK,
                    f"recorded {self.recording.frames} frames to {self.recording.path}",
                )

    async def op_snr(self, page, op):
        window = op["window"]
        seconds = forms.integer("seconds", op["seconds"], 1, WINDOW_MAX_S)
        state = self.device.state
        if state.monitor != Monitor.RUNNING:
            raise forms.FormError("start the monitor first")
        if self.snr.capture is not None:
            raise forms.FormError(f"the {self.snr.capture['name']} window is being taken")
        self.snr.begin(window, seconds, state.samp_int)
        self.device.act("snr", Level.BUSY, f"taking the {window} window ({seconds} s)")
        await asyncio.sleep(seconds)
        if self.snr.capture is None:
            self.device.act(
                "snr", Level.ERROR, f"the {window} window was abandoned: padprobe restarted"
            )
            return
        thresholds = {
            ch: v.get("diff_th") for ch, v in state.channels.items() if v.get("diff_th") is not None
        }
        frames = self.snr.finish(thresholds)
        level = Level.OK if frames else Level.WARN
        self.device.act("snr", level, f"{window} window taken: {frames} frames in {seconds} s")

    async def op_ask_control(self, page, op):
        if self.control.ask_for(page):
            self._roles()

    async def op_answer_control(self, page, op):
        if self.control.answer(page, op["hand_over"]):
            self._roles()

    # --- the periodic work --------------------------------------------------------

    async def batches(self):
        last_roles = 0.0
        last_flush = 0.0
        while True:
            await asyncio.sleep(BATCH_INTERVAL_S)
            now = time.time()
            changed = self.control.tick()
            # While control may pass, the pages count down once a second.
            counting = self.control.ask is not None or self.control.reserved_until is not None
            if changed or (counting and now - last_roles >= 1.0):
                last_roles = now
                self._roles()
            if now - last_flush >= 1.0:
                last_flush = now
                self.recording.flush()
            if self.dirty:
                self.dirty = False
                self.broadcast(self.state())
            batch = self.batcher.take(now)
            if batch is None:
                batch = {"kind": "batch", "sent": now, "count": 0, "points": [], "peak_diff": {}}
                batch["health"] = self.batcher.health(now)
            batch["health"]["rate"] = self.device.health.rate(now)
            batch["health"]["recorded"] = self.recording.frames
            batch["health"]["stall"] = self.stalls.to_json()
            if self.pages:
                self.broadcast(batch)

    # --- life ---------------------------------------------------------------------

    def spawn(self, coroutine):
        task = asyncio.create_task(coroutine)
        self.tasks.add(task)
        task.add_done_callback(self.tasks.discard)
        return task

    async def run(self, announce):
        self.device.start()
        runner = web.AppRunner(self.app(), access_log=None, handle_signals=False)
        await runner.setup()
        site = web.TCPSite(runner, self.host, self.port)
        await site.start()
        self.port = runner.addresses[0][1]
        announce(self.port)
        background = [
            asyncio.create_task(self.batches()),
            asyncio.create_task(self.device.watch()),
            asyncio.create_task(self.stalls.run()),
        ]
        try:
            await self.stopping.wait()
        finally:
            for task in background + list(self.tasks):
                task.cancel()
            self.device.stop_tasks()
            if self.device.state.monitor != Monitor.STOPPED:
                # Leave the board quiet: nobody watches the stream any more.
                await self.device.ask({"type": "stop"}, timeout=2.0)
            self.recording.end()
            for ws in list(self.pages):
                await ws.close()
            await runner.cleanup()
            self.device.close()


def refused(text):
    return {"kind": "refused", "text": text}


def place_of(op):
    """Where the page shows the status of an operation."""
    name = op["op"]
    if name in ("query_ch", "config_ch", "tune"):
        try:
            return place_of_channel(forms.channel(op["ch"]))
        except forms.FormError:
            return "channels"
    return {
        "start": "monitor",
        "stop": "monitor",
        "reset": "controller",
        "record": "record",
        "snr": "snr",
    }.get(name, "common")


def forms_settings(state):
    """The settings in force, for a recording's header."""
    return record.settings_lines(
        state.samp_int,
        state.watched,
        common=state.common,
        channel_settings={ch: state.channels.get(ch) for ch in state.watched},
        started=time.time(),
    )


def default_record_dir():
    return os.path.join(tempfile.gettempdir(), f"padhost-recordings-{os.getuid()}")
