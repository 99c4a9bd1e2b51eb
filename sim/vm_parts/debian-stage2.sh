#!/bin/sh
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
# shellcheck shell=dash
# The Debian root file system's second step, run on the board in a chroot:
# dpkg installs the packages that mmdebstrap unpacked (as mmdebstrap itself
# would: all at once, --force-depends because dpkg orders by Depends but not
# Pre-Depends), then the image is made a board's: its name, root's empty
# password on the consoles, a fixed machine id (every boot of the snapshot
# is the same board, and an empty one would start first-boot prompts), and
# a journal in memory.
set -eu
export PATH=/usr/sbin:/usr/bin:/sbin:/bin LC_ALL=C.UTF-8
export DEBIAN_FRONTEND=noninteractive DEBCONF_NONINTERACTIVE_SEEN=true
dpkg --install --force-depends /var/cache/apt/archives/*.deb
dpkg --configure --pending
dpkg --audit
rm -f /var/cache/apt/archives/*.deb /board-vm-stage2
echo board >/etc/hostname
printf '127.0.0.1\tlocalhost\n127.0.1.1\tboard\n::1\tlocalhost ip6-localhost ip6-loopback\n' >/etc/hosts
passwd -d root
echo 0123456789abcdef0123456789abcdef >/etc/machine-id
mkdir -p /etc/systemd/journald.conf.d
printf '[Journal]\nStorage=volatile\n' >/etc/systemd/journald.conf.d/board-vm.conf
# Nothing on this board waits for a network that is never configured.
systemctl mask systemd-networkd-wait-online.service >/dev/null 2>&1 || true
