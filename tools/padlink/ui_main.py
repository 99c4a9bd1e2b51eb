"""padhost ui: the live tuning page's command line."""
import argparse
import asyncio
import signal
import sys

from . import ui_guard
from .link import Link, LinkError, SerialTransport

DEFAULT_LISTEN = "127.0.0.1:8765"


def parse_args(argv):
    parser = argparse.ArgumentParser(
        prog="padhost ui",
        description="Serve a live tuning page for padprobe: charts, link health, "
        "settings, tune, SNR, recording. It listens on loopback unless told "
        "otherwise; one page at a time controls the link.",
    )
    where = parser.add_mutually_exclusive_group(required=True)
    where.add_argument("--port", help="the serial port wired to the board's UART")
    where.add_argument(
        "--sim",
        action="store_true",
        help="run padprobe in the simulated board over a pty (needs root)",
    )
    parser.add_argument(
        "--listen",
        default=DEFAULT_LISTEN,
        metavar="HOST:PORT",
        help=f"where the page is served (default {DEFAULT_LISTEN}; port 0 picks a free one)",
    )
    parser.add_argument(
        "--state", default="demo-out/board", help="the simulated board's state folder (with --sim)"
    )
    parser.add_argument(
        "--board-option",
        action="append",
        default=[],
        metavar="OPT",
        help="an option for sim/board run, e.g. --board-option=--touch-do='noise 3'",
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
        if options.sim:
            from .simboard import SimulatedBoard

            board = SimulatedBoard(options.state, options.board_option).start()
            link = board.link
        else:
            link = Link(SerialTransport(options.port))
        asyncio.run(serve(link, options))
        return 0
    except (LinkError, ValueError, OSError) as err:
        print(f"padhost: {err}", file=sys.stderr)
        return 1
    finally:
        if board is not None:
            board.stop()
