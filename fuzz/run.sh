#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
# Runs every fuzz target of the 'fuzz' build for a bounded time each.
#   fuzz/run.sh [-j jobs] [seconds] [target...]
# seconds: per target (default 60). Targets: names in build-fuzz/fuzz/
# (default all). New inputs go to build-fuzz/fuzz-corpus/<target>/, crashes
# to build-fuzz/fuzz-artifacts/<target>/; the seeds in fuzz/corpus/ are only
# read. Exits non-zero when any target found something.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/.."

jobs=1
if [ "${1:-}" = -j ]; then
  jobs=$2
  shift 2
fi
seconds=${1:-60}
shift || true
build=${BOARD_FUZZ_BUILD:-build-fuzz}

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for exe in "$build"/fuzz/*; do
    [ -f "$exe" ] && [ -x "$exe" ] && targets+=("$(basename "$exe")")
  done
fi
[ ${#targets[@]} -gt 0 ] || { echo "fuzz: no targets in $build/fuzz (build the 'fuzz' preset)" >&2; exit 2; }

# Reports of the sanitizers end the run; leaks count as findings.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

run_one() {
  local target=$1
  local exe="$build/fuzz/$target"
  local work="$build/fuzz-corpus/$target"
  local artifacts="$build/fuzz-artifacts/$target"
  local log="$build/fuzz-logs/$target.log"
  mkdir -p "$work" "$artifacts" "$(dirname "$log")"
  local options=(-max_total_time="$seconds" -close_fd_mask=3 -print_final_stats=1
                 -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$artifacts/")
  [ -f "fuzz/$target.dict" ] && options+=(-dict="fuzz/$target.dict")
  local status=0
  "$exe" "${options[@]}" "$work" "fuzz/corpus/$target" >"$log" 2>&1 || status=$?
  local runs corpus
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  corpus=$(find "$work" -type f | wc -l)
  if [ "$status" -ne 0 ]; then
    echo "fuzz $target: FAILED (status $status) after ${runs:-?} executions; log $log" >&2
    grep -E 'ERROR|SUMMARY|fuzz check failed|Test unit written' "$log" >&2 || tail -30 "$log" >&2
    return 1
  fi
  echo "fuzz $target: ${runs:-?} executions in $seconds s, working corpus $corpus inputs"
}

failed=0
running=0
for target in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
  run_one "$target" &
  running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
if [ "$failed" -ne 0 ]; then
  echo "fuzz: a target found a fault (see above)" >&2
  exit 1
fi
echo "fuzz: ${#targets[@]} targets clean"
