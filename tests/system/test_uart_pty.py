# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""What the tests and the demo rely on when a pty stands in for the UART."""
import os
import select
import termios


def readable(fd, timeout=0.2):
    return bool(select.select([fd], [], [], timeout)[0])


def test_pty_takes_the_uart_settings_echoes_until_configured_and_flushes():
    master, slave = os.openpty()
    try:
        # A fresh pty echoes what the host sends back to the host.
        os.write(master, b"early")
        assert readable(master) and os.read(master, 100) == b"early"
        # Bytes that arrived before the tool's flush are gone after it.
        termios.tcflush(slave, termios.TCIFLUSH)
        assert not readable(slave)

        # The tool's settings. Python applies the speed fields through
        # cfset*speed, so they carry the speed the tool puts in the flags.
        attrs = [
            termios.IGNPAR,
            0,
            termios.B1500000 | termios.CS8 | termios.CLOCAL | termios.CREAD,
            0,
            termios.B1500000,
            termios.B1500000,
            [b"\0"] * 32,
        ]
        attrs[6][termios.VMIN] = 0
        attrs[6][termios.VTIME] = 0
        termios.tcsetattr(slave, termios.TCSANOW, attrs)
        got = termios.tcgetattr(slave)
        assert got[2] & termios.CBAUD == termios.B1500000
        # Raw now: no echo, bytes pass unchanged both ways.
        os.write(master, b"{\r\n}")
        assert not readable(master)
        assert os.read(slave, 100) == b"{\r\n}"
        os.write(slave, b"a\nb")
        assert os.read(master, 100) == b"a\nb"
    finally:
        os.close(slave)
        os.close(master)
