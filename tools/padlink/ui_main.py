# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""padhost ui: the live tuning page's command line."""
import argparse
import asyncio
import signal
import sys

from . import ui_guard
from .link import LinkError
from .where import add_link_options, open_link

DEFAULT_LISTEN = "127.0.0.1:8765"


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
    options = parser.parse_args(argv)
    try:
        options.host, options.listen_port = ui_guard.parse_listen(options.listen)
    except ValueError as err:
        parser.error(str(err))
    return options


def announce(url):
    print(f"padhost: serving the page at {url}", flush=True)


async def serve(link, options):
    from .ui_server import UiServer

    server = UiServer(link, options.host, options.listen_port)
    loop = asyncio.get_running_loop()
    for sig in (signal.SIGINT, signal.SIGTERM):
        loop.add_signal_handler(sig, server.stopping.set)
    await server.run(announce)


def main(argv):
    options = parse_args(argv)
    try:
        import aiohttp  # noqa: F401
    except ImportError:
        print("padhost: the page server needs Debian's python3-aiohttp", file=sys.stderr)
        return 1
    board = None
    try:
        link, board = open_link(options)
        asyncio.run(serve(link, options))
        return 0
    except (LinkError, ValueError, OSError) as err:
        print(f"padhost: {err}", file=sys.stderr)
        return 1
    finally:
        if board is not None:
            board.stop()
