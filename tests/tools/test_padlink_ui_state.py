# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The tuning page's server holds the controller's state as read back: the
read-back after each action, refused and changed writes, a padprobe that
goes silent, answers late or restarts, frames that stop, the rate against
the ticks expected, who controls, and the recording written as it comes."""
import asyncio
import csv
import io
import socket
import time
import tracemalloc

import pytest
from fakeprobe import TUNED, FakeProbe

from padlink import ui_device
from padlink.link import FdTransport, Link
from padlink.stream import StreamDecoder
from padlink.ui_control import ASK_S, RECLAIM_S, Control
from padlink.ui_health import Link as LinkState
from padlink.ui_health import LinkHealth
from padlink.ui_recording import Rec, Recording
from padlink.ui_state import ControllerState, Monitor, verdict
from test_padlink_stream import frame_bytes

CHANNEL = {"enable": 1, "mbias": 20, "diff_th": 100, "abs_th": 2000, "nn_th": 50, "pn_th": 50}


def test_a_write_is_refused_changed_or_held():
    # The controller kept its old value: refused.
    refused = verdict("mbias", 70, 20, 20)
    assert refused["verdict"] == "refused"
    assert refused["text"] == "mbias 70 refused by the controller; it holds 20"
    # A third value: changed. Nothing read back: unconfirmed.
    assert verdict("abs_th", 5000, 2000, 4095)["verdict"] == "changed"
    assert verdict("abs_th", 5000, 2000, None)["verdict"] == "unconfirmed"
    # padprobe writes any nonzero on/off value as 1: that is held as sent.
    assert verdict("enable", 5, 0, 1) is None and verdict("mbias", 30, 20, 30) is None
    state = ControllerState(9)
    state.compare("ch2", {"mbias": 70}, {"mbias": 20}, {"mbias": 20})
    # A later write to another member of the place keeps the mark.
    state.compare("ch2", {"diff_th": 90}, {"diff_th": 100}, {"diff_th": 90})
    assert list(state.marks["ch2"]) == ["mbias"]
    state.compare("ch2", {"mbias": 30}, {"mbias": 20}, {"mbias": 30})
    assert "ch2" not in state.marks


class Host:
    """What the page server hears from the device."""

    def __init__(self):
        self.notes = []
        self.events = []
        self.frames = 0

    def state_changed(self):
        pass

    def note(self, direction, text):
        self.notes.append((direction, text))

    def frame(self, frame):
        self.frames += 1

    def junk(self, count):
        self.events.append(("junk", count))

    def monitor_starting(self, samp_int):
        self.events.append(("starting", samp_int))

    def monitor_started(self, samp_int, channels):
        self.events.append(("started", samp_int, channels))

    def restarted(self):
        self.events.append("restarted")


def with_device(scenario, timeout=30):
    """Runs `scenario(device, probe, host)` against a fake padprobe."""
    ours, theirs = socket.socketpair()
    probe = FakeProbe(theirs).start()
    host = Host()

    async def main():
        device = ui_device.Device(Link(FdTransport(ours.fileno())), host, 9, request_timeout=0.5)
        device.start()
        try:
            await asyncio.wait_for(scenario(device, probe, host), timeout)
        finally:
            device.close()

    try:
        asyncio.run(main())
    finally:
        probe.close()
        ours.close()
        theirs.close()


def since(probe, mark):
    return probe.kinds()[mark:]


def test_every_action_reads_back_what_it_touched():
    async def scenario(device, probe, host):
        assert await device.read_all()
        assert probe.kinds() == ["query"] + ["query_ch"] * 9
        assert device.health.state == LinkState.OK

        mark = len(probe.kinds())
        await device.run(device.do_config(dict(probe.common, avg_samp="5", deb_en="3")))
        assert since(probe, mark) == ["config", "query"]
        assert device.state.common["avg_samp"] == 5
        assert (
            device.state.actions["common"]["text"] == "common settings: applied; read back as sent"
        )

        # A write the controller refuses shows as refused, with what it holds.
        mark = len(probe.kinds())
        await device.run(device.do_config_ch(2, dict(CHANNEL, mbias="70")))
        assert since(probe, mark) == ["config_ch", "query_ch"]
        action = device.state.actions["ch2"]
        assert action["level"] == "warn"
        assert action["text"] == (
            'channel 2: mbias 70 refused by the controller; it holds 20 (padprobe answered "ack")'
        )
        assert device.state.marks["ch2"]["mbias"]["verdict"] == "refused"

        # Start writes chx_enable of every channel: all are read back, and
        # what the page holds (and sends on Apply) is the controller's.
        mark = len(probe.kinds())
        await device.run(device.do_start("10", [0, 3]))
        assert since(probe, mark) == ["start", "query"] + ["query_ch"] * 9
        assert [device.state.channels[ch]["enable"] for ch in range(9)] == [
            1 if ch in (0, 3) else 0 for ch in range(9)
        ]
        assert device.state.monitor == Monitor.RUNNING
        assert ("starting", 10) in host.events
        held = {m: str(v) for m, v in device.state.channels[0].items()}
        await device.run(device.do_config_ch(0, dict(held, diff_th="150")))
        assert probe.channels[0]["enable"] == 1  # still monitored
        assert probe.channels[0]["diff_th"] == 150

        mark = len(probe.kinds())
        await device.run(device.do_tune(3))
        assert since(probe, mark) == ["tune_mbias_ch", "query_ch"]
        assert device.state.channels[3]["mbias"] == TUNED
        assert device.state.actions["ch3"]["text"].startswith(
            f"channel 3: ch3: tuned, MBias {TUNED}"
        )

        mark = len(probe.kinds())
        await device.run(device.do_stop())
        assert since(probe, mark) == ["stop", "query"]
        assert device.state.monitor == Monitor.STOPPED

        mark = len(probe.kinds())
        await device.run(device.do_reset())
        assert since(probe, mark) == ["reset", "query"] + ["query_ch"] * 9

    with_device(scenario)


def test_a_silent_padprobe_and_its_late_answer_leave_no_wrong_state():
    async def scenario(device, probe, host):
        assert await device.read_all()
        await device.run(device.do_start(10, [1]))
        probe.silent = True
        await device.run(device.do_stop())
        # No answer: the monitor may or may not run, and the page says so.
        assert device.health.state == LinkState.SILENT
        assert device.state.monitor == Monitor.UNKNOWN
        assert "did not answer" in device.state.actions["monitor"]["text"]
        # The stop was done after all: its late answer is not taken for
        # another request's, and everything is read again.
        probe.release()
        while device.health.state != LinkState.READING:
            await asyncio.sleep(0.01)
        assert ("!", "a late answer (to a request that had timed out)") in host.notes
        device.check(time.time())
        while device.health.state != LinkState.OK:
            await asyncio.sleep(0.01)
        assert device.state.monitor == Monitor.STOPPED

    with_device(scenario)


def test_a_restart_fails_the_waiting_request_and_everything_is_read_again():
    async def scenario(device, probe, host):
        assert await device.read_all()
        await device.run(device.do_start(10, [1, 2]))
        probe.silent = True
        asking = asyncio.create_task(device.ask({"type": "query"}, timeout=20))
        await asyncio.sleep(0.1)
        began = time.monotonic()
        probe.greet()
        reply = await asking
        # At once, not after the request's 20 s.
        assert time.monotonic() - began < 5
        assert reply.answer is None and reply.why == "padprobe restarted before it answered"
        assert "restarted" in host.events
        assert device.state.monitor == Monitor.STOPPED and device.state.common is None
        assert device.health.state == LinkState.READING
        assert device.health.text.startswith("padprobe restarted at ")
        probe.silent = False
        mark = len(probe.kinds())
        device.check(time.time())
        while device.health.state != LinkState.OK:
            await asyncio.sleep(0.01)
        assert since(probe, mark) == ["query"] + ["query_ch"] * 9
        assert "its state was read again" in device.health.text
        assert device.state.common is not None

    with_device(scenario)


def test_frames_that_stop_make_the_charts_stale():
    async def scenario(device, probe, host):
        assert await device.read_all()
        await device.run(device.do_start(10, [4]))
        while host.frames < 5:
            await asyncio.sleep(0.01)
        device.check(time.time())
        assert device.health.state == LinkState.OK
        probe.sending_frames = False
        await asyncio.sleep(0.05)
        device.check(time.time() + 5)
        assert device.health.state == LinkState.STALE
        assert "the charts are stale" in device.health.text
        # It still answers, and says its monitor runs.
        await device.run(device.probe())
        assert device.health.text.startswith("padprobe answers and says its monitor runs")
        probe.sending_frames = True
        while device.health.state != LinkState.OK:
            await asyncio.sleep(0.01)

    with_device(scenario)


def test_an_idle_link_is_probed_and_a_dead_one_noticed():
    async def scenario(device, probe, host):
        assert await device.read_all()
        mark, noted = len(probe.kinds()), len(host.notes)
        device.link.last_bytes -= ui_device.IDLE_PROBE_S
        device.check(time.time())
        while len(probe.kinds()) == mark:
            await asyncio.sleep(0.01)
        await asyncio.sleep(0.1)
        assert since(probe, mark) == ["query"]
        assert host.notes[noted:] == []  # a probe that is answered is not logged
        probe.silent = True
        device.link.last_bytes -= ui_device.IDLE_PROBE_S
        device.last_try = 0
        device.check(time.time())
        while device.health.state != LinkState.SILENT:
            await asyncio.sleep(0.01)
        assert device.health.text.startswith('padprobe did not answer "query"')

    with_device(scenario)


def test_delivered_frames_against_the_ticks_expected():
    now = [1000.0]
    health = LinkHealth(lambda *_: None, clock=lambda: now[0])
    health.monitor(True, 10, fresh=True)
    for i in range(300):  # 3 s at 100 frames a second: every tick
        health.frame(1000.0 + i / 100)
    now[0] = 1003.0
    rate = health.rate(now[0])
    assert rate["expected"] == 100 and not rate["warning"]
    assert rate["text"] == "delivered 100 of 100 expected frames/s (100 %)"
    # A third of the ticks at 1 ms, and no sequence gap to tell it.
    health.monitor(True, 1, fresh=True)
    for i in range(1000):
        health.frame(1003.0 + i / 333)
    now[0] = 1006.0
    rate = health.rate(now[0])
    assert rate["warning"] and rate["percent"] == pytest.approx(33.3, abs=1)
    assert rate["text"].endswith("(33 %): under 95 %, ticks merged or lost")
    # Just under and just over the line.
    for frames, warned in ((188, True), (192, False)):
        health.monitor(True, 10, fresh=True)
        for i in range(frames):
            health.frame(now[0] + i / 100)
        now[0] += 2.0
        assert health.rate(now[0])["warning"] == warned
        now[0] += 0.001
    health.monitor(True, 0, fresh=True)
    assert health.rate(now[0])["text"] == "samp_int 0: padprobe samples once"
    health.monitor(False)
    assert health.rate(now[0]) is None


def test_a_pause_inside_an_item_gives_it_up_so_the_greeting_is_seen():
    from padlink.ui_link import UiLink

    ours, theirs = socket.socketpair()
    events = []

    async def scenario():
        link = UiLink(
            Link(FdTransport(ours.fileno())),
            lambda f: events.append("frame"),
            lambda kind, detail: events.append(kind),
        )
        link.start()
        theirs.sendall(frame_bytes(1, [(0, 1, 2)])[:10])  # killed mid-frame
        await asyncio.sleep(0.05)
        link.last_bytes -= 1.0  # as if it was long ago
        theirs.sendall(b"start uart OK!\n")
        await asyncio.sleep(0.2)
        link.close()

    try:
        asyncio.run(scenario())
    finally:
        ours.close()
        theirs.close()
    assert events == ["cut", "greeting"]


def test_one_page_controls_and_a_reload_keeps_it():
    now = [0.0]
    control = Control(clock=lambda: now[0])
    first, second, reloaded, third = object(), object(), object(), object()
    control.join(first)
    control.join(second)
    assert control.controls(first) and not control.controls(second)
    token = control.role(first)["token"]
    assert "token" not in control.role(second)
    # A reload: the new page presents the token, perhaps before the old
    # socket is gone.
    control.join(reloaded, token)
    control.leave(first)
    assert control.controls(reloaded)
    # The controlling page goes: control waits for it, then passes on.
    control.leave(reloaded)
    control.join(third, "a guess")
    assert not control.controls(third) and "control passes in" in control.role(third)["text"]
    now[0] += RECLAIM_S
    assert control.tick() and control.controls(second)
    # An old token is worth nothing once control passed.
    control.join(first, token)
    assert not control.controls(first)


def test_a_watching_page_asks_for_control():
    now = [0.0]
    control = Control(clock=lambda: now[0])
    owner, watcher = object(), object()
    control.join(owner)
    control.join(watcher)
    assert control.ask_for(watcher)
    assert "asked" in control.role(owner) and "asking" in control.role(watcher)
    assert control.answer(owner, hand_over=False) and control.controls(owner)
    assert control.ask_for(watcher) and control.answer(owner, hand_over=True)
    assert control.controls(watcher)
    # An ask left unanswered is granted.
    assert control.ask_for(owner)
    now[0] += ASK_S
    assert control.tick() and control.controls(owner)
    # Only the controlling page answers; it cannot ask itself.
    assert not control.answer(watcher, True) and not control.ask_for(owner)


def frames_of(count, channels=(0, 3), start=0.0):
    """Frames made one by one as they are taken, as from the line."""
    decoder = StreamDecoder()
    for seq in range(1, count + 1):
        raw = frame_bytes(seq, [(ch, 3000 + seq % 7, 3005) for ch in channels])
        yield from decoder.feed(raw, start + seq * 0.001)


def test_the_recording_is_written_as_it_comes_and_memory_stays_flat(tmp_path):
    recording = Recording(str(tmp_path / "rec"))
    recording.arm()
    for frame in frames_of(3):
        recording.hold(frame)  # while a start's settings are read back
    assert recording.begin([0, 3], ["samp_int_ms: 1", "channels: 0,3"]) is None
    assert recording.state == Rec.WRITING and recording.frames == 3

    frames = frames_of(20_000, start=1.0)
    tracemalloc.start()
    before = tracemalloc.get_traced_memory()[0]
    for _, frame in zip(range(10_000), frames):
        recording.add(frame)
    grown = tracemalloc.get_traced_memory()[0] - before
    tracemalloc.stop()
    # Frames go to the file: nothing but the file's buffer is kept.
    assert grown < 1_000_000

    # What a download gives meanwhile: whole rows, all of them so far.
    path, size = recording.snapshot()
    with open(path, newline="") as f:
        text = f.read(size)
    lines = text.split("\r\n")
    assert lines[:2] == ["# samp_int_ms: 1", "# channels: 0,3"] and lines[-1] == ""
    rows = list(csv.reader(io.StringIO("\r\n".join(lines[2:]))))
    assert rows[0] == ["time_s", "seq", "snr"] + [
        f"ch{ch}_{c}" for ch in (0, 3) for c in ("average", "baseline", "diff")
    ]
    assert len(rows) == 1 + 3 + 10_000
    for frame in frames:
        recording.add(frame)
    assert recording.end() is None and recording.frames == 20_003
