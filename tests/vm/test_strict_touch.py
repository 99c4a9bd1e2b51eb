# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""padprobe when the touch controller refuses a value its register cannot
hold: the touch driver loaded again in its strict mode (strict=1). The tool
warns about the value, writes it all the same, reports the refused write
with its error label and goes on; the answer is the usual acknowledgement
and the refused settings keep their old values."""
import pytest
from test_padprobe import answers, padhost, sysfs

pytestmark = pytest.mark.virtual_board


def reload_touch(board, options=""):
    board.check(
        f"rmmod board_touch && insmod /lib/modules/$(uname -r)/extra/board_touch.ko {options}"
    )


@pytest.fixture
def strict_probe(board, board_uart, host_uart):
    """padprobe serving the board's UART over a touch driver in strict mode."""
    reload_touch(board, "strict=1")
    try:
        board.check(
            f"( exec padprobe {board_uart} > /tmp/padprobe.out 2>&1 ) & echo $! > /tmp/padprobe.pid"
        )
        board.check(
            "for i in $(seq 50); do grep -q 'App Start!' /tmp/padprobe.out && break; sleep 0.2; done"
        )
        yield board
    finally:
        board.run("kill $(cat /tmp/padprobe.pid); sleep 0.2; rm -f /tmp/padprobe.*")
        reload_touch(board)


def test_refused_settings_are_reported_and_serving_goes_on(strict_probe, host_uart):
    board = strict_probe
    assert board.check("cat /sys/module/board_touch/parameters/strict") == "Y"
    out = padhost(
        host_uart,
        "config scan_int=20 avg_samp=8 deb_cnt=4 deb_en=1 etc_en=1 etc_int=128 etc_factor=16 step=5",
        "config_ch ch=2 enable=1 mbias=30 diff_th=9 abs_th=4096 nn_th=3 pn_th=4",
        "query_ch 2",
    )
    config, config_ch, query_ch = answers(out)
    assert config["type"] == config_ch["type"] == "ack"
    # The accepted settings are stored, the refused ones keep their values.
    assert sysfs(board, "scan_interval") == 20 and sysfs(board, "etc_step") == 5
    assert sysfs(board, "sample_num") == 4 and sysfs(board, "debounce_times") == 2
    assert sysfs(board, "etc_interval") == 1 and sysfs(board, "etc_factor") == 8
    assert (query_ch["mbias"], query_ch["diff_th"], query_ch["abs_th"]) == (30, 9, 2000)

    log = board.check("cat /tmp/padprobe.out")
    assert "Error: illegal parameter." in log
    for attr, label in (
        ("sample_num", "ctc_set_sample_num"),
        ("debounce_times", "ctc_set_debounce_times"),
        ("etc_interval", "ctc_set_etc_interval"),
        ("etc_factor", "ctc_set_etc_factor"),
        ("chx_abs_th", "ctc_set_chx_abs_th"),
    ):
        assert f"[CAP][ERROR] write {attr} error\n\n[CAP][ERROR] {label}" in log, attr
    assert "write scan_interval error" not in log and "write etc_step error" not in log
    assert board.run("kill -0 $(cat /tmp/padprobe.pid)")[0] == 0, "padprobe ended"
