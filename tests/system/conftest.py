# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
import os
import sys

import pytest

sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))

import boardtest  # noqa: E402

# Fixtures of the helper modules, for the test files that use them.
pytest_plugins = ["padprobe_board"]


def pytest_configure(config):
    config.addinivalue_line("markers", "slow: takes more than a few seconds")


@pytest.fixture(autouse=True)
def _needs_root():
    if os.geteuid() != 0:
        pytest.skip("the simulated board needs root for its namespaces")


@pytest.fixture
def tool():
    """Path of a built tool: tool('otpctl')."""

    def path(name):
        p = os.path.join(boardtest.BIN, name)
        if not os.path.exists(p):
            pytest.fail(f"{p} is not built")
        return p

    return path
