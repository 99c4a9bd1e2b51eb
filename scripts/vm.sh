# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
# shellcheck shell=bash
# The vm stage of ./run-tests: the armhf package on the virtual board
# (sim/vm), tested on it with labgrid (tests/vm).

# vm_tests [DEB]: the drivers' selftest, the image with the armhf
# board-tools package DEB (built here when not given), then the on-board
# tests.
vm_tests() {
  local deb=${1:-}
  local sdcore=build-armhf/lib/sdcore-sim/libsdcore.so
  note "vm: the device drivers' selftest (sim/kmod/selftest)"
  sim/kmod/selftest
  if [ -z "$deb" ]; then
    # A tree of its own without the unit tests (the armhf stage's), so that
    # the stage alone builds only what the package and the image hold.
    note "build: armhf package without tests (build-vm/armhf)"
    cmake --preset armhf -B build-vm/armhf -DBOARD_BUILD_TESTS=OFF >/dev/null
    cmake --build build-vm/armhf
    rm -rf build-vm/armhf/packages
    (cd build-vm/armhf && cpack >/dev/null)
    deb=$(echo build-vm/armhf/packages/board-tools_*_armhf.deb)
    sdcore=build-vm/armhf/lib/sdcore-sim/libsdcore.so
  fi
  note "vm: image with $deb"
  sim/vm build --package "$deb" --sdcore "$sdcore"
  note "vm: on-board tests"
  /usr/bin/python3 -m pytest -q -p no:cacheprovider --lg-env tests/vm/qemu.yaml tests/vm
}
