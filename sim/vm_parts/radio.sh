#!/bin/sh
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
# shellcheck shell=dash
# The virtual board's NAN radio: nan0 here, the publishing board's, and
# nan0 in the network namespace "peer", the second board's (whose console
# is hvc0), joined by a veth pair: the air between two boards. Each end
# has the address its board's configuration names, no kernel-made
# link-local address (nanpeer adds its own) and no duplicate address
# detection (it would hold the new address back and ping6 would lose its
# first packets).
set -eu
# The simulated library's medium, which both boards' radios share.
mkdir -p /run/sdcore-sim
ip=/usr/bin/ip
[ -x "$ip" ] || ip=/bin/ip
"$ip" netns add peer
"$ip" link add nan0 address 02:00:00:00:00:01 type veth peer nan0 netns peer address 02:00:00:00:00:02
for ns in "" peer; do
  run() { if [ -n "$ns" ]; then "$ip" netns exec "$ns" "$@"; else "$@"; fi; }
  run "$ip" link set nan0 addrgenmode none
  run sh -c 'echo 0 >/proc/sys/net/ipv6/conf/nan0/accept_dad'
  run "$ip" link set lo up
  run "$ip" link set nan0 up
done
