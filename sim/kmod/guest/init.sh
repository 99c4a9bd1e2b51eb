#!/bin/sh
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
# /init of sim/kmod/selftest's throwaway guest: load the modules, run the
# checks, power off. The host reads the result from the console.
/bin/busybox --install -s /bin
mkdir -p /proc /sys /dev /tmp
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mount -t debugfs debugfs /sys/kernel/debug
for module in /lib/board/*.ko; do
  insmod "$module" || echo "selftest: insmod $module failed"
done
sh /checks.sh
poweroff -f
