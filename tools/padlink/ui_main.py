# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""padhost ui: the live tuning page's command line."""
import argparse
import asyncio
import signal
import socket
import subprocess
import sys

from . import ui_guard
from .link import LinkError
from .where import add_link_options, open_link

DEFAULT_LISTEN = "127.0.0.1:8765"
STOP_SIGNALS = (signal.SIGINT, signal.SIGTERM)
BOARD_STOP_S = 30.0


def parse_args(argv):
    parser = argparse.ArgumentParser(
        prog="padhost ui",
        description="Serve a live tuning page for padprobe: charts, link health, "
        "settings, tune, SNR, recording. It listens on loopback unless told "
        "otherwise; one page at a time controls the link.",
    )
    add_link_options(parser)
    parser.add_argument(
        "--listen",
        default=DEFAULT_LISTEN,
        metavar="HOST:PORT",
        help=f"where the page is served (default {DEFAULT_LISTEN}; port 0 picks a free one)",
    )
    parser.add_argument(
        "--allow-remote",
        action="store_true",
        help="allow a --listen address other than loopback; the page then needs the "
        "token padhost prints at start-up",
    )
    parser.add_argument(
        "--host",
        action="append",
        default=[],
        metavar="NAME",
        help="a name the page may also be reached by (repeatable; besides the listen "
        "address, and this machine's names and addresses on a wildcard address)",
    )
    parser.add_argument(
        "--record-dir",
        metavar="DIR",
        help="where recordings are written (default: padhost-recordings-UID in the "
        "temporary folder); they are kept after padhost ends",
    )
    parser.add_argument(
        "--sim-respawn",
        type=float,
        metavar="SECONDS",
        help="with --sim: start padprobe again SECONDS after it ends, as a board's init "
        "would (to try what the page does when padprobe dies and comes back)",
    )
    options = parser.parse_args(argv)
    try:
        options.listen_host, options.listen_port = ui_guard.parse_listen(options.listen)
    except ValueError as err:
        parser.error(str(err))
    if not ui_guard.is_loopback(options.listen_host) and not options.allow_remote:
        parser.error(
            f"--listen {options.listen} is reachable from other machines: add "
            "--allow-remote (the page then needs the token padhost prints)"
        )
    if options.sim_respawn is not None and (not options.sim or options.sim_respawn < 0):
        parser.error("--sim-respawn takes a number of seconds, with --sim")
    for name in options.host:
        if not name or any(c in name for c in "/:@ ") or not name.isascii():
            parser.error(f"--host '{name}' is not a host name")
    return options


async def serve(link, options, padprobe_log):
    from .ui_server import UiServer

    remote = not ui_guard.is_loopback(options.listen_host)
    token = ui_guard.new_token() if remote else None
    server = UiServer(
        link,
        options.listen_host,
        options.listen_port,
        names=options.host,
        token=token,
        record_dir=options.record_dir,
        padprobe_log=padprobe_log,
    )

    def announce(port):
        shown = options.listen_host
        if ui_guard.is_wildcard(shown):
            shown = options.host[0] if options.host else socket.gethostname()
        url = f"http://{ui_guard.url_host(shown)}:{port}/"
        if token is None:
            print(f"padhost: serving the page at {url}", flush=True)
            return
        print(
            f"padhost: serving the page to other machines at {url}?token={token}\n"
            "padhost: the token is good until padhost ends; whoever has it can drive "
            "the board",
            flush=True,
        )

    loop = asyncio.get_running_loop()
    for sig in STOP_SIGNALS:
        loop.add_signal_handler(sig, server.stopping.set)
    print(f"padhost: recordings go to {server.recording.folder}", flush=True)
    try:
        await server.run(announce)
    finally:
        # Closing the loop would give the signals back their defaults, and a
        # second Ctrl-C or SIGTERM would then cut short what is left: the
        # simulated board's stop, which is bounded (BOARD_STOP_S).
        for sig in STOP_SIGNALS:
            loop.remove_signal_handler(sig)
            signal.signal(sig, signal.SIG_IGN)


def main(argv):
    options = parse_args(argv)
    try:
        import aiohttp  # noqa: F401
    except ImportError:
        print("padhost: the page server needs Debian's python3-aiohttp", file=sys.stderr)
        return 1
    board = None
    try:
        link, board = open_link(options, respawn_after=options.sim_respawn, keep_stdout=False)
        padprobe_log = None
        if board is not None:

            def padprobe_log():
                return board.take_stdout().decode(errors="replace")

        asyncio.run(serve(link, options, padprobe_log))
        return 0
    except (LinkError, ValueError, OSError) as err:
        print(f"padhost: {err}", file=sys.stderr)
        return 1
    finally:
        if board is not None:
            stop_board(board)


def stop_board(board):
    try:
        board.stop(timeout=BOARD_STOP_S)
    except subprocess.TimeoutExpired:
        print(
            f"padhost: the simulated board did not end within {BOARD_STOP_S} s: killed it",
            file=sys.stderr,
        )
        board.proc.kill()
        board.wait()
