# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The live tuning page's server: static page files, the charting library
from the distribution, one WebSocket per page, and the link to padprobe.

One page at a time controls the link (the first to connect; the next in
line when it goes); the others watch, read-only. Every page gets the same
batched updates, the state of the forms and the log of requests and answers.
"""
import asyncio
import collections
import io
import json
import os
import time

from aiohttp import WSMsgType, web

from . import analysis, forms, record, ui_guard
from .batches import Batcher
from .cli import CHANNELS
from .link import LinkError
from .ui_link import UiLink

PAGE_DIR = os.path.join(os.path.dirname(os.path.realpath(__file__)), "ui")
DYGRAPHS_DIR = "/usr/share/javascript/dygraphs"
PAGE_FILES = {"index.html", "page.js", "page.css"}
LIBRARY_FILES = {"dygraph.min.js", "dygraph.min.css"}
BATCH_INTERVAL_S = 0.05
LOG_KEPT = 500
# A recording stops here rather than fill the memory: at samp_int 1 this is
# over eight minutes of all nine channels.
RECORDING_MAX_FRAMES = 500_000
SNR_WINDOW_MAX_S = 60
# Scripts only from this server: no page text or answer can run as code.
# The charting library adds a style element of its own, hence inline styles.
CSP = (
    "default-src 'none'; script-src 'self'; style-src 'self' 'unsafe-inline'; "
    "img-src 'self' data:; "
    "connect-src 'self'; frame-ancestors 'none'; base-uri 'none'; form-action 'none'"
)


class Outbox:
    """What one page is still to get, sent in order by a task of its own, so
    a slow page holds up nobody else. A page that falls behind loses chart
    batches (a new one replaces one still waiting: the counts in it are
    totals), never a state, a log line or a result."""

    def __init__(self, ws):
        self.ws = ws
        self.items = collections.deque()
        self.wake = asyncio.Event()
        self.task = asyncio.create_task(self._run())

    def put(self, message):
        if message.get("kind") == "batch" and self.items and self.items[-1]["kind"] == "batch":
            self.items[-1] = message
        else:
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


class UiServer:
    def __init__(self, link, host, port, tune_timeout=120.0, request_timeout=10.0):
        self.link = link  # a greeted padlink.link.Link
        self.host = host
        self.port = port
        self.allowed = ui_guard.allowed_hosts(host, port)
        self.tune_timeout = tune_timeout
        self.request_timeout = request_timeout
        self.batcher = Batcher()
        self.pages = []  # WebSockets in the order they came; the first controls
        self.outboxes = {}
        self.tasks = set()  # operations under way
        self.log = []
        self.common = None
        self.channels = {}
        self.tunes = {}
        self.monitor = {"running": False, "samp_int": 10, "channels": list(range(CHANNELS))}
        self.recording = None  # frames while recording
        self.recorded = []
        self.recording_full = False
        self.windows = {}  # "untouched"/"touched" -> frames
        self.capture = None  # (name, frames) while an SNR window is taken
        self.snr = []
        self.started = time.time()
        self.ui_link = None
        self.stopping = asyncio.Event()

    # --- the web side ---------------------------------------------------

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
        if not ui_guard.host_allowed(request.host, self.allowed):
            return web.Response(status=421, text="not served under this name\n")
        response = await handler(request)
        response.headers["Content-Security-Policy"] = CSP
        response.headers["X-Content-Type-Options"] = "nosniff"
        response.headers["Cache-Control"] = "no-store"
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
        out = io.StringIO()
        record.write_rows(out, self.recorded)
        return web.Response(
            text=out.getvalue(),
            content_type="text/csv",
            headers={"Content-Disposition": 'attachment; filename="padhost-recording.csv"'},
        )

    async def _socket(self, request):
        if not ui_guard.origin_allowed(request.headers.get("Origin"), request.host, self.allowed):
            return web.Response(status=403, text="WebSocket from another origin refused\n")
        ws = web.WebSocketResponse(heartbeat=30)
        await ws.prepare(request)
        self.pages.append(ws)
        self.outboxes[ws] = Outbox(ws)
        try:
            self._send(ws, self.hello(ws))
            async for message in ws:
                if message.type != WSMsgType.TEXT:
                    continue
                try:
                    op = json.loads(message.data)
                except ValueError:
                    continue
                if isinstance(op, dict):
                    task = asyncio.create_task(self._serve_op(ws, op))
                    self.tasks.add(task)
                    task.add_done_callback(self.tasks.discard)
        finally:
            was_controller = self.pages and self.pages[0] is ws
            self.pages.remove(ws)
            self.outboxes.pop(ws).close()
            if was_controller and self.pages:
                self._send(self.pages[0], self.role(self.pages[0]))
        return ws

    def role(self, ws):
        controls = bool(self.pages) and self.pages[0] is ws
        return {
            "kind": "role",
            "controls": controls,
            "text": (
                "this page controls the link"
                if controls
                else "read-only: another page controls the link"
            ),
        }

    def hello(self, ws):
        return {
            "kind": "hello",
            "channels": CHANNELS,
            "rules": [
                {"type": t, "member": m, "attribute": a, "limit": limit}
                for t, m, a, limit in forms.RANGE_RULES
            ],
            "role": self.role(ws),
            "state": self.state(),
            "log": self.log[-LOG_KEPT:],
        }

    def state(self):
        return {
            "kind": "state",
            "common": self.common,
            "channels": {str(ch): v for ch, v in sorted(self.channels.items())},
            "tunes": {str(ch): v for ch, v in sorted(self.tunes.items())},
            "monitor": self.monitor,
            "recording": self.recording is not None,
            "recorded": len(self.recorded) if self.recording is None else len(self.recording),
            "recording_full": self.recording_full,
            "windows": {name: len(frames) for name, frames in self.windows.items()},
            "capturing": self.capture[0] if self.capture else None,
            "snr": self.snr,
        }

    def _send(self, ws, message):
        outbox = self.outboxes.get(ws)
        if outbox is not None:
            outbox.put(message)

    def broadcast(self, message):
        for ws in self.pages:
            self._send(ws, message)

    def broadcast_state(self):
        self.broadcast(self.state())

    def note(self, direction, text):
        entry = {"time": round(time.time() - self.started, 3), "dir": direction, "text": text}
        self.log.append(entry)
        del self.log[:-LOG_KEPT]
        self.broadcast({"kind": "log", "entry": entry})

    # --- requests -------------------------------------------------------

    async def ask(self, request, timeout=None):
        """One request and its answer, both logged; None after a failure."""
        text = json.dumps(request)
        self.note(">", text)
        for warning in forms.range_warnings(request):
            self.note("!", warning)
        try:
            answer = await self.ui_link.request(request, timeout or self.request_timeout)
        except (LinkError, OSError) as err:
            self.note("!", f"{request['type']}: {err}")
            return None
        # cJSON lays answers out over many lines; the log keeps one a line.
        shown = answer.raw.decode(errors="replace")
        self.note("<", shown if answer.obj is None else json.dumps(answer.obj))
        if not isinstance(answer.obj, dict) or answer.obj.get("type") == "error":
            self.note("!", f"{request['type']}: padprobe answered with an error")
            return None
        return answer.obj

    async def query(self):
        answer = await self.ask({"type": "query"})
        if answer is not None:
            self.common = {m: answer.get(m) for m in forms.COMMON_MEMBERS}
            self.common["chip_name"] = answer.get("chip_name")
            self.common["status"] = answer.get("status")
            self.monitor["running"] = answer.get("status") == "busy"
        return answer

    async def query_ch(self, ch):
        answer = await self.ask(forms.query_ch_request(ch))
        if answer is not None:
            self.channels[ch] = {m: answer.get(m) for m in forms.CHANNEL_MEMBERS}
        return answer

    async def refresh(self):
        # Without an answer to "query" nine more time-outs would tell nothing new.
        if await self.query() is None:
            self.broadcast_state()
            return
        for ch in range(CHANNELS):
            await self.query_ch(ch)
        self.broadcast_state()

    async def _serve_op(self, ws, op):
        name = op.get("op")
        result = {"kind": "result", "op": name, "ok": False, "text": ""}
        if ws not in self.pages:
            return
        if self.pages[0] is not ws:
            result["text"] = "read-only: another page controls the link"
        else:
            try:
                handler = getattr(self, f"op_{name}", None) if isinstance(name, str) else None
                if handler is None:
                    raise forms.FormError(f"unknown operation {str(name)[:20]!r}")
                result["ok"], result["text"] = await handler(op)
            except forms.FormError as err:
                result["text"] = str(err)
            except Exception as err:  # a fault here must reach the page, not vanish in a task
                result["text"] = f"internal error: {err!r}"
                self.note("!", f"{name}: {result['text']}")
            self.broadcast_state()
        if "ch" in op:
            result["ch"] = op["ch"]
        self._send(ws, result)

    async def op_refresh(self, op):
        await self.refresh()
        return True, "read back"

    async def op_query(self, op):
        return (await self.query()) is not None, "query"

    async def op_query_ch(self, op):
        return (await self.query_ch(forms.channel(op.get("ch")))) is not None, "query_ch"

    async def op_config(self, op):
        request = forms.config_request(op.get("values"))
        if await self.ask(request) is None:
            return False, "config failed"
        # Read back what the controller now holds.
        await self.query()
        return True, "applied"

    async def op_config_ch(self, op):
        values = dict(op.get("values") or {}, ch=op.get("ch"))
        request = forms.config_ch_request(values)
        if await self.ask(request) is None:
            return False, "config_ch failed"
        await self.query_ch(request["ch"])
        return True, "applied"

    async def op_tune(self, op):
        request = forms.tune_request(op.get("ch"))
        ch = request["ch"]
        self.tunes[ch] = f"ch{ch}: tuning..."
        self.broadcast_state()
        answer = await self.ask(request, self.tune_timeout)
        self.tunes[ch] = (
            f"ch{ch}: no answer to the tune" if answer is None else forms.explain_tune(answer)
        )
        await self.query_ch(ch)
        return answer is not None, self.tunes[ch]

    async def op_start(self, op):
        request = forms.monitor_start_request(op)
        channels = [ch for ch in range(CHANNELS) if request[f"ch{ch}"]]
        self.batcher.restart()
        if await self.ask(request) is None:
            return False, "start failed"
        self.monitor = {"running": True, "samp_int": request["samp_int"], "channels": channels}
        self.broadcast({"kind": "restart", "channels": channels})
        return True, "started"

    async def op_stop(self, op):
        if await self.ask({"type": "stop"}) is None:
            return False, "stop failed"
        self.monitor["running"] = False
        return True, "stopped"

    async def op_record(self, op):
        if op.get("on"):
            self.recording = []
            self.recording_full = False
            return True, "recording"
        if self.recording is not None:
            self.recorded, self.recording = self.recording, None
        return True, f"{len(self.recorded)} frames recorded"

    async def op_snr(self, op):
        window = op.get("window")
        if window not in ("untouched", "touched"):
            raise forms.FormError('"window": untouched or touched')
        seconds = forms.integer("seconds", op.get("seconds"), 1, SNR_WINDOW_MAX_S)
        if not self.monitor["running"]:
            raise forms.FormError("start the monitor first")
        if self.capture is not None:
            raise forms.FormError(f"the {self.capture[0]} window is being taken")
        self.capture = (window, [])
        self.broadcast_state()
        try:
            await asyncio.sleep(seconds)
        finally:
            self.windows[window] = self.capture[1]
            self.capture = None
        thresholds = {ch: v.get("diff_th", 100) for ch, v in self.channels.items()}
        reports = analysis.window_reports(
            self.windows.get("untouched", []), self.windows.get("touched", []), thresholds
        )
        self.snr = [
            {
                "ch": r.channel,
                "noise": r.noise_pp,
                "signal": round(r.signal, 1) if r.touched else None,
                "touched": r.touched,
                "snr": None if r.snr is None else round(r.snr, 1),
                "line": r.line(),
            }
            for r in reports
        ]
        return True, f"{window} window: {len(self.windows[window])} frames"

    # --- frames ---------------------------------------------------------

    def on_frame(self, frame):
        self.batcher.add(frame)
        if self.recording is not None:
            if len(self.recording) < RECORDING_MAX_FRAMES:
                self.recording.append(frame)
            elif not self.recording_full:
                self.recording_full = True
                self.note(
                    "!", f"recording full at {RECORDING_MAX_FRAMES} frames; later ones dropped"
                )
        if self.capture is not None:
            self.capture[1].append(frame)

    def on_event(self, kind, detail):
        if kind == "junk":
            self.batcher.junk_bytes += detail
        else:
            self.note("!", detail)

    async def batches(self):
        while True:
            await asyncio.sleep(BATCH_INTERVAL_S)
            batch = self.batcher.take(time.time())
            if batch is not None and self.pages:
                self.broadcast(batch)

    # --- life -----------------------------------------------------------

    async def run(self, announce):
        self.ui_link = UiLink(self.link, self.on_frame, self.on_event)
        self.ui_link.start()
        runner = web.AppRunner(self.app(), access_log=None, handle_signals=False)
        await runner.setup()
        site = web.TCPSite(runner, self.host, self.port)
        await site.start()
        self.port = runner.addresses[0][1]
        self.allowed = ui_guard.allowed_hosts(self.host, self.port)
        announce(f"http://{ui_guard.url_host(self.host)}:{self.port}/")
        batches = asyncio.create_task(self.batches())
        try:
            await self.refresh()
            await self.stopping.wait()
        finally:
            batches.cancel()
            for task in list(self.tasks):
                task.cancel()
            if self.monitor["running"]:
                # Leave the board quiet: nobody watches the stream any more.
                await self.ask({"type": "stop"}, timeout=2.0)
            for ws in list(self.pages):
                await ws.close()
            await runner.cleanup()
            self.ui_link.close()
