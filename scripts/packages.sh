# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
# The package stage of ./run-tests: Debian packages for the board (armhf)
# and the development machine (amd64), then their checks.
# shellcheck shell=bash

# Extra packages that building and checking the packages needs: CPack's
# dependency list comes from dpkg-shlibdeps (dpkg-dev, file), the manual
# pages are checked with groff, the example units with systemd-analyze.
# shellcheck disable=SC2034  # read by ./run-tests, which sources this file
PACKAGE_PACKAGES=(dpkg-dev file groff-base gzip systemd)

# Where the packages of both architectures are gathered.
PACKAGE_DIR=dist

# build_packages: both trees, one cpack run each, the results in dist/.
build_packages() {
  build_preset default
  build_preset armhf
  note "package: amd64 and armhf"
  # Old packages (another version, a removed component) must not linger.
  rm -rf build/packages build-armhf/packages "$PACKAGE_DIR"
  cpack --preset default
  cpack --preset armhf
  mkdir -p "$PACKAGE_DIR"
  cp build/packages/*.deb build-armhf/packages/*.deb "$PACKAGE_DIR"/
  ls -l "$PACKAGE_DIR"
}

# check_packages: the size budget of the board's binaries, then the
# contents, an install into an armhf root with runs under qemu-arm, and
# the simulated board from the amd64 packages.
check_packages() {
  note "package: size budget (stripped armhf)"
  /usr/bin/python3 scripts/size-budget "$PACKAGE_DIR"/board-tools_*_armhf.deb
  note "package: checks"
  BOARD_PACKAGE_DIR="$PWD/$PACKAGE_DIR" \
    /usr/bin/python3 -m pytest -q -p no:cacheprovider tests/package
}
