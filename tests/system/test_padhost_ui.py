# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The live tuning page in a real browser (headless chromium) against
padprobe in the simulated board, through `tools/padhost ui --sim`."""
import csv
import io
import os
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
    return by_id(driver, name).text


def type_into(driver, name, new):
    field = by_id(driver, name)
    field.clear()
    field.send_keys(new)


def count(driver, name):
    """A figure of the health line; -1 while it shows none."""
    shown = text(driver, name)
    return int(shown) if shown.isdigit() else -1


def lit(driver, ch):
    return "lit" in by_id(driver, f"tile-{ch}").get_attribute("class").split()


def writes(ui, mark):
    return [(w.name, w.ch, w.text, w.result) for w in ui.board.writes_since(mark)]


@pytest.fixture
def page(tmp_path):
    ui = PadhostUi(tmp_path / "board")
    driver = None
    try:
        ui.wait_url(60 * SLOW)
        driver = chromium(tmp_path / "profile")
        driver.get(ui.url)
        yield ui, driver
    finally:
        if driver is not None:
            driver.save_screenshot(str(tmp_path / "page.png"))
            driver.quit()
        status = ui.stop()
    assert status == 0, ui.errors()


def test_page_tunes_padprobe_in_the_simulated_board(page):
    ui, driver = page

    # Loaded with the query's values: the controller's power-on settings.
    for member, expected in POWER_ON.items():
        wait_for(driver, lambda d: value(d, f"common-{member}") == expected, WAIT, member)
    wait_for(driver, lambda d: value(d, "ch3-diff_th") == "100", WAIT)
    assert (value(driver, "ch3-mbias"), value(driver, "ch3-abs_th")) == ("20", "2000")
    assert text(driver, "chip_name") == "(NimbusChip)"
    assert text(driver, "role") == "this page controls the link"

    # A second page may watch, not control.
    first = driver.current_window_handle
    driver.switch_to.new_window("tab")
    driver.get(ui.url)
    wait_for(driver, lambda d: text(d, "role").startswith("read-only"), WAIT)
    assert not by_id(driver, "start").is_enabled()
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
    type_into(driver, "ch3-abs_th", "4096")
    assert '"abs_th" 4096' in text(driver, "ch-warn-3")
    type_into(driver, "ch3-abs_th", "2000")
    type_into(driver, "ch3-diff_th", "150")
    by_id(driver, "apply-3").click()
    wait_for(driver, lambda d: ("chx_diff_th", 3, "150", "ok") in writes(ui, mark), WAIT)
    assert ("chx_abs_th", 3, "2000", "ok") in writes(ui, mark)
    wait_for(driver, lambda d: "config_ch: applied" in text(d, "status"), WAIT)

    # Start at 10 ms: about 100 frames a second, charts that grow.
    by_id(driver, "record").click()
    by_id(driver, "start").click()
    wait_for(driver, lambda d: count(d, "frames") >= 200, WAIT)
    wait_for(driver, lambda d: 80 <= count(d, "fps") <= 120, WAIT, "about 100 fps")
    rows = driver.execute_script("return page.charts.avg.numRows()")
    wait_for(driver, lambda d: d.execute_script("return page.charts.avg.numRows()") > rows, WAIT)
    assert text(driver, "xor_errors") == "0" and text(driver, "length_errors") == "0"

    # Tunes: one that succeeds, one that fails at once (a channel that reads
    # too high at MBias 0), each explained.
    by_id(driver, "tune-3").click()
    wait_for(driver, lambda d: "tuned" in text(d, "tune-result-3"), WAIT)
    assert text(driver, "tune-result-3") == "ch3: tuned, MBias 30 (the controller holds 30)"
    wait_for(driver, lambda d: value(d, "ch3-mbias") == "30", WAIT)
    ui.board.control("model 4 5000 64")
    by_id(driver, "tune-4").click()
    wait_for(driver, lambda d: "failed" in text(d, "tune-result-4"), WAIT)
    assert "(255)" in text(driver, "tune-result-4")

    # Noise over an untouched window, signal over a touched one.
    type_into(driver, "snr-seconds", "1")
    by_id(driver, "snr-untouched").click()
    wait_for(driver, lambda d: "untouched window: 0 " not in text(d, "snr-state"), WAIT)
    wait_for(driver, lambda d: not text(d, "snr-state").startswith("taking"), WAIT)
    # A scripted touch lights channel 3's tile, and only while it lasts.
    ui.board.control("touch 3 500 2500")
    by_id(driver, "snr-touched").click()
    wait_for(driver, lambda d: lit(d, 3), WAIT, "channel 3 lit")
    assert not lit(driver, 2)
    wait_for(driver, lambda d: "touched window: 0 " not in text(d, "snr-state"), WAIT)
    wait_for(driver, lambda d: not text(d, "snr-state").startswith("taking"), WAIT)
    ch, noise, touched, signal, snr = text(driver, "snr-3").split()
    assert int(noise) <= 12 and int(touched) > 0 and 450 < float(signal) < 550
    assert float(snr) == pytest.approx(float(signal) / int(noise), abs=0.1)
    wait_for(driver, lambda d: not lit(d, 3), WAIT, "channel 3 dark again")

    # Stop; the recording downloads as padhost monitor's CSV.
    by_id(driver, "stop").click()
    wait_for(driver, lambda d: text(d, "monitor-state") == "stopped", WAIT)
    wait_for(driver, lambda d: text(d, "fps") == "0", WAIT)
    by_id(driver, "record").click()
    wait_for(driver, lambda d: "recording" not in text(d, "recorded"), WAIT)
    with urllib.request.urlopen(ui.url + "recording.csv", timeout=WAIT) as answer:
        rows = list(csv.reader(io.StringIO(answer.read().decode())))
    assert rows[0][:6] == ["time_s", "seq", "snr", "ch0_average", "ch0_baseline", "ch0_diff"]
    assert len(rows[0]) == 3 + 3 * 9 and len(rows) > 300
    assert f"{len(rows) - 1} frames" == text(driver, "recorded")

    log = text(driver, "log")
    assert '> {"type": "stop"}' in log and '< {"type": "ack"}' in log
    # The page ran without a script error or a refused load.
    assert [e for e in driver.get_log("browser") if e["level"] == "SEVERE"] == []
