#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""Lag of the live tuning page: from a frame's arrival at padhost to its
point on the chart, with padprobe in the simulated board streaming all nine
channels, in headless chromium; and what a long recording costs padhost.

    sudo bench/padhost_ui_lag.py [--seconds 20] [--samp-int 10 1] [--build DIR]
                                 [--record-seconds 600] [--screenshots docs/]

padhost stamps each frame with the wall clock as it reads it; the page
draws each batch and, on the next animation frame after the draw (when the
browser shows it), takes `performance.timeOrigin + performance.now()`, the
same clock. For each drawn batch that gives the lag of its newest frame and
of its oldest (which waited for the batch longest). Also printed: the frames
a second the page shows and how they stand against the ticks expected, the
batches the page got and drew, and the CPU share of one core taken by
padhost and by chromium (all its processes).

--record-seconds records at samp_int 1 ms for that long with the page open,
downloading the recording once a minute meanwhile, and prints padhost's
resident memory before and after, the file, and the longest the server's
event loop was late (and how much of that was its own work) while it ran.
"""
import argparse
import os
import sys
import tempfile
import time
import urllib.request

sys.path.insert(
    0, os.path.join(os.path.dirname(os.path.realpath(__file__)), "..", "tests", "system")
)

from padprobe_common import percentile  # noqa: E402
from uibrowser import PadhostUi, chromium, wait_for  # noqa: E402

RESET = "window.padLag = {newest: [], oldest: [], transit: [], draw: [], batches: 0, drawn: 0}"
SIZES = ((1600, 1000), (1280, 720))


def descendants(root):
    """`root` and every process below it."""
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open(f"/proc/{entry}/stat") as f:
                    parent = int(f.read().rsplit(")", 1)[1].split()[1])
            except OSError:
                continue
            children.setdefault(parent, []).append(int(entry))
    found, todo = [], [root]
    while todo:
        pid = todo.pop()
        found.append(pid)
        todo += children.get(pid, [])
    return found


def cpu_seconds(pids):
    total = 0.0
    for pid in pids:
        try:
            with open(f"/proc/{pid}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        total += (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
    return total


def rss_mib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return float("nan")


def chromium_pids(driver):
    return descendants(driver.service.process.pid)[1:]


def figures(name, values):
    return (
        f"{name} p50 {percentile(values, 0.5):.1f} ms, p95 {percentile(values, 0.95):.1f} ms, "
        f"max {max(values, default=float('nan')):.1f} ms"
    )


def text(driver, name):
    return driver.find_element("id", name).get_attribute("textContent")


def set_field(driver, name, value):
    field = driver.find_element("id", name)
    field.clear()
    field.send_keys(str(value))


def start(driver, samp_int):
    set_field(driver, "samp_int", samp_int)
    driver.find_element("id", "start").click()
    wait_for(driver, lambda d: "running at samp_int" in text(d, "status-monitor"), 60)


def stop(driver):
    driver.find_element("id", "stop").click()
    wait_for(driver, lambda d: text(d, "monitor-state") == "monitor stopped", 60)


def measure(driver, ui, samp_int, seconds):
    start(driver, samp_int)
    time.sleep(3)  # the rate's window and a chart's width of points
    driver.execute_script(RESET)
    browser = chromium_pids(driver)
    cpu0, browser0, wall0 = cpu_seconds([ui.proc.pid]), cpu_seconds(browser), time.monotonic()
    fps = []
    for _ in range(int(seconds)):
        time.sleep(1)
        fps.append(int(text(driver, "fps") or 0))
    lag = driver.execute_script("return window.padLag")
    cpu1, browser1, wall1 = cpu_seconds([ui.proc.pid]), cpu_seconds(browser), time.monotonic()
    rate = text(driver, "rate")
    stop(driver)
    time.sleep(0.5)
    wall = wall1 - wall0
    print(f"samp_int {samp_int} ms, {seconds:g} s, load average {os.getloadavg()[0]:.1f}:")
    print(f"  frames shown a second: median {percentile(fps, 0.5):.0f} (min {min(fps)})")
    print(f"  rate: {rate}")
    print(f"  page: {lag['batches']} batches, {lag['drawn']} draws")
    print(f"  frames counted: {text(driver, 'frames')}, gaps {text(driver, 'gaps')}")
    print("  lag " + figures("newest frame of a batch:", lag["newest"]))
    print("  lag " + figures("oldest frame of a batch:", lag["oldest"]))
    print("  " + figures("a batch from its sending to the page:", lag["transit"]))
    print("  " + figures("drawing the charts:", lag["draw"]))
    print(f"  padhost CPU {100 * (cpu1 - cpu0) / wall:.0f}% of one core")
    print(f"  chromium CPU {100 * (browser1 - browser0) / wall:.0f}% of one core (all processes)")


def record(driver, ui, seconds):
    """A recording at 1 ms, downloaded once a minute while it runs."""
    pid = ui.proc.pid
    before = rss_mib(pid)
    start(driver, 1)
    driver.find_element("id", "record").click()
    wait_for(driver, lambda d: text(d, "status-record").startswith("writing since"), 60)
    began = time.monotonic()
    worst_late = worst_busy = 0.0
    peak = before
    downloads = []
    next_download = began + 60
    while time.monotonic() - began < seconds:
        time.sleep(1)
        stall = driver.execute_script("return window.padLast && window.padLast.stall")
        if stall:
            worst_late = max(worst_late, stall["recent_ms"])
            worst_busy = max(worst_busy, stall["recent_busy_ms"])
        peak = max(peak, rss_mib(pid))
        if time.monotonic() >= next_download:
            next_download += 60
            t0 = time.monotonic()
            with urllib.request.urlopen(ui.url + "recording.csv", timeout=120) as answer:
                size = len(answer.read())
            downloads.append((size, time.monotonic() - t0))
    recorded = text(driver, "recorded")
    driver.find_element("id", "record").click()
    wait_for(driver, lambda d: text(d, "status-record").startswith("recorded "), 60)
    stop(driver)
    time.sleep(2)
    stall = driver.execute_script("return window.padLast.stall")
    worst_late = max(worst_late, stall["recent_ms"])
    worst_busy = max(worst_busy, stall["recent_busy_ms"])
    after = rss_mib(pid)
    print(f"recording at samp_int 1 ms for {seconds:g} s, load average {os.getloadavg()[0]:.1f}:")
    print(f"  {recorded}")
    print(f"  padhost RSS before {before:.1f} MiB, after {after:.1f} MiB, highest {peak:.1f} MiB")
    for size, took in downloads:
        print(f"  download during the recording: {size / 1e6:.1f} MB in {took:.2f} s")
    print(
        f"  event loop late by at most {worst_late:.1f} ms while recording and downloading; "
        f"its own work in that time at most {worst_busy:.1f} ms"
    )


def screenshots(driver, ui, folder):
    """The page as the docs show it: all channels at 10 ms, a tune, a write
    the controller refused, two touches and an SNR measurement."""
    driver.find_element("id", "tune-3").click()
    wait_for(driver, lambda d: "tuned" in text(d, "status-ch3"), 60)
    set_field(driver, "ch2-mbias", 70)
    driver.find_element("id", "apply-2").click()
    wait_for(driver, lambda d: "refused" in text(d, "status-ch2"), 60)
    start(driver, 10)
    driver.find_element("id", "record").click()
    set_field(driver, "snr-seconds", 2)
    driver.find_element("id", "snr-untouched").click()
    time.sleep(2.5)
    ui.board.control("touch 3 450 3000")
    ui.board.control("touch 6 300 1500 1000")
    driver.find_element("id", "snr-touched").click()
    time.sleep(2.6)
    for width, height in SIZES:
        driver.execute_cdp_cmd(
            "Emulation.setDeviceMetricsOverride",
            {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": False},
        )
        time.sleep(1.0)
        path = os.path.join(folder, f"padhost-ui-{width}x{height}.png")
        driver.save_screenshot(path)
        print(f"screenshot: {path}")
    driver.find_element("id", "record").click()
    stop(driver)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--seconds", type=float, default=20)
    parser.add_argument("--samp-int", type=int, nargs="*", default=[10, 1])
    parser.add_argument("--record-seconds", type=float, help="record at 1 ms this long")
    parser.add_argument("--build", default=None)
    parser.add_argument(
        "--screenshots", metavar="DIR", help="save the page at 1600x1000 and 1280x720 here"
    )
    options = parser.parse_args()

    work = tempfile.mkdtemp(prefix="padhost-ui-bench-")
    ui = PadhostUi(os.path.join(work, "board"), build=options.build)
    driver = None
    try:
        ui.wait_url(60)
        driver = chromium(os.path.join(work, "profile"), SIZES[0])
        driver.get(ui.url)
        wait_for(
            driver, lambda d: d.find_element("id", "link").get_attribute("data-state") == "ok", 60
        )
        for samp_int in options.samp_int:
            measure(driver, ui, samp_int, options.seconds)
        if options.record_seconds:
            record(driver, ui, options.record_seconds)
        if options.screenshots:
            screenshots(driver, ui, options.screenshots)
    finally:
        if driver is not None:
            driver.quit()
        ui.stop()
    print(f"recordings (remove when done): {ui.record_dir}")


if __name__ == "__main__":
    main()
