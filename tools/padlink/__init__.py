# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The host side of padprobe's serial protocol.

stream   splits the bytes from the board into the greeting, JSON answers and
         binary data frames, and checks frames (XOR, length, sequence)
link     sends requests and waits for answers over a serial port or a pty
simboard runs padprobe in the simulated board over a pty
analysis noise and SNR of recorded channels
record   CSV files of recorded frames
plot     a PNG of recorded channels over time
cli      padhost's steps on the command line
ui_*     padhost ui, the live tuning page's server (ui/ holds the page);
         batches and forms are its frames-to-updates and forms-to-requests
"""
