#!/bin/sh
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
# shellcheck shell=dash
# `sim/vm run --systemd`'s command on the Debian board, started by
# board-vm-command.service once the board is up: between the markers that
# sim/vm looks for on the console, then the board powers off.
stty -onlcr
echo "@@board-vm:begin@@"
/bin/sh /etc/board-vm/command </dev/null
status=$?
echo "@@board-vm:end $status@@"
stty onlcr
systemctl poweroff --force --force
