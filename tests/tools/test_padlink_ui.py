# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The tuning page's server side: frames into batches, forms into requests,
every message a page may send checked, the range warnings, the Host,
Origin and token checks, and one server over a fake serial line driven
through its real WebSocket."""
import asyncio
import json
import socket

import fakeprobe
import pytest
from fakeprobe import FakeProbe

from padlink import analysis, forms, ui_guard, ui_input
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


def test_a_charted_point_after_a_break_says_so():
    batcher = Batcher(max_points=100)
    # A gap in the sequence, then frames that stopped for a second.
    seqs_and_times = [(1, 0.0), (2, 0.01), (5, 0.02), (6, 0.03), (7, 1.03), (8, 1.04)]
    decoder = StreamDecoder()
    for seq, t in seqs_and_times:
        for frame in decoder.feed(frame_bytes(seq, [(0, 1, 2)]), 100.0 + t):
            batcher.add(frame)
    assert [p[3] for p in batcher.take(101.1)["points"]] == [0, 0, 1, 0, 1, 0]
    # A break among frames not charted marks the next charted point.
    batcher = Batcher(max_points=2)
    for seq in (1, 2, 4, 5, 6, 7):
        for frame in decoder.feed(frame_bytes(seq, [(0, 1, 2)]), 200.0 + seq / 100):
            batcher.add(frame)
    assert [(p[1], p[3]) for p in batcher.take(200.1)["points"]] == [(4, 1), (7, 0)]


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
        # Digits are ASCII digits: not a superscript, not another script's.
        (forms.config_request, dict(COMMON, scan_int="²"), '"scan_int"'),
        (forms.config_request, dict(COMMON, scan_int="\u0663"), '"scan_int"'),
        (forms.config_request, dict(COMMON, scan_int="\uff13"), '"scan_int"'),
        (forms.monitor_start_request, {"samp_int": "1\u0660", "channels": []}, "samp_int"),
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


GOOD = {"op": "config_ch", "ch": 3, "values": {m: "1" for m in forms.CHANNEL_MEMBERS}}


@pytest.mark.parametrize(
    "text, answer",
    [
        ("[" * 100_000, "refused: a message over 4096 bytes"),
        ("[" * 4000, "refused: nested deeper than 3 levels"),
        ('{"op": "stop", "a": {"b": {"c": {}}}}', "refused: nested deeper than 3 levels"),
        ("{'op': 'stop'}", "refused: not JSON (Expecting property name"),
        ('{"op": "stop"', "refused: not JSON (Expecting"),
        ("[]", "refused: a message is one JSON object"),
        ('"stop"', "refused: a message is one JSON object"),
        ('{"op": "reboot"}', "refused: no operation 'reboot'"),
        ('{"op": ["stop"]}', "refused: no operation \"['stop']\""),
        ('{"op": "stop", "now": 1}', "refused: stop takes no member 'now'"),
        ('{"op": "tune"}', "refused: tune needs 'ch'"),
        ('{"op": "tune", "ch": true}', "refused: tune: 'ch': not a number"),
        ('{"op": "tune", "ch": 3.5}', "refused: tune: 'ch': not a number"),
        ('{"op": "tune", "ch": NaN}', "refused: not JSON (NaN is not a JSON number)"),
        ('{"op": "tune", "ch": "' + "9" * 40 + '"}', "refused: tune: 'ch': longer than 32"),
        ('{"op": "record", "on": 1}', "refused: record: 'on': not true or false"),
        ('{"op": "snr", "window": "x", "seconds": 1}', "refused: snr: 'window': neither"),
        (
            '{"op": "start", "samp_int": 1, "channels": [[0]]}',
            "refused: start: 'channels': a channel: not a number",
        ),
        (
            '{"op": "start", "samp_int": 1, "channels": ' + str(list(range(17))) + "}",
            "refused: start: 'channels': not a list of at most 16 channels",
        ),
        (
            '{"op": "config", "values": {"scan_int": 1}}',
            "refused: config: 'values': missing field(s): avg_samp",
        ),
        (
            json.dumps(dict(GOOD, values=dict(GOOD["values"], extra=1))),
            "refused: config_ch: 'values': no field 'extra'",
        ),
        (
            json.dumps(dict(GOOD, values=dict(GOOD["values"], mbias=None))),
            "refused: config_ch: 'values': 'mbias': not a number",
        ),
    ],
)
def test_what_is_not_an_expected_message_is_refused_in_one_line(text, answer):
    with pytest.raises(ui_input.Refused) as refused:
        ui_input.parse(text)
    assert str(refused.value).startswith(answer)
    assert "\n" not in str(refused.value)


def test_expected_messages_pass():
    assert ui_input.parse(json.dumps(GOOD)) == GOOD
    start = {"op": "start", "samp_int": "10", "channels": [0, "3"]}
    assert ui_input.parse(json.dumps(start)) == start
    assert ui_input.parse('{"op": "answer_control", "hand_over": false}')["hand_over"] is False


def test_host_checks_on_every_address():
    loopback = ui_guard.allowed_names("127.0.0.1")
    assert ui_guard.host_allowed("127.0.0.1:8765", loopback, 8765)
    assert ui_guard.host_allowed("LOCALHOST:8765", loopback, 8765)
    assert ui_guard.host_allowed("[::1]:8765", loopback, 8765)
    # Another port, a rebound name, nonsense.
    assert not ui_guard.host_allowed("127.0.0.1:9999", loopback, 8765)
    assert not ui_guard.host_allowed("evil.example:8765", loopback, 8765)
    assert not ui_guard.host_allowed("127.0.0.1:80x", loopback, 8765)
    assert not ui_guard.host_allowed(None, loopback, 8765)
    # No port in the Host header is port 80.
    assert ui_guard.host_allowed("localhost", loopback, 80)
    assert not ui_guard.host_allowed("localhost", loopback, 8765)
    # A wildcard address: this machine's names and addresses and the --host
    # names, and nothing else.
    anywhere = ui_guard.allowed_names("0.0.0.0", ["bench.lan"])
    own = [socket.gethostname(), "bench.lan", "127.0.0.1", "localhost"]
    own += sorted(ui_guard.machine_addresses())
    for name in own:
        host = f"{name}:8765"
        assert ui_guard.host_allowed(host, anywhere, 8765), host
    for name in ("evil.example", "0.0.0.0", "bench.lan.evil.example", "10.255.255.254"):
        assert not ui_guard.host_allowed(f"{name}:8765", anywhere, 8765), name
    one = ui_guard.allowed_names("192.0.2.7")
    assert ui_guard.host_allowed("192.0.2.7:80", one, 80)
    assert not ui_guard.host_allowed("evil.example:80", one, 80)


def test_origin_and_listen_checks():
    names = ui_guard.allowed_names("127.0.0.1")
    assert ui_guard.origin_allowed("http://127.0.0.1:8765", "127.0.0.1:8765", names, 8765)
    assert ui_guard.origin_allowed("http://localhost:8765", "localhost:8765", names, 8765)
    # Another site's page, or ours under another name or port, or no Origin.
    for origin in (
        "http://evil.example",
        "http://localhost:8765",
        "https://127.0.0.1:8765",
        "http://127.0.0.1:9999",
        None,
        "null",
    ):
        assert not ui_guard.origin_allowed(origin, "127.0.0.1:8765", names, 8765), origin
    # A DNS name rebound to loopback matches its own Origin but not the Host.
    assert not ui_guard.origin_allowed("http://evil.example:8765", "evil.example:8765", names, 8765)
    assert ui_guard.parse_listen("[::1]:8765") == ("::1", 8765)
    for bad in ("8765", "localhost:", "localhost:http", "h:70000", "h:\u0668\u0668"):
        with pytest.raises(ValueError):
            ui_guard.parse_listen(bad)


def test_the_command_line_keeps_the_page_on_this_machine_unless_told(capsys):
    from padlink.ui_main import parse_args

    assert parse_args(["--sim"]).listen_host == "127.0.0.1"
    for argv, said in (
        (["--sim", "--listen", "0.0.0.0:8765"], "add --allow-remote"),
        (["--sim", "--listen", "192.0.2.7:8765"], "add --allow-remote"),
        (["--port", "/dev/ttyUSB0", "--sim-respawn", "3"], "with --sim"),
        (["--sim", "--host", "a/b"], "is not a host name"),
    ):
        with pytest.raises(SystemExit) as exit:
            parse_args(argv)
        assert exit.value.code == 2 and said in capsys.readouterr().err
    remote = parse_args(["--sim", "--listen", "0.0.0.0:0", "--allow-remote", "--host", "b.lan"])
    assert (remote.listen_host, remote.host) == ("0.0.0.0", ["b.lan"])


def test_snr_windows_take_noise_and_signal_from_their_own_window():
    quiet = frames_of(*[frame_bytes(i, [(3, 3300 + d, 3300)]) for i, d in enumerate([2, -3, 1], 1)])
    # The touched window starts untouched: that is no noise and no signal.
    pressed = frames_of(
        *[frame_bytes(i, [(3, 3300 - d, 3300)]) for i, d in enumerate([20, 400, 600], 1)]
    )
    (report,) = analysis.window_reports(quiet, pressed, {3: 100})
    assert (report.noise_pp, report.touched, report.signal, report.snr) == (5, 2, 500.0, 100.0)
    assert report.noise_rms == pytest.approx(2.160, abs=0.001)
    assert report.snr_db == pytest.approx(40.0)
    (alone,) = analysis.window_reports([], pressed, 100)
    assert alone.snr is None and alone.snr_db is None


def test_answers_are_matched_to_their_request():
    assert answers_request({"type": "config_ch", "ch": 3}, {"type": "ack"})
    assert answers_request({"type": "query_ch", "ch": 3}, {"type": "query_ch", "ch": 3})
    assert answers_request({"type": "tune_mbias_ch", "ch": 3}, {"type": "error"})
    # A late answer to an earlier request is not taken for this one's.
    assert not answers_request({"type": "query_ch", "ch": 3}, {"type": "query_ch", "ch": 2})
    assert not answers_request({"type": "query"}, {"type": "ack"})
    assert not answers_request({"type": "stop"}, {"type": "query"})
    assert not answers_request({"type": "stop"}, None)


class Server:
    """A UiServer over a fake padprobe, on a free loopback port."""

    def __init__(self, tmp_path, **settings):
        self.ours, theirs = socket.socketpair()
        self.probe = FakeProbe(theirs).start()
        self.theirs = theirs
        self.tmp_path = tmp_path
        self.settings = settings

    async def __aenter__(self):
        from padlink.ui_server import UiServer

        link = Link(FdTransport(self.ours.fileno()))
        self.server = UiServer(
            link, "127.0.0.1", 0, record_dir=str(self.tmp_path / "rec"), **self.settings
        )
        ports = []
        self.running = asyncio.create_task(self.server.run(ports.append))
        while not ports or self.server.device.read_reason is not None:
            await asyncio.sleep(0.02)
        self.base = f"http://127.0.0.1:{ports[0]}/"
        self.origin = self.base.rstrip("/")
        return self

    async def __aexit__(self, *exc):
        self.server.stopping.set()
        await self.running
        self.probe.close()
        self.ours.close()
        self.theirs.close()


def run_async(coroutine, timeout=60):
    asyncio.run(asyncio.wait_for(coroutine, timeout))


async def next_of(ws, kind, where=lambda m: True):
    while True:
        m = await ws.receive_json(timeout=10)
        if m["kind"] == kind and where(m):
            return m


def test_pages_over_the_websocket(tmp_path, caplog):
    aiohttp = pytest.importorskip("aiohttp")

    async def scenario():
        async with Server(tmp_path) as s, aiohttp.ClientSession() as http:
            async with http.get(s.base) as page:
                assert page.status == 200
                assert "script-src 'self'" in page.headers["Content-Security-Policy"]
            async with http.get(s.base + "ui/../ui_server.py") as escape:
                assert escape.status == 404
            rebound = {"Host": "evil.example:" + s.base.rsplit(":", 1)[1].strip("/")}
            async with http.get(s.base, headers=rebound) as refused:
                assert refused.status == 421
            with pytest.raises(aiohttp.WSServerHandshakeError) as err:
                await http.ws_connect(s.base + "ws", headers={"Origin": "http://evil.example"})
            assert err.value.status == 403

            first = await http.ws_connect(s.base + "ws", headers={"Origin": s.origin})
            hello = await first.receive_json()
            assert hello["role"]["controls"] and hello["state"]["common"]["avg_samp"] == 4
            token = hello["role"]["token"]
            second = await http.ws_connect(s.base + "ws", headers={"Origin": s.origin})
            assert not (await second.receive_json())["role"]["controls"]

            # A watching page may not act; any page's bad message gets one
            # line and the server goes on.
            await second.send_json({"op": "stop"})
            refused = await next_of(second, "refused")
            assert refused["text"] == "refused: read-only, another page controls the link"
            await first.send_str("[" * 100_000)
            assert (await next_of(first, "refused"))["text"] == "refused: a message over 4096 bytes"
            await first.send_bytes(b"\x00")
            assert (await next_of(first, "refused"))["text"].startswith("refused: only text")
            values = dict(fakeprobe.COMMON, scan_int="\u0663")
            await first.send_json({"op": "config", "values": values})
            state = await next_of(first, "state", lambda m: "common" in m["actions"])
            assert state["actions"]["common"]["text"].startswith('config: "scan_int"')
            assert "config" not in s.probe.kinds()  # the bad field never left the server

            # The mbias the controller refuses, shown as refused on its field.
            values = dict(fakeprobe.CHANNEL, mbias=70)
            await first.send_json({"op": "config_ch", "ch": 2, "values": values})
            state = await next_of(
                first, "state", lambda m: m["actions"].get("ch2", {}).get("level") == "warn"
            )
            assert state["marks"]["ch2"]["mbias"]["verdict"] == "refused"
            assert state["channels"]["2"]["mbias"] == 20

            # The recording, downloaded while it is written: what is there so far.
            await first.send_json({"op": "record", "on": True})
            await first.send_json({"op": "start", "samp_int": 1, "channels": [3]})
            batch = await next_of(first, "batch", lambda m: m["health"]["recorded"] >= 50)
            async with http.get(s.base + "recording.csv") as download:
                assert download.status == 200
                text = await download.text()
            assert text.startswith("# started: ") and text.endswith("\r\n")
            rows = [line for line in text.split("\r\n") if line and not line.startswith("#")]
            assert rows[0].startswith("time_s,seq,snr,ch3_average") and len(rows) > 50
            assert "# ch3: enable=1 mbias=20 diff_th=100" in text
            later = await next_of(
                first, "batch", lambda m: m["health"]["recorded"] > len(rows) + 50
            )
            assert later["health"]["frames"] > batch["health"]["frames"]

            # A reload keeps control: the new page presents the token.
            await first.close()
            again = await http.ws_connect(
                s.base + f"ws?control={token}", headers={"Origin": s.origin}
            )
            assert (await again.receive_json())["role"]["controls"]
            # The other page asks; the controlling one hands over.
            await second.send_json({"op": "ask_control"})
            assert "asked" in await next_of(again, "role", lambda m: "asked" in m)
            await again.send_json({"op": "answer_control", "hand_over": True})
            assert (await next_of(second, "role", lambda m: m["controls"]))["controls"]
            await again.close()
            await second.close()

    run_async(scenario())
    assert [r for r in caplog.records if r.levelname in ("ERROR", "CRITICAL")] == []


def test_at_most_sixteen_pages(tmp_path):
    aiohttp = pytest.importorskip("aiohttp")
    from padlink.ui_server import MAX_PAGES

    async def scenario():
        async with Server(tmp_path) as s, aiohttp.ClientSession() as http:
            pages = []
            for _ in range(MAX_PAGES):
                ws = await http.ws_connect(s.base + "ws", headers={"Origin": s.origin})
                assert (await ws.receive_json())["kind"] == "hello"
                pages.append(ws)
            extra = await http.ws_connect(s.base + "ws", headers={"Origin": s.origin})
            full = await extra.receive_json()
            assert full == {
                "kind": "full",
                "text": "padhost serves at most 16 pages at once: close one, then reload",
            }
            assert (await extra.receive()).type == aiohttp.WSMsgType.CLOSE
            assert extra.close_code == aiohttp.WSCloseCode.TRY_AGAIN_LATER
            await pages.pop().close()
            await asyncio.sleep(0.1)
            ws = await http.ws_connect(s.base + "ws", headers={"Origin": s.origin})
            assert (await ws.receive_json())["kind"] == "hello"
            for ws in pages + [ws]:
                await ws.close()

    run_async(scenario())


def test_a_page_from_beyond_this_machine_needs_the_token(tmp_path):
    aiohttp = pytest.importorskip("aiohttp")

    async def scenario():
        async with Server(tmp_path, token="s3cret") as s:
            # As browsers do, and aiohttp does not by default: cookies of an
            # address, not a name.
            jar = aiohttp.CookieJar(unsafe=True)
            async with aiohttp.ClientSession(cookie_jar=jar) as http:
                for path in ("", "?token=guess", "ui/page.js", "recording.csv"):
                    async with http.get(s.base + path) as refused:
                        assert refused.status == 403, path
                with pytest.raises(aiohttp.WSServerHandshakeError) as err:
                    await http.ws_connect(s.base + "ws", headers={"Origin": s.origin})
                assert err.value.status == 403
                # Once in the address, then a cookie, and the address is clean.
                async with http.get(s.base + "?token=s3cret", allow_redirects=False) as first:
                    assert first.status == 303 and first.headers["Location"] == "/"
                    cookie = first.headers["Set-Cookie"]
                    assert "HttpOnly" in cookie and "SameSite=Strict" in cookie
                async with http.get(s.base) as page:
                    assert page.status == 200
                ws = await http.ws_connect(s.base + "ws", headers={"Origin": s.origin})
                assert (await ws.receive_json())["kind"] == "hello"
                await ws.close()

    run_async(scenario())


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

    # 2 is made old by 4, then 5 and 7; the state and the log line stay.
    assert asyncio.run(scenario()) == [1, 3, 6, 7]


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
