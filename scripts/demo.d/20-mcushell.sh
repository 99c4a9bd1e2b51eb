#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
# mcushell on the simulated board: commands from -c and from an interactive
# session, and the command records the companion core received.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/../.."
state=demo-out/mcushell

# Prints the records the console device kept during the last run.
received() {
  /usr/bin/python3 - "$state/console/records.bin" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
print("companion core received:")
for i in range(0, len(data), 129):
    length, text = data[i], data[i + 1:i + 129]
    zeros = "all zeros after it" if not any(text[length:]) else "NOT zero after it"
    print(f"  record: length {length:3d}, text {text[:length].decode()!r}, {zeros}")
PY
}

# Runs mcushell in the board with the given stdin, then shows the status and
# what reached the device.
mcushell() {
  local input=$1; shift
  rm -rf "$state"
  local status=0 out
  out=$(sim/board run --state "$state" ${board_options:+"$board_options"} -- mcushell "$@" <<<"$input") || status=$?
  # The only thing mcushell prints in a session is the prompt after an empty line.
  [ -z "$out" ] || printf 'mcushell printed: %q\n' "$out"
  printf '[exit status %d]\n' "$status"
  received
}

echo
echo "== mcushell: console command lines to the companion core"
printf '\n$ mcushell -c "set led 1"\n'
mcushell "" -c "set led 1"

printf '\n$ mcushell   (interactive: ver, an empty line, uptime, exit)\n'
mcushell $'ver\n\nuptime\nexit'

printf '\n$ mcushell -c reboot   (the device refuses every command)\n'
board_options=--console-fail-all mcushell "" -c reboot
