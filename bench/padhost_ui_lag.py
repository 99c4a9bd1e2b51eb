#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""Lag of the live tuning page: from a frame's arrival at padhost to its
point on the chart, with padprobe in the simulated board streaming all nine
channels, in headless chromium.

    sudo bench/padhost_ui_lag.py [--seconds 20] [--samp-int 10 1] [--build DIR]
                                 [--screenshot docs/padhost-ui.png]

padhost stamps each frame with the wall clock as it reads it; the page
draws each batch and, on the next animation frame after the draw (when the
browser shows it), takes `performance.timeOrigin + performance.now()`, the
same clock. For each drawn batch that gives the lag of its newest frame and
of its oldest (which waited for the batch longest). Also printed: the frames
padhost counted against the frames the page shows, the batches the page got
and drew, and padhost's CPU share of one core.
"""
import argparse
import os
import sys
import tempfile
import time

sys.path.insert(
    0, os.path.join(os.path.dirname(os.path.realpath(__file__)), "..", "tests", "system")
)

from padprobe_common import percentile  # noqa: E402
from uibrowser import PadhostUi, chromium, wait_for  # noqa: E402

RESET = "window.padLag = {newest: [], oldest: [], transit: [], draw: [], batches: 0, drawn: 0}"


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def figures(name, values):
    return (
        f"{name} p50 {percentile(values, 0.5):.1f} ms, p95 {percentile(values, 0.95):.1f} ms, "
        f"max {max(values, default=float('nan')):.1f} ms"
    )


def measure(driver, ui, samp_int, seconds):
    field = driver.find_element("id", "samp_int")
    field.clear()
    field.send_keys(str(samp_int))
    driver.find_element("id", "start").click()
    wait_for(driver, lambda d: d.find_element("id", "frames").text.isdigit(), 30)
    time.sleep(2)  # the first second's fps and a full chart window
    driver.execute_script(RESET)
    cpu0, wall0 = cpu_seconds(ui.proc.pid), time.monotonic()
    time.sleep(seconds)
    lag = driver.execute_script("return window.padLag")
    cpu1, wall1 = cpu_seconds(ui.proc.pid), time.monotonic()
    shown_fps = driver.find_element("id", "fps").text
    driver.find_element("id", "stop").click()
    wait_for(driver, lambda d: d.find_element("id", "monitor-state").text == "stopped", 30)
    time.sleep(0.5)
    shown = int(driver.find_element("id", "frames").text)
    gaps = driver.find_element("id", "gaps").text
    print(f"samp_int {samp_int} ms, {seconds:g} s, load average {os.getloadavg()[0]:.1f}:")
    print(f"  page: {lag['batches']} batches, {lag['drawn']} draws, fps shown {shown_fps}")
    print(f"  frames counted by padhost and shown: {shown}, gaps {gaps}")
    print("  lag " + figures("newest frame of a batch:", lag["newest"]))
    print("  lag " + figures("oldest frame of a batch:", lag["oldest"]))
    print("  " + figures("a batch from its sending to the page:", lag["transit"]))
    print("  " + figures("drawing both charts:", lag["draw"]))
    print(f"  padhost CPU {100 * (cpu1 - cpu0) / (wall1 - wall0):.0f}% of one core")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--seconds", type=float, default=20)
    parser.add_argument("--samp-int", type=int, nargs="+", default=[10, 1])
    parser.add_argument("--build", default=None)
    parser.add_argument("--screenshot", help="save the page, at 10 ms after a touch, here")
    options = parser.parse_args()

    work = tempfile.mkdtemp(prefix="padhost-ui-bench-")
    ui = PadhostUi(os.path.join(work, "board"), build=options.build)
    driver = None
    try:
        ui.wait_url(60)
        driver = chromium(os.path.join(work, "profile"))
        driver.get(ui.url)
        wait_for(
            driver, lambda d: d.find_element("id", "common-avg_samp").get_attribute("value"), 60
        )
        for samp_int in options.samp_int:
            measure(driver, ui, samp_int, options.seconds)
        if options.screenshot:
            screenshot(driver, ui, options.screenshot)
    finally:
        if driver is not None:
            driver.quit()
        ui.stop()


def screenshot(driver, ui, path):
    """The page as the docs show it: all channels at 10 ms, two touches,
    a tune and an SNR measurement."""
    field = driver.find_element("id", "samp_int")
    field.clear()
    field.send_keys("10")
    driver.find_element("id", "tune-3").click()
    wait_for(driver, lambda d: "tuned" in d.find_element("id", "tune-result-3").text, 60)
    driver.find_element("id", "start").click()
    seconds = driver.find_element("id", "snr-seconds")
    seconds.clear()
    seconds.send_keys("2")
    driver.find_element("id", "snr-untouched").click()
    time.sleep(2.5)
    ui.board.control("touch 3 450 3000")
    ui.board.control("touch 6 300 1500 1000")
    driver.find_element("id", "snr-touched").click()
    time.sleep(2.5)
    driver.save_screenshot(path)
    driver.find_element("id", "stop").click()
    print(f"screenshot: {path}")


if __name__ == "__main__":
    main()
