# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""Where padprobe is: the options that name its line and opening that line,
shared by padhost's step runner and its page server."""
from .link import Link, SerialTransport


def add_link_options(parser):
    """--port or --sim, and the simulated board's settings."""
    where = parser.add_mutually_exclusive_group(required=True)
    where.add_argument("--port", help="the serial port wired to the board's UART")
    where.add_argument(
        "--sim",
        action="store_true",
        help="run padprobe in the simulated board over a pty (needs root)",
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


def open_link(options, **board_settings):
    """The link the options name, and the simulated board behind it (None
    for a real port; the caller stops it when done). `board_settings` go
    to the simulated board."""
    if not options.sim:
        return Link(SerialTransport(options.port)), None
    from .simboard import SimulatedBoard

    board = SimulatedBoard(options.state, options.board_option, **board_settings).start()
    return board.link, board
