# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The live tuning page in a real browser (headless chromium) against
padprobe in the simulated board, through `tools/padhost ui --sim`: the page
shows what the controller holds, says what it refused, notices a padprobe
that died and reads everything again when it is back, and warns when the
frames fall short of the ticks; and padhost ends cleanly however often it
is told to stop."""
import csv
import io
import os
import signal
import time
import urllib.request

import pytest
from padprobe_board import SLOW
from uibrowser import PadhostUi, chromium, wait_for

# The page is Python and JavaScript around the same padprobe the other
# tests run: the sanitizer stages would only add a browser's load to them.
pytestmark = pytest.mark.skipif(
    bool(os.environ.get("BOARD_SANITIZER")), reason="no sanitizer covers the page"
)

POWER_ON = {
    "scan_int": "10",
    "avg_samp": "4",
    "etc_en": "1",
    "etc_int": "1",
    "step": "4",
    "etc_factor": "8",
    "deb_en": "1",
    "deb_cnt": "2",
}
WAIT = 30 * SLOW


def by_id(driver, name):
    return driver.find_element("id", name)


def value(driver, name):
    return by_id(driver, name).get_attribute("value")


def text(driver, name):
    return by_id(driver, name).get_attribute("textContent")


def classes(driver, name):
    return by_id(driver, name).get_attribute("class").split()


def type_into(driver, name, new):
    field = by_id(driver, name)
    field.clear()
    field.send_keys(new)


def count(driver, name):
    """A figure of the link's figures; -1 while it shows none."""
    shown = text(driver, name)
    return int(shown) if shown.isdigit() else -1


def lit(driver, ch):
    return "lit" in classes(driver, f"small-{ch}")


def link_state(driver):
    return by_id(driver, "link").get_attribute("data-state")


def writes(ui, mark):
    return [(w.name, w.ch, w.text, w.result) for w in ui.board.writes_since(mark)]


def loaded(driver):
    for member, expected in POWER_ON.items():
        wait_for(driver, lambda d: value(d, f"common-{member}") == expected, WAIT, member)
    wait_for(driver, lambda d: value(d, "ch3-diff_th") == "100", WAIT)
    wait_for(driver, lambda d: link_state(d) == "ok", WAIT, "the link is ok")


def start(driver, samp_int, channels=None):
    type_into(driver, "samp_int", str(samp_int))
    for box in driver.find_elements("css selector", ".mon-ch"):
        wanted = channels is None or int(box.get_attribute("data-ch")) in channels
        if box.is_selected() != wanted:
            box.click()
    by_id(driver, "start").click()
    wait_for(driver, lambda d: text(d, "monitor-state").startswith("monitor running"), WAIT)
    wait_for(driver, lambda d: "running at samp_int" in text(d, "status-monitor"), WAIT)


@pytest.fixture
def open_page(tmp_path):
    """open_page(board_options, args, size): padhost ui and a browser on it."""
    opened = []

    def opener(board_options=(), args=(), size=(1400, 1000)):
        ui = PadhostUi(tmp_path / "board", board_options, args=args)
        opened.append([ui, None])
        ui.wait_url(60 * SLOW)
        driver = chromium(tmp_path / "profile", size)
        opened[-1][1] = driver
        driver.get(ui.url)
        loaded(driver)
        return ui, driver

    yield opener
    for ui, driver in opened:
        if driver is not None:
            driver.save_screenshot(str(tmp_path / "page.png"))
            driver.quit()
        status = ui.stop()
        assert status == 0, ui.errors()


