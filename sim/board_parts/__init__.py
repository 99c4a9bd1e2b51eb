# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The parts of the simulated board, each in a module of its own.

A part adds its command-line options, and, inside the board's mount
namespace, sets itself up before the command runs and tears itself down
after it. Parts are listed in PART_MODULES in the order they are set up.
"""
import importlib

PART_MODULES = ["otp", "console", "touch", "nan"]


def load_parts():
    parts = []
    for name in PART_MODULES:
        try:
            module = importlib.import_module(f"board_parts.{name}")
        except ModuleNotFoundError as err:
            if err.name != f"board_parts.{name}":
                raise
            continue
        parts.append(module.Part())
    return parts
