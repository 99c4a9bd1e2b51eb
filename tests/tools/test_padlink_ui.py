# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The tuning page's server side: frames into batches, forms into requests,
the range warnings, the Host and Origin checks, and one server over a fake
serial line driven through its real WebSocket."""
import asyncio
import json
import socket

import pytest

from padlink import analysis, forms, ui_guard
from padlink.batches import Batcher
from padlink.link import FdTransport, Link
from padlink.stream import StreamDecoder
from padlink.ui_link import answers_request
from test_padlink_stream import frame_bytes


def frames_of(*raws, start=0.0, step=0.001):
    decoder = StreamDecoder()
    frames = []
    for i, raw in enumerate(raws):
        frames += decoder.feed(raw, start + i * step)
    return frames


def test_batches_count_every_frame_and_chart_a_spread_ending_with_the_newest():
    batcher = Batcher(max_points=5)
    raws = [frame_bytes(seq, [(3, 3300 - (seq == 40) * 250, 3300)]) for seq in range(1, 51)]
    raws.insert(20, frame_bytes(99, [(3, 1, 1)], xor=0x55))  # a damaged one, and a gap
    for frame in frames_of(*raws, start=100.0):
        batcher.add(frame)
    batch = batcher.take(now=100.06)
    assert batch["count"] == 51
    assert len(batch["points"]) == 5
    assert batch["points"][-1][1] == 50  # the newest frame, for the lag figure
    assert batch["points"][0][1] <= 11  # spread over the batch, not its tail
    assert batch["points"][-1][0] == pytest.approx(100.05)
    assert batch["points"][-1][2] == [[3, 3300, 3300, 0]]
    # The touch inside the batch lights the tile though no charted point has it.
    assert batch["peak_diff"] == {"3": 250}
    health = batch["health"]
    assert (health["frames"], health["xor_errors"], health["fps"]) == (51, 1, 51)
    assert (health["gaps"], health["backwards"]) == (1, 1)
    # The next batch starts empty but keeps the counts; then nothing is sent
    # once the last second holds no frame.
    later = batcher.take(now=100.5)
    assert later["points"] == [] and later["peak_diff"] == {} and later["health"]["frames"] == 51
    assert batcher.take(now=102.0)["health"]["fps"] == 0
    assert batcher.take(now=102.1) is None
    batcher.restart()
    assert batcher.health(102.2)["frames"] == 0


def test_no_snr_field_and_negative_differences():
    batcher = Batcher()
    for frame in frames_of(frame_bytes(1, [(0, 2000, 1990)], snr=65535)):
        batcher.add(frame)
    batch = batcher.take(1.0)
    assert batch["health"]["snr"] is None
    assert batch["peak_diff"] == {"0": -10}
    for frame in frames_of(frame_bytes(2, [(0, 1, 2)], snr=167)):
        batcher.add(frame)
    assert batcher.take(2.0)["health"]["snr"] == 1.67


COMMON = {
    "scan_int": "10",
    "avg_samp": "8",
    "etc_en": 1,
    "etc_int": "128",
    "step": "15",
    "etc_factor": "16",
    "deb_en": "1",
    "deb_cnt": "-4",
}


def test_each_form_becomes_its_request():
    assert forms.config_request(COMMON) == {
        "type": "config",
        "scan_int": 10,
        "avg_samp": 8,
        "etc_en": 1,
        "etc_int": 128,
        "step": 15,
        "etc_factor": 16,
        "deb_en": 1,
        "deb_cnt": -4,
    }
    channel = {"ch": "3", "enable": 1, "mbias": "40", "diff_th": 90, "abs_th": 4096}
    channel.update(nn_th="50", pn_th="51")
    assert forms.config_ch_request(channel) == {
        "type": "config_ch",
        "ch": 3,
        "enable": 1,
        "mbias": 40,
        "diff_th": 90,
        "abs_th": 4096,
        "nn_th": 50,
        "pn_th": 51,
    }
    assert forms.query_ch_request("8") == {"type": "query_ch", "ch": 8}
    assert forms.tune_request(3) == {"type": "tune_mbias_ch", "ch": 3}
    start = forms.monitor_start_request({"samp_int": "1", "channels": [3, "0", 3]})
    assert start == {
        "type": "start",
        "samp_int": 1,
        **{f"ch{c}": int(c in (0, 3)) for c in range(9)},
    }
    none = forms.monitor_start_request({"samp_int": 10, "channels": []})
    assert [none[f"ch{c}"] for c in range(9)] == [0] * 9


@pytest.mark.parametrize(
    "build, form, message",
    [
        (forms.config_request, dict(COMMON, step="1; reboot"), '"step"'),
        (forms.config_request, dict(COMMON, avg_samp="2147483648"), "outside"),
        (forms.config_request, {"scan_int": 1}, "missing field(s): avg_samp"),
        (forms.config_request, "scan_int=1", "not a set of fields"),
        (forms.config_ch_request, {"ch": 9}, '"ch": 9 is outside 0..8'),
        (forms.config_ch_request, {"ch": True}, '"ch": not a number'),
        (forms.monitor_start_request, {"samp_int": 65536, "channels": []}, "samp_int"),
        (forms.monitor_start_request, {"samp_int": 10, "channels": "all"}, "not a list"),
        (forms.monitor_start_request, {"samp_int": 10, "channels": [0, 9]}, '"ch"'),
        (forms.tune_request, "3.5", '"ch"'),
    ],
)
def test_bad_fields_are_refused_by_name(build, form, message):
    with pytest.raises(forms.FormError) as err:
        build(form)
    assert message in str(err.value)


def test_range_warnings_where_the_controller_gives_them():
    warned = forms.range_warnings(forms.config_request(COMMON))
    assert [w.split()[0] for w in warned] == [
        '"sample_num"',
        '"etc_interval"',
        '"etc_factor"',
    ]
    edge = dict(COMMON, avg_samp=7, deb_cnt=4, etc_int=127, etc_factor=15, step=16)
    warned = forms.range_warnings(forms.config_request(edge))
    assert [w.split()[0] for w in warned] == ['"debounce_times"', '"etc_step"']
    low = {"ch": 0, "enable": 1, "mbias": 99, "diff_th": 0, "nn_th": 0, "pn_th": 0}
    assert forms.range_warnings(forms.config_ch_request(dict(low, abs_th=4095))) == []
    (abs_th,) = forms.range_warnings(forms.config_ch_request(dict(low, abs_th=4096)))
    assert abs_th == '"abs_th" 4096 is above 4095: the controller warns and writes it anyway'
    assert forms.range_warnings({"type": "query"}) == []


def test_tune_results_explained():
    ok = forms.explain_tune({"ch": 3, "mbias": 32, "baseline": 32})
    assert ok == "ch3: tuned, MBias 32 (the controller holds 32)"
    up = forms.explain_tune({"ch": 3, "mbias": 64, "baseline": 63})
    assert "failed (64)" in up and "below 3300 up to MBias 63" in up
    down = forms.explain_tune({"ch": 3, "mbias": 255, "baseline": 0})
    assert "failed (255)" in down and "above 3300 at MBias 0" in down
    assert "back and forth" in forms.explain_tune({"ch": 1, "mbias": 128, "baseline": 40})
    assert "outside 0..63" in forms.explain_tune({"ch": 1, "mbias": 99, "baseline": 99})


def test_host_and_origin_checks():
    loopback = ui_guard.allowed_hosts("127.0.0.1", 8765)
    assert ui_guard.origin_allowed("http://127.0.0.1:8765", "127.0.0.1:8765", loopback)
    assert ui_guard.origin_allowed("http://localhost:8765", "localhost:8765", loopback)
    # Another site's page, or ours under another name or port, or no Origin.
    assert not ui_guard.origin_allowed("http://evil.example", "127.0.0.1:8765", loopback)
    assert not ui_guard.origin_allowed("http://localhost:8765", "127.0.0.1:8765", loopback)
    assert not ui_guard.origin_allowed("https://127.0.0.1:8765", "127.0.0.1:8765", loopback)
    assert not ui_guard.origin_allowed("http://127.0.0.1:9999", "127.0.0.1:8765", loopback)
    assert not ui_guard.origin_allowed(None, "127.0.0.1:8765", loopback)
    assert not ui_guard.origin_allowed("null", "127.0.0.1:8765", loopback)
    # A DNS name rebound to loopback matches its own Origin but not the Host.
    assert not ui_guard.origin_allowed("http://evil.example:8765", "evil.example:8765", loopback)
    assert not ui_guard.host_allowed("evil.example:8765", loopback)
    assert ui_guard.allowed_hosts("::1", 80) == {"[::1]:80", "localhost:80", "127.0.0.1:80"}
    assert ui_guard.allowed_hosts("192.0.2.7", 80) == {"192.0.2.7:80"}
    anywhere = ui_guard.allowed_hosts("0.0.0.0", 80)
    assert ui_guard.origin_allowed("http://bench.lan:80", "bench.lan:80", anywhere)
    assert not ui_guard.origin_allowed("http://evil.example", "bench.lan:80", anywhere)
    assert ui_guard.parse_listen("[::1]:8765") == ("::1", 8765)
    for bad in ("8765", "localhost:", "localhost:http", "h:70000"):
        with pytest.raises(ValueError):
            ui_guard.parse_listen(bad)


def test_snr_windows_take_noise_and_signal_from_their_own_window():
    quiet = frames_of(*[frame_bytes(i, [(3, 3300 + d, 3300)]) for i, d in enumerate([2, -3, 1], 1)])
    # The touched window starts untouched: that is no noise and no signal.
    pressed = frames_of(
        *[frame_bytes(i, [(3, 3300 - d, 3300)]) for i, d in enumerate([20, 400, 600], 1)]
    )
    (report,) = analysis.window_reports(quiet, pressed, {3: 100})
    assert (report.noise_pp, report.touched, report.signal, report.snr) == (5, 2, 500.0, 100.0)
    (alone,) = analysis.window_reports([], pressed, 100)
    assert alone.snr is None


def test_answers_are_matched_to_their_request():
    assert answers_request({"type": "config_ch", "ch": 3}, {"type": "ack"})
    assert answers_request({"type": "query_ch", "ch": 3}, {"type": "query_ch", "ch": 3})
    assert answers_request({"type": "tune_mbias_ch", "ch": 3}, {"type": "error"})
    # A late answer to an earlier request is not taken for this one's.
    assert not answers_request({"type": "query_ch", "ch": 3}, {"type": "query_ch", "ch": 2})
    assert not answers_request({"type": "query"}, {"type": "ack"})
    assert not answers_request({"type": "stop"}, {"type": "query"})
    assert not answers_request({"type": "stop"}, None)


class FakeProbe:
    """The board's end of a socket pair: answers requests as padprobe
    would, and streams frames on demand."""

    def __init__(self, sock):
        self.sock = sock
        self.requests = []

    def serve(self, stop):
        buf = b""
        self.sock.settimeout(0.05)
        while not stop.is_set():
            try:
                chunk = self.sock.recv(4096)
            except socket.timeout:
                continue
            if not chunk:
                return
            buf += chunk
            while buf.count(b"{") and buf.count(b"{") == buf.count(b"}"):
                end = buf.index(b"}") + 1
                request, buf = json.loads(buf[:end]), buf[end:]
                self.requests.append(request)
                self.sock.sendall(self.answer(request))

    def answer(self, request):
        kind = request["type"]
        if kind == "query":
            answer = {"type": "query", "status": "idle", "chip_name": "chip"}
            answer.update({m: 1 for m in forms.COMMON_MEMBERS})
        elif kind == "query_ch":
            answer = {"type": "query_ch", "ch": request["ch"], "diff_th": 100}
        elif kind == "start":
            answer = {"type": "ack"}
            # Two bytes of line noise before the stream.
            return (
                json.dumps(answer).encode()
                + b"\x00\x01"
                + b"".join(frame_bytes(seq, [(3, 3000, 3000)]) for seq in range(1, 31))
            )
        else:
            answer = {"type": "ack"}
        return json.dumps(answer, indent="\t").encode()


def test_server_over_its_websocket():
    aiohttp = pytest.importorskip("aiohttp")
    import threading

    from padlink.ui_server import UiServer

    ours, theirs = socket.socketpair()
    probe = FakeProbe(theirs)
    stop = threading.Event()
    thread = threading.Thread(target=probe.serve, args=(stop,), daemon=True)
    thread.start()

    async def scenario():
        link = Link(FdTransport(ours.fileno()))
        server = UiServer(link, "127.0.0.1", 0)
        urls = []
        running = asyncio.create_task(server.run(urls.append))
        while not urls or server.common is None or len(server.channels) < 9:
            await asyncio.sleep(0.02)
        base = urls[0]
        origin = base.rstrip("/")
        async with aiohttp.ClientSession() as http:
            async with http.get(base) as page:
                assert page.status == 200
                assert "script-src 'self'" in page.headers["Content-Security-Policy"]
            async with http.get(base + "ui/../ui_server.py") as escape:
                assert escape.status == 404
            rebound = {"Host": "evil.example:" + base.rsplit(":", 1)[1].strip("/")}
            async with http.get(base, headers=rebound) as refused:
                assert refused.status == 421
            with pytest.raises(aiohttp.WSServerHandshakeError) as err:
                await http.ws_connect(base + "ws", headers={"Origin": "http://evil.example"})
            assert err.value.status == 403

            first = await http.ws_connect(base + "ws", headers={"Origin": origin})
            hello = await first.receive_json()
            assert hello["role"]["controls"] and hello["state"]["common"]["avg_samp"] == 1
            second = await http.ws_connect(base + "ws", headers={"Origin": origin})
            assert not (await second.receive_json())["role"]["controls"]

            async def result(ws, op):
                while (m := await ws.receive_json(timeout=10))["kind"] != "result" or m["op"] != op:
                    pass
                return m

            await second.send_json({"op": "stop"})
            refused = await result(second, "stop")
            assert not refused["ok"] and refused["text"].startswith("read-only")
            await first.send_json({"op": "config", "values": dict(COMMON, step="x")})
            assert '"step"' in (await result(first, "config"))["text"]
            await first.send_json({"op": "start", "samp_int": 1, "channels": [3]})
            assert (await result(first, "start"))["ok"]
            frames = 0
            while frames < 30:
                m = await first.receive_json(timeout=10)
                if m["kind"] == "batch":
                    frames = m["health"]["frames"]
            assert (m["health"]["junk_bytes"], m["health"]["gaps"]) == (2, 0)
            # The first page goes; the second one takes over.
            await first.close()
            while not (m := await second.receive_json(timeout=10)).get("controls"):
                pass
            await second.close()
        server.stopping.set()
        await running

    try:
        asyncio.run(asyncio.wait_for(scenario(), 60))
    finally:
        stop.set()
        thread.join(5)
        ours.close()
        theirs.close()
    kinds = [r["type"] for r in probe.requests]
    assert kinds[:10] == ["query"] + ["query_ch"] * 9
    assert "config" not in kinds  # the bad field never left the server
    # The server stops the monitor it leaves running when it ends.
    assert kinds[-2:] == ["start", "stop"]


def test_a_slow_page_loses_chart_batches_only():
    from padlink.ui_server import Outbox

    class StuckSocket:
        def __init__(self):
            self.sent = []
            self.release = asyncio.Event()

        async def send_str(self, text):
            await self.release.wait()
            self.sent.append(json.loads(text)["n"])

    async def scenario():
        ws = StuckSocket()
        outbox = Outbox(ws)
        outbox.put({"kind": "batch", "n": 1})
        await asyncio.sleep(0.01)  # the first batch is being sent
        for n, kind in enumerate(["batch", "state", "batch", "batch", "log", "batch"], 2):
            outbox.put({"kind": kind, "n": n})
        ws.release.set()
        await asyncio.sleep(0.05)
        outbox.close()
        return ws.sent

    assert asyncio.run(scenario()) == [1, 2, 3, 5, 6, 7]


def test_a_hung_up_line_is_said_once_and_watched_without_a_busy_loop():
    from padlink.ui_link import UiLink

    ours, theirs = socket.socketpair()
    events, reads = [], []

    async def scenario():
        link = UiLink(Link(FdTransport(ours.fileno())), None, lambda kind, _: events.append(kind))
        read = link.transport.read
        link.transport.read = lambda timeout: reads.append(timeout) or read(timeout)
        link.start()
        theirs.close()
        await asyncio.sleep(1.0)
        link.close()

    try:
        asyncio.run(scenario())
    finally:
        ours.close()
    assert events == ["hangup"]
    assert 2 <= len(reads) <= 10  # one look every 0.2 s