def test_page_tunes_padprobe_in_the_simulated_board(open_page):
    ui, driver = open_page(size=(1280, 720))
    assert (value(driver, "ch3-mbias"), value(driver, "ch3-abs_th")) == ("20", "2000")
    assert text(driver, "chip_name") == "(NimbusChip)"
    assert text(driver, "role") == "this page controls the link"

    # A second page may watch, not control; the first keeps control across
    # a reload (without its token control would pass to the second in 5 s).
    first = driver.current_window_handle
    driver.switch_to.new_window("tab")
    second = driver.current_window_handle
    driver.get(ui.url)
    wait_for(driver, lambda d: text(d, "role").startswith("read-only"), WAIT)
    assert not by_id(driver, "start").is_enabled()
    driver.switch_to.window(first)
    driver.refresh()
    loaded(driver)
    time.sleep(6)
    assert text(driver, "role") == "this page controls the link"
    driver.switch_to.window(second)
    assert text(driver, "role") == "read-only: another page controls the link"
    driver.close()
    driver.switch_to.window(first)

    # The range warning shows before anything is sent; a changed setting
    # reaches the controller, and the form shows what it holds then.
    mark = ui.board.clear_writes_mark()
    type_into(driver, "common-avg_samp", "9")
    assert '"sample_num" 9 is above 7' in text(driver, "common-warnings")
    type_into(driver, "common-avg_samp", "5")
    assert text(driver, "common-warnings") == ""
    assert writes(ui, mark) == []
    by_id(driver, "common-apply").click()
    wait_for(driver, lambda d: ("sample_num", None, "5", "ok") in writes(ui, mark), WAIT)
    wait_for(driver, lambda d: "read back as sent" in text(d, "status-common"), WAIT)
    type_into(driver, "ch3-abs_th", "4096")
    assert '"abs_th" 4096' in text(driver, "status-ch3")
    type_into(driver, "ch3-abs_th", "2000")
    type_into(driver, "ch3-diff_th", "150")
    by_id(driver, "apply-3").click()
    wait_for(driver, lambda d: ("chx_diff_th", 3, "150", "ok") in writes(ui, mark), WAIT)
    assert ("chx_abs_th", 3, "2000", "ok") in writes(ui, mark)
    wait_for(
        driver, lambda d: text(d, "status-ch3") == "channel 3: applied; read back as sent", WAIT
    )

    # Start at 10 ms: about 100 frames a second, every tick, charts that grow.
    by_id(driver, "record").click()
    start(driver, 10)
    wait_for(driver, lambda d: count(d, "frames") >= 200, WAIT)
    wait_for(driver, lambda d: 80 <= count(d, "fps") <= 120, WAIT, "about 100 fps")
    assert "expected frames/s" in text(driver, "rate")
    script = "return page.charts.cells[3].graph.numRows()"
    rows = driver.execute_script(script)
    wait_for(driver, lambda d: d.execute_script(script) > rows, WAIT)
    assert text(driver, "xor_errors") == "0" and text(driver, "length_errors") == "0"
    # At 1280x720 a chart and the channel table are in view together.
    for name in ("small-0", "channels"):
        box = driver.execute_script(
            "const r = arguments[0].getBoundingClientRect(); return [r.top, r.bottom];",
            by_id(driver, name),
        )
        assert 0 <= box[0] and box[1] <= 720, (name, box)

    # Tunes: one that succeeds, one that fails at once (a channel that reads
    # too high at MBias 0), each explained where it was asked for.
    by_id(driver, "tune-3").click()
    wait_for(driver, lambda d: "tuned" in text(d, "status-ch3"), WAIT)
    assert text(driver, "status-ch3") == "channel 3: ch3: tuned, MBias 30 (the controller holds 30)"
    wait_for(driver, lambda d: value(d, "ch3-mbias") == "30", WAIT)
    ui.board.control("model 4 5000 64")
    by_id(driver, "tune-4").click()
    wait_for(driver, lambda d: "failed" in text(d, "status-ch4"), WAIT)
    assert "(255)" in text(driver, "status-ch4")

    # Noise over an untouched window, with its countdown; signal over a
    # touched one.
    type_into(driver, "snr-seconds", "2")
    by_id(driver, "snr-untouched").click()
    wait_for(driver, lambda d: " s left" in text(d, "status-snr"), WAIT, "a countdown")
    wait_for(driver, lambda d: "untouched window taken" in text(d, "status-snr"), WAIT)
    # A scripted touch lights channel 3's chart, and only while it lasts.
    ui.board.control("touch 3 500 3000")
    by_id(driver, "snr-touched").click()
    wait_for(driver, lambda d: lit(d, 3), WAIT, "channel 3 lit")
    assert not lit(driver, 2)
    assert text(driver, "peak-3").startswith("peak diff / diff_th: ")
    wait_for(driver, lambda d: "touched window taken" in text(d, "status-snr"), WAIT)
    assert "at samp_int 10 ms" in text(driver, "snr-windows")
    cells = by_id(driver, "snr-3").text.split()
    ch, threshold, noise_pp, noise_rms, touched, signal, snr, snr_db = cells
    assert threshold == "150" and int(noise_pp) <= 12 and int(touched) > 0
    assert 450 < float(signal) < 550 and float(noise_rms) <= int(noise_pp)
    assert float(snr) == pytest.approx(float(signal) / int(noise_pp), abs=0.1)
    wait_for(driver, lambda d: not lit(d, 3), WAIT, "channel 3 dark again")

    # The recording's counter runs live; a download meanwhile gives what is
    # written so far, as padhost monitor's CSV with the settings on top.
    recorded = count(driver, "frames")
    wait_for(driver, lambda d: text(d, "recorded").split()[0].isdigit(), WAIT)
    with urllib.request.urlopen(ui.url + "recording.csv", timeout=WAIT) as answer:
        so_far = answer.read().decode()
    header = [line for line in so_far.splitlines() if line.startswith("#")]
    assert "# samp_int_ms: 10" in header and "# channels: 0,1,2,3,4,5,6,7,8" in header
    # The settings when the recording began; the tune since is said on the page.
    assert any(line.startswith("# ch3: enable=1 mbias=20 diff_th=150") for line in header)
    assert "the file's header holds those of its start" in text(driver, "status-record")
    rows = list(csv.reader(io.StringIO(so_far[so_far.index("time_s") :])))
    assert rows[0][:6] == ["time_s", "seq", "snr", "ch0_average", "ch0_baseline", "ch0_diff"]
    assert len(rows[0]) == 3 + 3 * 9 and len(rows) > recorded / 2

    by_id(driver, "stop").click()
    wait_for(driver, lambda d: text(d, "monitor-state") == "monitor stopped", WAIT)
    wait_for(driver, lambda d: text(d, "fps") == "0", WAIT)
    by_id(driver, "record").click()
    wait_for(driver, lambda d: text(d, "status-record").startswith("recorded "), WAIT)
    with urllib.request.urlopen(ui.url + "recording.csv", timeout=WAIT) as answer:
        whole = answer.read().decode()
    rows = list(csv.reader(io.StringIO(whole[whole.index("time_s") :])))
    assert text(driver, "status-record").startswith(f"recorded {len(rows) - 1} frames to ")

    log = text(driver, "log")
    assert '> {"type": "stop"}' in log and '< {"type": "ack"}' in log
    # The page ran without a script error or a refused load.
    assert [e for e in driver.get_log("browser") if e["level"] == "SEVERE"] == []


