#!/bin/busybox sh
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
# busybox ash: shellcheck knows it as dash, the nearest shell it checks.
# shellcheck shell=dash
# /init of the virtual board. Mounts what a board's init mounts, loads the
# modules listed in /etc/board-vm/modules in that order, then either runs
# the one command of `sim/vm run` and powers off, or keeps a root shell on
# the console (ttyAMA0), started again whenever it exits.
/bin/busybox mkdir -p /proc /sys /dev /tmp /run /root
/bin/busybox mount -t devtmpfs devtmpfs /dev
exec 0</dev/console 1>/dev/console 2>&1
# Applets the packages do not provide (dash as /bin/sh, iproute2's ip and
# iputils' ping stay: --install leaves existing files alone).
/bin/busybox --install -s
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t debugfs debugfs /sys/kernel/debug
mount -t tmpfs -o mode=1777 tmpfs /tmp
mount -t tmpfs -o mode=755 tmpfs /run
mkdir -p /dev/pts
mount -t devpts devpts /dev/pts
# Kernel messages stay off the console, where the shell's prompt is read.
echo 1 >/proc/sys/kernel/printk
hostname board
export HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin TERM=vt100
cd /root || exit 1

while read -r module options; do
  # shellcheck disable=SC2086 # the options are words for insmod
  insmod "$module" $options || echo "board-vm: insmod $module failed"
done </etc/board-vm/modules
ip link set lo up
# The NAN radio: nan0 here and in the second board's namespace "peer", and
# the simulated library's settings for every shell.
/usr/lib/board-vm/radio || echo "board-vm: the NAN radio is not up"
set -a
# shellcheck source=sim/vm_parts/layer/etc/board-vm/radio.env
. /etc/board-vm/radio.env
set +a

# padprobe's line: the host's end plugs the USB serial adapter in when it
# connects, which may be a moment after boot.
if grep -q 'board_uart=1' /proc/cmdline; then
  tries=0
  while [ ! -c /dev/ttyUSB0 ] && [ "$tries" -lt 100 ]; do
    sleep 0.1
    tries=$((tries + 1))
  done
  [ -c /dev/ttyUSB0 ] || echo "board-vm: no /dev/ttyUSB0 (is the host's end of the UART up?)"
fi

if [ -f /etc/board-vm/command ]; then
  # The console passes the command's bytes as they are (no CR before LF).
  stty -onlcr
  echo "@@board-vm:begin@@"
  /bin/sh /etc/board-vm/command </dev/null
  status=$?
  echo "@@board-vm:end $status@@"
  # stty waits until the console has sent everything (TCSADRAIN).
  stty onlcr
  poweroff -f
fi

# The console's shell is busybox's (line editing, \w in the prompt); the
# programs' /bin/sh is dash.
export PS1='root@board:\w# '
# The second board's console (hvc0): a shell in its network namespace, with
# a /sys of that namespace (ip netns exec mounts one).
if grep -q 'board_peer=1' /proc/cmdline; then
  (
    while [ ! -c /dev/hvc0 ]; do sleep 0.1; done
    while :; do
      setsid -c /bin/ip netns exec peer /bin/busybox sh -i </dev/hvc0 >/dev/hvc0 2>&1
    done
  ) &
fi
while :; do
  setsid -c /bin/busybox sh -i </dev/ttyAMA0 >/dev/ttyAMA0 2>&1
done
