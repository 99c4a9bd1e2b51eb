# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
# Shared by ./demo, ./run-tests and .ci/run: Debian packages and builds.
# shellcheck shell=bash
# The package lists are read by the scripts that source this file.
# shellcheck disable=SC2034

# Packages of the host build and of ./demo: the compilers and libraries
# (the unit tests' GoogleTest included: the default build builds them),
# the simulated board (FUSE, Python, namespaces and ip, ping6 for the NAN
# demo) and matplotlib for padhost's monitor plot.
HOST_PACKAGES=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libjson-c-dev libcjson-dev
  libfuse3-dev fuse3
  python3 python3-matplotlib
  iproute2 iputils-ping util-linux
)
# Extra packages of the host test stages (host, asan, tsan): pytest and
# what the system tests use, pyserial for padhost on a real port, and for
# the tuning page (padhost ui) its server and charts and the browser the
# tests drive it in.
TEST_PACKAGES=(
  python3-pytest python3-serial procps
  python3-aiohttp libjs-dygraphs chromium chromium-driver python3-selenium
)
# Extra packages of the lint stage (scripts/lint). The clang tools are pinned
# to one version: another formats differently.
LINT_PACKAGES=(clang-format-14 clang-tidy-14 shellcheck black flake8 reuse)
# Extra packages of the fuzz build (clang and its libFuzzer runtime).
FUZZ_PACKAGES=(clang-14 libclang-rt-14-dev)
# Extra packages of the cross build for the board.
ARMHF_PACKAGES=(
  g++-arm-linux-gnueabihf qemu-user
  libjson-c-dev:armhf libcjson-dev:armhf libgtest-dev:armhf libstdc++6:armhf
)

# Extra packages of the virtual board (sim/vm, the vm stage): QEMU, the
# initramfs archiver, labgrid and its pytest plugin, readelf (binutils) for
# the image's library check, make and the C cross compiler for the device
# modules (sim/kmod/build), pyserial for padhost on the board's UART,
# mmdebstrap (gpg for its check of the archive's keys) and mke2fs for the
# Debian root file system that the board boots with systemd.
VM_PACKAGES=(
  qemu-system-arm cpio python3-labgrid binutils make gcc-arm-linux-gnueabihf python3-serial
  mmdebstrap gpg e2fsprogs
)

note() { printf '\n== %s\n' "$*" >&2; }

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# ensure_packages pkg...: install those of the packages that are missing.
ensure_packages() {
  local missing=()
  local pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' \
      || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if printf '%s\n' "${missing[@]}" | grep -q ':armhf$' \
      && ! dpkg --print-foreign-architectures | grep -qx armhf; then
    as_root dpkg --add-architecture armhf
  fi
  note "installing ${missing[*]}"
  apt_waiting update -q
  apt_waiting install -y -q --no-install-recommends "${missing[@]}"
}

# apt_waiting ARGS...: apt-get ARGS as root, waiting up to APT_LOCK_WAIT
# seconds (default 300) while another apt or dpkg holds its locks, as on a
# machine that installs its updates when it boots. Any other failure ends
# it at once.
apt_waiting() {
  local waited=0 limit=${APT_LOCK_WAIT:-300} log status
  log=$(mktemp)
  while :; do
    status=0
    as_root env DEBIAN_FRONTEND=noninteractive apt-get "$@" 2>"$log" || status=$?
    cat "$log" >&2
    [ "$status" -ne 0 ] || break
    if ! grep -q 'Could not get lock\|Unable to acquire the dpkg frontend lock\|Unable to lock' "$log" \
        || [ "$waited" -ge "$limit" ]; then
      rm -f "$log"
      return "$status"
    fi
    [ "$waited" -gt 0 ] || note "apt is busy: waiting up to ${limit} s for its lock"
    sleep 5
    waited=$((waited + 5))
  done
  rm -f "$log"
}

# build_preset name: configure and build one CMake preset.
build_preset() {
  note "build: $1"
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1"
}