def test_apply_after_start_keeps_a_monitored_channel_on(open_page):
    ui, driver = open_page()
    # Channel 0 off, as the table then shows; Start turns it on again.
    type_into(driver, "ch0-enable", "0")
    by_id(driver, "apply-0").click()
    wait_for(driver, lambda d: "read back as sent" in text(d, "status-ch0"), WAIT)
    start(driver, 10, channels=[0, 1])
    # The table shows what Start left in the controller ...
    wait_for(driver, lambda d: value(d, "ch0-enable") == "1", WAIT)
    assert value(driver, "ch2-enable") == "0"
    # ... so Apply on the row keeps the monitored channel on.
    mark = ui.board.clear_writes_mark()
    type_into(driver, "ch0-diff_th", "120")
    by_id(driver, "apply-0").click()
    wait_for(driver, lambda d: ("chx_diff_th", 0, "120", "ok") in writes(ui, mark), WAIT)
    wait_for(driver, lambda d: ("chx_enable", 0, "1", "ok") in writes(ui, mark), WAIT)
    assert ("chx_enable", 0, "0", "ok") not in writes(ui, mark)
    assert ui.board.get("chx_enable:0") == 1


def test_a_refused_write_is_shown_as_refused(open_page):
    ui, driver = open_page()
    mark = ui.board.clear_writes_mark()
    type_into(driver, "ch2-mbias", "70")
    by_id(driver, "apply-2").click()
    wait_for(driver, lambda d: ("chx_mbias", 2, "70", "EINVAL") in writes(ui, mark), WAIT)
    wait_for(driver, lambda d: "refused" in text(d, "status-ch2"), WAIT)
    assert text(driver, "status-ch2").startswith(
        "channel 2: mbias 70 refused by the controller; it holds 20 "
        '(padprobe answered "ack"; its log: "[CAP][ERROR] write chx_mbias error"'
    )
    assert "warn" in classes(driver, "status-ch2")
    # The field shows what the controller holds, marked, with the reason.
    assert value(driver, "ch2-mbias") == "20"
    assert "mark-refused" in classes(driver, "ch2-mbias")
    assert by_id(driver, "ch2-mbias").get_attribute("title") == (
        "mbias 70 refused by the controller; it holds 20"
    )


