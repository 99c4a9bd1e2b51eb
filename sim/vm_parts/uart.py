# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""padprobe's UART on the host: QEMU's USB serial adapter as a pty.

The guest's /dev/ttyUSB0 is QEMU's emulated USB serial adapter, whose far
end is a Unix socket. QEMU plugs the adapter in only while that socket is
connected, so the host's end listens first and QEMU connects to it as a
client (reconnect=1). The relay copies bytes both ways between the socket
and a pty, whose name (or a symlink to it) is what `padhost --port` opens.
The relay keeps the pty's terminal end open itself, so a host program may
open and close it as often as it likes without the line going away.
"""
import os
import select
import socket
import threading
import tty


class UartRelay:
    def __init__(self, socket_path, link=None):
        self.socket_path = socket_path
        self.link = link
        self._listener = None
        self._master = None
        self._slave = None
        self.pty_name = None
        self._stopping = False
        self._thread = None

    def start(self):
        if os.path.lexists(self.socket_path):
            os.unlink(self.socket_path)
        self._listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self._listener.bind(self.socket_path)
        self._listener.listen(1)
        self._master, self._slave = os.openpty()
        # Raw from the start: no echo back to the board, no newline mapping.
        tty.setraw(self._slave)
        self.pty_name = os.ttyname(self._slave)
        if self.link:
            if os.path.lexists(self.link):
                os.unlink(self.link)
            os.symlink(self.pty_name, self.link)
        self._thread = threading.Thread(target=self._serve, daemon=True)
        self._thread.start()
        return self.port

    @property
    def port(self):
        return self.link or self.pty_name

    def _serve(self):
        while not self._stopping:
            try:
                conn, _ = self._listener.accept()
            except OSError:
                return
            with conn:
                self._relay(conn)

    def _relay(self, conn):
        """Copies until QEMU closes its end (it connects again later) or
        the relay stops (its descriptors close under this loop)."""
        master = self._master
        while not self._stopping:
            try:
                ready, _, _ = select.select([conn, master], [], [], 0.5)
                if conn in ready:
                    data = conn.recv(65536)
                    if not data:
                        return
                    _write_all(master, data)
                if master in ready:
                    conn.sendall(os.read(master, 65536))
            except (OSError, ValueError):
                return

    def stop(self):
        self._stopping = True
        if self._listener:
            try:
                self._listener.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            self._listener.close()
        if self._thread:
            self._thread.join(timeout=5)
        if os.path.lexists(self.socket_path):
            os.unlink(self.socket_path)
        if self.link and os.path.lexists(self.link):
            os.unlink(self.link)
        for fd in (self._slave, self._master):
            if fd is not None:
                os.close(fd)
        self._slave = self._master = None


def _write_all(fd, data):
    view = memoryview(data)
    while view:
        view = view[os.write(fd, view) :]
