# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""padprobe's monitor: data frames byte for byte, start and stop, the SNR
field, and answers that never fall inside a frame."""
import json

from padprobe_board import ACK, SLOW

# padlink is found through the path that padprobe_board adds.
from padlink.stream import SequenceChecker

# A reference frame checked byte by byte: channels 0 and 2, averages 1000
# and 2000, baselines 1100 and 1990, snr_touch 5 over snr_noise 3.
REFERENCE_SETUP = [
    "--touch-do",
    "set chx_ave_data:0 1000",
    "--touch-do",
    "set chx_baseline:0 1100",
    "--touch-do",
    "set chx_ave_data:2 2000",
    "--touch-do",
    "set chx_baseline:2 1990",
    "--touch-do",
    "set snr_touch 5",
    "--touch-do",
    "set snr_noise 3",
]
REFERENCE_FRAME = bytes.fromhex(
    "64617461 01000000 02 A700 1200 DA" "00 E803 4C04 6400 00 00" "02 D007 C607 F6FF 00 00"
)


def start(samp_int, channels=(), **extra):
    request = {"type": "start", "samp_int": samp_int}
    request.update({f"ch{c}": int(c in channels) for c in range(9)})
    request.update(extra)
    return json.dumps(request)


def status_of(p):
    return json.loads(p.ask('{"type":"query"}').raw)["status"]


def test_reference_frame_and_a_single_tick(probe):
    p = probe(*REFERENCE_SETUP)
    mark = p.clear_writes_mark()
    assert p.ask(start(0, (0, 2))).raw.decode() == ACK
    (frame,) = p.link.take_frames(1, timeout=10 * SLOW)
    assert frame.raw == REFERENCE_FRAME
    # An interval of 0 fires once: no second frame follows.
    p.link.quiet(0.5)
    assert p.link.take_frames() == []
    enables = [w for w in p.writes_of(mark) if w[0] in ("ch_num", "chx_enable", "ctc_enable")]
    expected = []
    for ch in range(9):
        expected += [
            ("ch_num", None, str(ch), "ok"),
            ("chx_enable", ch, "1" if ch in (0, 2) else "0", "ok"),
        ]
    assert enables[:19] == expected + [("ctc_enable", None, "1", "ok")]
    assert p.wait_stdout("[CAP][INFO] Monitor daemon started...\n\n")
    assert p.wait_stdout(
        "[CAP][INFO] Monitor timer_start ...\n\n" "[CAP][INFO] Monitor timer start OK\n\n"
    )
    assert p.ask('{"type":"stop"}').raw.decode() == ACK


def test_start_stop_restart_and_status(probe):
    p = probe()
    mark = p.mark()
    assert p.ask('{"type":"stop"}').raw.decode() == ACK
    assert p.wait_stdout("[CAP][INFO] Monitor stopped\n\n", start=mark)
    assert status_of(p) == "idle"

    for run in range(2):
        assert p.ask(start(20, range(9))).raw.decode() == ACK
        assert status_of(p) == "busy"
        frames = p.link.take_frames(5, timeout=10 * SLOW)
        assert p.ask('{"type":"stop"}').raw.decode() == ACK
        p.link.quiet(0.3)
        frames += p.link.take_frames()
        # Every start counts from 1 again.
        assert [f.seq for f in frames] == list(range(1, len(frames) + 1)), run
        assert all(f.count == 9 and f.xor_ok and f.length_ok for f in frames)
        assert all([r.channel for r in f.records] == list(range(9)) for f in frames)
        assert status_of(p) == "idle"
    p.link.quiet(0.3)
    assert p.link.take_frames() == []

    mark = p.mark()
    assert p.ask('{"type":"stop"}').raw.decode() == ACK
    assert p.wait_stdout("[CAP][INFO] Monitor already stopped\n\n", start=mark)


def test_start_while_running(probe):
    # Each start replaces the running monitor: one TX task keeps serving
    # (a second one would race on the counts, which ThreadSanitizer reports),
    # frames stay whole, and after the stop nothing more comes.
    p = probe()
    for _ in range(3):
        assert p.ask(start(5, (1, 4))).raw.decode() == ACK
        p.link.take_frames(3, timeout=10 * SLOW)
    assert p.ask('{"type":"stop"}').raw.decode() == ACK
    p.link.quiet(0.3)
    p.link.take_frames()
    p.link.quiet(0.3)
    assert p.link.take_frames() == []
    assert not p.link.junk
    assert status_of(p) == "idle"
    assert p.wait_stdout("[CAP][WARN] TX task stopped\n\n")


def test_no_channels_and_truncated_members(probe):
    p = probe()
    mark = p.clear_writes_mark()
    # ch3 256 keeps only its low 8 bits (0); samp_int 65556 is 20 ms.
    assert p.ask(start(65556, (), ch3=256)).raw.decode() == ACK
    frames = p.link.take_frames(3, timeout=10 * SLOW)
    p.ask('{"type":"stop"}')
    for f in frames:
        assert f.raw == b"data" + f.seq.to_bytes(4, "little") + bytes([0]) + f.snr.to_bytes(
            2, "little"
        ) + bytes([0, 0, 0])
    enables = [w[2] for w in p.writes_of(mark) if w[0] == "chx_enable"]
    assert enables[:9] == ["0"] * 9


def test_snr_and_negative_differences(probe):
    p = probe(*REFERENCE_SETUP)
    cases = [
        (5, 3, 167),
        (5, 0, 65535),
        (1, 200, 1),
        (3, 2, 150),
        (0, 7, 0),
        (-5, 3, (-166) & 0xFFFF),
        (700, 1, 65535),
    ]
    for touch, noise, snr in cases:
        p.control(f"set snr_touch {touch}")
        p.control(f"set snr_noise {noise}")
        p.ask(start(0, (2,)))
        (frame,) = p.link.take_frames(1, timeout=10 * SLOW)
        assert frame.snr == snr, (touch, noise)
        # Baseline below the average: 1990 - 2000 travels as F6 FF.
        assert frame.raw[14 + 5 : 14 + 7] == b"\xf6\xff"
        assert frame.records[0].diff == -10
        p.ask('{"type":"stop"}')


def test_requests_while_streaming_never_split_a_frame(probe):
    p = probe()
    assert p.ask(start(1, range(9))).raw.decode() == ACK
    answers = 0
    for i in range(40):
        request = '{"type":"query_ch","ch":%d}' % (i % 9) if i % 2 else '{"type":"query"}'
        reply = p.ask(request)
        assert reply.obj is not None and reply.obj["type"] in ("query", "query_ch")
        answers += 1
    assert p.ask('{"type":"stop"}').raw.decode() == ACK
    p.link.quiet(0.3)
    frames = p.link.take_frames()
    checker = SequenceChecker()
    for f in frames:
        checker.add(f)
    # Answers and frames came apart cleanly: every frame whole, nothing else
    # on the line. (Under load frames may lag, but none is damaged.)
    assert not p.link.junk
    assert checker.xor_errors == 0 and checker.length_errors == 0
    assert checker.duplicates == 0 and checker.backwards == 0 and checker.restarts == 0
    assert checker.frames > 0 and answers == 40
