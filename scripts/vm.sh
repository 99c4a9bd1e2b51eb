# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
# shellcheck shell=bash
# The vm stage of ./run-tests: the armhf package on the virtual board
# (sim/vm), tested on it with labgrid (tests/vm).

# vm_package: the armhf board-tools package and the simulated libsdcore in
# a tree of their own without the unit tests (the armhf stage's tree has
# them), so that the stage alone builds only what the board gets. sim/vm
# calls this too when it finds no package.
vm_package() {
  ensure_packages cmake ninja-build pkg-config "${ARMHF_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}"
  note "build: armhf package without tests (build-vm/armhf)"
  cmake --preset armhf -B build-vm/armhf -DBOARD_BUILD_TESTS=OFF >/dev/null
  cmake --build build-vm/armhf
  rm -rf build-vm/armhf/packages
  (cd build-vm/armhf && cpack >/dev/null)
  ls build-vm/armhf/packages/board-tools_*_armhf.deb
}

# vm_tests [DEB]: the drivers' selftest, then the on-board tests with the
# armhf board-tools package DEB (built here when not given), on the virtual
# board twice over:
# - as itself (tests/vm/qemu.yaml): the image with the package built in and
#   the drivers' test controls; the tests marked virtual_board, which only
#   it can run;
# - as a board in a lab (tests/vm/board.yaml turned to the bench that
#   `sim/vm bench` sets up): the Debian image with systemd, serial ports on
#   this machine, power by command, the package installed by the lab's
#   strategy; every test that a real board runs.
vm_tests() {
  local deb=${1:-}
  local sdcore=build-armhf/lib/sdcore-sim/libsdcore.so
  note "vm: the device drivers' selftest (sim/kmod/selftest)"
  sim/kmod/selftest
  if [ -z "$deb" ]; then
    vm_package
    deb=$(echo build-vm/armhf/packages/board-tools_*_armhf.deb)
    sdcore=build-vm/armhf/lib/sdcore-sim/libsdcore.so
  fi
  local pytest=(/usr/bin/python3 -m pytest -q -p no:cacheprovider -rs)
  note "vm: image with $deb"
  sim/vm build --package "$deb" --sdcore "$sdcore"
  note "vm: on-board tests on the virtual board (qemu.yaml), those that need its test controls"
  "${pytest[@]}" --lg-env tests/vm/qemu.yaml -m virtual_board tests/vm
  local bench=build-vm/bench status=0
  note "vm: the virtual board as a board in a lab (board.yaml on $bench)"
  sim/vm bench down "$bench" 2>/dev/null || true
  sim/vm bench up "$bench" --lab-env tests/vm/board.yaml --package "$deb" --sdcore "$sdcore"
  "${pytest[@]}" --lg-env "$bench/env.yaml" tests/vm || status=$?
  sim/vm bench down "$bench"
  return "$status"
}
