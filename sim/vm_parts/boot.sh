#!/bin/busybox sh
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
# busybox ash: shellcheck knows it as dash, the nearest shell it checks.
# shellcheck shell=dash
# /init of the virtual board's boot initramfs for the Debian root file
# system: loads the modules listed in /etc/board-vm/modules (the disk, its
# file system and the board's drivers), mounts /dev/vda, then either
# configures the image's packages (board_stage2=1 on the kernel's command
# line: the image's second build step) or copies /layer onto it and hands
# over to its systemd.
/bin/busybox mkdir -p /proc /sys /dev /newroot
/bin/busybox mount -t devtmpfs devtmpfs /dev
exec 0</dev/console 1>/dev/console 2>&1
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
echo 1 >/proc/sys/kernel/printk
while read -r module options; do
  # shellcheck disable=SC2086 # the options are words for insmod
  insmod "$module" $options || echo "board-vm: insmod $module failed"
done </etc/board-vm/modules

tries=0
while [ ! -b /dev/vda ] && [ "$tries" -lt 100 ]; do
  sleep 0.1
  tries=$((tries + 1))
done
if ! mount -t ext4 -o rw /dev/vda /newroot; then
  echo "board-vm: cannot mount the root file system /dev/vda"
  echo "board-vm: block devices: $(ls /sys/block); virtio: $(ls /sys/bus/virtio/devices 2>&1)"
  echo "board-vm: modules: $(cut -d' ' -f1 /proc/modules | tr '\n' ' ')"
  poweroff -f
fi

if grep -q 'board_stage2=1' /proc/cmdline; then
  mount --bind /dev /newroot/dev
  mount -t proc proc /newroot/proc
  mount -t sysfs sysfs /newroot/sys
  mount -t tmpfs tmpfs /newroot/run
  if chroot /newroot /bin/sh /board-vm-stage2; then
    echo "@@board-vm:stage2 ok@@"
  else
    echo "@@board-vm:stage2 failed@@"
  fi
  umount /newroot/run /newroot/sys /newroot/proc /newroot/dev
  umount /newroot
  sync
  poweroff -f
fi

[ ! -d /layer ] || cp -a /layer/. /newroot/
umount /sys /proc
mount --move /dev /newroot/dev
exec switch_root /newroot /sbin/init
