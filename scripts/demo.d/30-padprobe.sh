#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
# padprobe on the simulated board, driven by the host client over a pty:
# query, configure, tune a channel's MBias, then stream five seconds of all
# nine channels while a touch is scripted on channel 3.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/../.."
out=demo-out/padprobe
rm -rf "$out"
mkdir -p "$out"

echo "== padprobe: the touch controller over its serial line (host client: tools/padhost)"
# Channel 3 starts far from the tuning target, so the tune has a walk to do.
tools/padhost --sim --state "$out/board" \
  --board-option=--touch-do='model 3 900 64' \
  --csv "$out/monitor.csv" --png "$out/monitor.png" \
  query \
  'config scan_int=5 step=4 avg_samp=4 etc_en=1 etc_int=1 etc_factor=8 deb_en=1 deb_cnt=2' \
  'config_ch ch=3 enable=1 mbias=10 diff_th=120 abs_th=3000 nn_th=40 pn_th=40' \
  'query_ch 3' \
  'tune 3' \
  'sim touch 3 450 1500 2000' \
  'monitor 5 samp_int=10 ch=all'
echo
echo "What padprobe wrote to the controller, in order: $out/board/touch/writes.log"
echo "The stream: $out/monitor.csv (one row per frame) and $out/monitor.png (the channels over time)"
