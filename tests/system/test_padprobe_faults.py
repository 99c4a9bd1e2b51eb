# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""padprobe against a controller that fails: a missing attribute, a refused
write, a read that fails."""
from padprobe_board import ACK, DEVICE, cjson, got


def test_missing_attribute_reads_as_zero_and_serving_goes_on(probe):
    p = probe("--touch-do", "missing chx_config/chx_diff_th")
    p.exchange(
        '{"type":"query_ch","ch":2}',
        cjson(
            ("type", "query_ch"),
            ("ch", 2),
            ("enable", 0),
            ("mbias", 20),
            ("diff_th", 0),
            ("abs_th", 2000),
            ("nn_th", 50),
            ("pn_th", 50),
        ),
        f"[CAP][ERROR] open {DEVICE}/chx_config/chx_diff_th error\n",
    )
    mark = p.clear_writes_mark()
    p.exchange(
        '{"type":"config_ch","ch":2,"enable":1,"mbias":21,"diff_th":7,"abs_th":100,'
        '"nn_th":1,"pn_th":1}',
        ACK,
        f"[CAP][ERROR] open {DEVICE}/chx_config/chx_diff_th error\n"
        "[CAP][ERROR] ctc_set_chx_diff_th\n\n",
    )
    assert [w[0] for w in p.writes_of(mark)] == [
        "ch_num",
        "chx_mbias",
        "chx_abs_th",
        "chx_p_noise_th",
        "chx_n_noise_th",
        "chx_enable",
    ]
    # The attribute comes back while the tool runs.
    p.control("restore chx_diff_th")
    mark = p.clear_writes_mark()
    p.exchange(
        '{"type":"config_ch","ch":2,"enable":1,"mbias":21,"diff_th":7,"abs_th":100,'
        '"nn_th":1,"pn_th":1}',
        ACK,
    )
    assert ("chx_diff_th", 2, "7", "ok") in p.writes_of(mark)


def test_refused_write_is_logged_with_its_label(probe):
    p = probe("--touch-do", "fail-write scan_interval EBUSY")
    p.exchange(
        '{"type":"config","scan_int":5,"step":1,"avg_samp":1,"etc_en":1,"etc_int":1,'
        '"etc_factor":1,"deb_en":1,"deb_cnt":1}',
        ACK,
        "[CAP][ERROR] write scan_interval error\n\n[CAP][ERROR] ctc_set_scan_interval\n\n",
    )


def test_failed_read_ends_the_process_with_255(probe):
    p = probe("--touch-do", "set etc_factor 12", "--touch-do", "fail-read etc_step")
    mark = p.mark()
    p.link.send('{"type":"query"}')
    p.proc.wait(timeout=30)
    p.link.quiet(0.2)
    assert not p.link.items, "no answer after the failed read"
    assert p.wait() == 255
    # etc_step is read after etc_interval and before etc_factor; the buffer
    # is still empty when the read fails.
    assert p.log_since(mark) == (
        got('{"type":"query"}') + "[CAP][ERROR] read etc_step error,read size: 4, read val:\n\n"
    )
