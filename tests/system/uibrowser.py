# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""`padhost ui --sim` as a process, and Debian's chromium, headless, driven
through chromedriver: for the page's browser test and its lag benchmark."""
import os
import re
import select
import signal
import subprocess
import sys
import time

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.realpath(__file__))))
sys.path.insert(0, os.path.join(REPO, "tools"))

from padlink.simboard import SimulatedBoard, descendant_pid  # noqa: E402

PADHOST = os.path.join(REPO, "tools", "padhost")
CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"
# As root chromium needs --no-sandbox; the rest keeps it off the network and
# away from any profile but the fresh one given.
CHROMIUM_ARGS = (
    "--headless",
    "--no-sandbox",
    "--disable-gpu",
    "--disable-quic",
    "--no-first-run",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-sync",
    "--disable-dev-shm-usage",
    "--hide-scrollbars",
)


class PadhostUi:
    """`tools/padhost ui --sim` on a free loopback port. The board's state
    folder gives the controller's write log and control socket."""

    def __init__(self, state, board_options=(), build=None, args=()):
        self.state = str(state)
        os.makedirs(self.state, exist_ok=True)
        self.board = SimulatedBoard(self.state)  # not started: for its files
        self.record_dir = os.path.join(self.state, "recordings")
        env = dict(os.environ)
        if build:
            env["BOARD_BUILD_DIR"] = build
        options = [f"--board-option={o}" for o in board_options]
        self.stderr = open(os.path.join(self.state, "padhost.stderr"), "w+")
        self.proc = subprocess.Popen(
            [
                PADHOST,
                "ui",
                "--sim",
                "--state",
                self.state,
                "--listen",
                "127.0.0.1:0",
                "--record-dir",
                self.record_dir,
                *options,
                *args,
            ],
            stdout=subprocess.PIPE,
            stderr=self.stderr,
            stdin=subprocess.DEVNULL,
            env=env,
        )
        self.url = None
        self.output = ""

    def wait_url(self, timeout):
        """The page's address, from padhost's output (read unbuffered: it
        prints more than one line at start-up)."""
        deadline = time.monotonic() + timeout
        fd = self.proc.stdout.fileno()
        while time.monotonic() < deadline and self.proc.poll() is None:
            ready, _, _ = select.select([fd], [], [], 0.2)
            if ready:
                self.output += os.read(fd, 4096).decode(errors="replace")
                found = re.search(r"http://\S+", self.output)
                if found:
                    self.url = found.group(0)
                    return self.url
        raise AssertionError(f"padhost ui gave no address: {self.output!r} {self.errors()}")

    def padprobe_pid(self):
        """padprobe's process id, in the board padhost runs."""
        return descendant_pid(self.proc.pid, "padprobe")

    def errors(self):
        if not self.stderr.closed:
            self.stderr.flush()
        with open(self.stderr.name) as f:
            return f.read()

    def stop(self, timeout=60):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
        try:
            status = self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            status = self.proc.wait()
        self.proc.stdout.close()
        self.stderr.close()
        return status


def chromium(profile_dir, size=(1400, 1900)):
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service

    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for arg in CHROMIUM_ARGS:
        options.add_argument(arg)
    options.add_argument(f"--user-data-dir={profile_dir}")
    options.add_argument(f"--window-size={size[0]},{size[1]}")
    driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
    # The window's size is not the page's: make the viewport the size.
    driver.execute_cdp_cmd(
        "Emulation.setDeviceMetricsOverride",
        {"width": size[0], "height": size[1], "deviceScaleFactor": 1, "mobile": False},
    )
    return driver


def wait_for(driver, condition, timeout, message=""):
    """Polls `condition(driver)` until it is truthy; returns its value."""
    from selenium.webdriver.support.ui import WebDriverWait

    return WebDriverWait(driver, timeout, poll_frequency=0.1).until(condition, message)
