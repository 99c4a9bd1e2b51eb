# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""padprobe's MBias auto-tune against channels modelled to converge, to be
in tolerance already, to fail either way, and to oscillate."""
from padprobe_board import cjson

FAILED = "[CAP][ERROR] ctc_tune_mbias MBias auto-tune @CH%d failed!!!\r\n\n"


def tune_answer(ch, mbias, baseline):
    return cjson(("type", "tune_mbias_ch"), ("ch", ch), ("mbias", mbias), ("baseline", baseline))


def mbias_writes(p, mark):
    return [int(w[2]) for w in p.writes_of(mark) if w[0] == "chx_mbias"]


def tune(p, ch):
    return p.ask('{"type":"tune_mbias_ch","ch":%d}' % ch, timeout=60)


def test_tune_converges_or_keeps_a_setting_in_tolerance(probe):
    # Channel 3 reads 1120 + 64 * MBias (plus noise): the walk from 0 stops
    # at 30 (3040), the first setting less than 300 below 3300.
    # Channel 5 reads 3600 at its setting 20: exactly the tolerance away,
    # which the first check accepts without writing anything.
    p = probe(
        "--touch-do", "model 5 2320 64", "--touch-do", "noise 0", "--touch-do", "set chx_mbias:5 20"
    )
    mark = p.clear_writes_mark()
    p.exchange('{"type":"tune_mbias_ch","ch":5}', tune_answer(5, 20, 20))
    assert p.writes_of(mark) == [
        ("ch_num", None, "5", "ok"),
        ("chx_enable", 5, "1", "ok"),
        ("ch_num", None, "5", "ok"),
    ]

    p.control("noise 6")
    mark = p.clear_writes_mark()
    p.exchange('{"type":"tune_mbias_ch","ch":3}', tune_answer(3, 30, 30))
    assert mbias_writes(p, mark) == list(range(31))
    assert p.get("chx_mbias:3") == 30
    # The walk waits scan_interval * (etc_interval + 1) ms between steps.
    steps = [w.time for w in p.writes_since(mark) if w.name == "chx_mbias"]
    assert steps[-1] - steps[0] >= 30 * 0.020 * 0.9


def test_tune_fails_up_and_down(probe):
    # Channel 1 stays at 1000 whatever the setting; channel 2 at 4000.
    p = probe(
        "--touch-do",
        "model 1 1000 0",
        "--touch-do",
        "model 2 4000 0",
        "--touch-do",
        "set scan_interval 2",
    )
    mark = p.clear_writes_mark()
    p.exchange('{"type":"tune_mbias_ch","ch":1}', tune_answer(1, 64, 63), FAILED % 1)
    assert mbias_writes(p, mark) == list(range(64))

    mark = p.clear_writes_mark()
    p.exchange('{"type":"tune_mbias_ch","ch":2}', tune_answer(2, 255, 0), FAILED % 2)
    assert mbias_writes(p, mark) == [0]


def test_tune_oscillating_past_its_bound_fails(probe):
    # Setting 0 reads 1000 (too low), setting 1 reads 4000 (too high): the
    # walk steps between them until its bound ends it.
    p = probe(
        "--touch-do",
        "model 6 1000 3000",
        "--touch-do",
        "noise 0",
        "--touch-do",
        "set scan_interval 1",
    )
    mark = p.clear_writes_mark()
    reply = tune(p, 6)
    assert reply.obj["type"] == "tune_mbias_ch" and reply.obj["ch"] == 6
    assert reply.obj["mbias"] > 63
    written = mbias_writes(p, mark)
    assert 64 <= len(written) <= 1024
    assert written[:4] == [0, 1, 0, 1] and set(written) == {0, 1}
    assert p.wait_stdout(FAILED % 6)
    # Serving goes on.
    assert p.ask('{"type":"query"}').obj["type"] == "query"


def test_tune_odd_channels_and_settings(probe):
    # Channel 0 reads 3300 at its setting 20: in tolerance.
    p = probe(
        "--touch-do",
        "model 0 2020 64",
        "--touch-do",
        "noise 0",
        "--touch-do",
        "set chx_mbias:4 70",
        "--touch-do",
        "model 4 3300 0",
    )
    # Channel 9 draws the warning; the driver refuses it as a selection, so
    # the tune reads the channel still selected (0).
    refused = "[CAP][ERROR] write ch_num error\n\n"
    p.exchange(
        '{"type":"tune_mbias_ch","ch":9}',
        tune_answer(9, 20, 20),
        "Error: illegal parameter.\n" + refused + refused,
    )
    # A setting above 63 found on the controller is a failure, reported in
    # the typed answer with that setting.
    mark = p.clear_writes_mark()
    p.exchange('{"type":"tune_mbias_ch","ch":4}', tune_answer(4, 70, 70), FAILED % 4)
    assert mbias_writes(p, mark) == []
