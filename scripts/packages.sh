# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
# The package stage of ./run-tests: Debian packages for the board (armhf)
# and the development machine (amd64), then their checks.
# shellcheck shell=bash

# Extra packages that building and checking the packages needs: CPack's
# dependency list comes from dpkg-shlibdeps (dpkg-dev, file), the manual
# pages are checked with groff, the example units with systemd-analyze,
# the packages with lintian, the checks run under pytest.
# shellcheck disable=SC2034  # read by ./run-tests, which sources this file
PACKAGE_PACKAGES=(dpkg-dev file groff-base gzip systemd lintian python3-pytest)

# Where the packages of both architectures are gathered.
PACKAGE_DIR=dist

# pack preset folder: build and pack one preset; its packages in folder/packages.
pack() {
  build_preset "$1"
  # Old packages (another version, a removed component) must not linger.
  rm -rf "$2/packages"
  cpack --preset "$1"
}

# build_packages: both trees, one cpack run each, the results in dist/.
build_packages() {
  note "package: amd64 and armhf"
  pack default build
  pack armhf build-armhf
  rm -rf "$PACKAGE_DIR"
  mkdir -p "$PACKAGE_DIR"
  cp build/packages/*.deb build-armhf/packages/*.deb "$PACKAGE_DIR"/
  ls -l "$PACKAGE_DIR"
}

# check_packages: the size budget of the board's binaries, lintian, the
# example units' sandbox, then the contents, an install into an armhf root
# with runs under qemu-arm, and the simulated board from the amd64 packages.
check_packages() {
  note "package: size budget (stripped armhf)"
  /usr/bin/python3 scripts/size-budget "$PACKAGE_DIR"/board-tools_*_armhf.deb
  note "package: lintian"
  # Every tag counts, information included (the hardening tags are
  # information); the few that stay are overridden in the packages, each
  # with its reason (packaging/lintian/).
  lintian --allow-root -I --fail-on error,warning,info "$PACKAGE_DIR"/*.deb
  note "package: exposure of the example units (systemd-analyze security)"
  /usr/bin/python3 scripts/unit-exposure "$PACKAGE_DIR"/board-tools_*_amd64.deb
  note "package: checks"
  BOARD_PACKAGE_DIR="$PWD/$PACKAGE_DIR" \
    /usr/bin/python3 -m pytest -q -p no:cacheprovider tests/package
}

# check_reproducible: the packages once more, from other build folders
# (build-repro/, build-armhf-repro/; without the tests, which no package
# holds), and byte for byte the same as those in dist/.
check_reproducible() {
  note "package: reproducible (a second build in other folders)"
  local start=$SECONDS
  pack repro build-repro
  pack armhf-repro build-armhf-repro
  local deb twin differ=0
  for deb in "$PACKAGE_DIR"/*.deb; do
    twin=$(ls build-repro/packages/"${deb##*/}" build-armhf-repro/packages/"${deb##*/}" 2>/dev/null || true)
    if [ -z "$twin" ]; then
      echo "reproducible: ${deb##*/} was not built the second time" >&2
      differ=1
    elif cmp -s "$deb" "$twin"; then
      echo "reproducible: ${deb##*/} identical ($(sha256sum <"$deb" | cut -c1-16))"
    else
      echo "reproducible: ${deb##*/} DIFFERS from $twin" >&2
      package_differences "$deb" "$twin" >&2
      differ=1
    fi
  done
  echo "reproducible: second build and comparison in $((SECONDS - start)) s"
  return "$differ"
}

# package_differences a.deb b.deb: which members and files differ (the
# first lines of each listing).
package_differences() {
  local work
  work=$(mktemp -d)
  diff <(dpkg-deb -c "$1") <(dpkg-deb -c "$2") | head -n 20 || true
  diff <(dpkg-deb --info "$1") <(dpkg-deb --info "$2") | head -n 20 || true
  dpkg-deb -x "$1" "$work/a"
  dpkg-deb -x "$2" "$work/b"
  diff -r -q "$work/a" "$work/b" | head -n 20 || true
  rm -rf "$work"
}