def test_a_killed_padprobe_is_noticed_and_its_restart_read_again(open_page):
    respawn = 8.0 * SLOW
    ui, driver = open_page(args=["--sim-respawn", str(respawn)])
    start(driver, 10, channels=[3])
    wait_for(driver, lambda d: count(d, "frames") >= 50, WAIT)
    pid = ui.padprobe_pid()
    assert pid is not None
    killed = time.monotonic()
    os.kill(pid, 9)
    wait_for(driver, lambda d: link_state(d) != "ok", 5 * SLOW, "the death noticed within 5 s")
    noticed = time.monotonic() - killed
    assert "charts are stale" in text(driver, "link") or "did not answer" in text(driver, "link")
    assert "stale" in classes(driver, "charts-box")
    # Meanwhile the controller changes behind padprobe's back: the page must
    # show it once padprobe is back, not what it held before.
    ui.board.control("set chx_diff_th:3 170")
    wait_for(driver, lambda d: "restarted at" in text(d, "link"), respawn + WAIT)
    wait_for(driver, lambda d: "its state was read again" in text(d, "link"), WAIT)
    assert link_state(driver) == "ok"
    assert text(driver, "monitor-state") == "monitor stopped"
    wait_for(driver, lambda d: value(d, "ch3-diff_th") == "170", WAIT)
    assert value(driver, "common-avg_samp") == "4"
    log = text(driver, "log")
    assert "padprobe greeted: it has started again" in log
    print(f"death noticed after {noticed:.1f} s")


def test_the_rate_warning_when_the_controller_is_slow(open_page):
    # Every attribute read 3 ms late: a nine-channel pass takes some 60 ms,
    # so most 10 ms ticks merge, and no sequence gap shows it.
    ui, driver = open_page(board_options=["--touch-read-delay=3000"])
    start(driver, 10)
    wait_for(driver, lambda d: "rate-warning" in classes(d, "rate"), WAIT, "a rate warning")
    shown = text(driver, "rate")
    assert "of 100 expected frames/s" in shown and "under 95 %" in shown
    assert text(driver, "gaps") == "0"


def test_repeated_stop_signals_let_shutdown_finish(tmp_path):
    # Ctrl-C pressed again, or a supervisor's SIGTERM on top of it, while
    # padhost ends the board: shutdown must still finish and say so in its
    # status, not die of the signal half way.
    ui = PadhostUi(tmp_path / "board")
    ui.wait_url(60 * SLOW)
    os.kill(ui.proc.pid, signal.SIGINT)
    sent = 1
    while ui.proc.poll() is None and sent < 5000:
        time.sleep(0.002)
        try:
            os.kill(ui.proc.pid, (signal.SIGTERM, signal.SIGINT)[sent % 2])
        except ProcessLookupError:
            break
        sent += 1
    status = ui.stop()
    errors = ui.errors()
    assert status == 0, f"after {sent} signals: {errors}"
    assert "Traceback" not in errors
