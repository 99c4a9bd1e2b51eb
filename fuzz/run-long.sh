#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
# The long fuzz run: builds the 'fuzz' preset and runs every target for an
# hour (or the seconds given), two at a time.
#   fuzz/run-long.sh [seconds] [target...]
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/.."
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2
exec fuzz/run.sh -j 2 "${1:-3600}" "${@:2}"
