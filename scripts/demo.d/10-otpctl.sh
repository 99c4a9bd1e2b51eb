#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
# otpctl on the simulated board: burn a few OTP bytes, read them back in
# both views, and see a typo stopped before it reaches the memory.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/../.."
state=demo-out/otpctl
rm -rf "$state"

# Runs otpctl in the board (the state folder keeps the OTP images between
# runs) and shows its exit status, which scripts on the board test.
otpctl() {
  printf '\n$ otpctl %s\n' "$*"
  local status=0 out
  out=$(sim/board run --state "$state" -- otpctl "$@") || status=$?
  # A dump's last row has no newline of its own; give every output one.
  [ -z "$out" ] || printf '%s\n' "$out"
  printf '[exit status %d]\n' "$status"
}

echo "== otpctl: OTP bytes through the nvmem views (raw 4096 bytes, mapped 2048 bytes)"
otpctl wraw 10 4 c0ffee42
otpctl rraw 0 32
otpctl wmap 0 2 a1B2
otpctl rmap 0 4
echo
echo "The raw image behind /sys/bus/nvmem/devices/otp_raw0/nvmem now holds, at 0x10:"
od -A x -t x1 -j 16 -N 4 "$state/otp/raw.bin" | head -1
echo
echo "Bad input never opens the device (OTP bits cannot be cleared again):"
otpctl wraw 0x10 1 ff
otpctl wraw 20 4 ff
