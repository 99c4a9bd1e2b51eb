# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The virtual board: an ARM kernel in qemu-system-arm with the package installed."""
