# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
# Debian packages made by CPack from the install components (BoardInstall):
#   board-tools      the tools, their manual pages and examples; built for
#                    the board (armhf, `cpack --preset armhf`) and for the
#                    development machine (amd64, `cpack --preset default`).
#   board-tools-sim  the simulated board and the host client; host builds
#                    only, since the simulator never runs on the board.
# Descriptions are written as plain paragraphs: CPack indents them by one
# blank and turns an empty line into the " ." of a Debian control file.
# Dependencies on Debian's runtime packages (libc6, libstdc++6, libjson-c5,
# libcjson1...) come from dpkg-shlibdeps, which reads what the binaries
# really need and the minimum versions Debian's symbol files name.

# Debian's name for the architecture the binaries are built for; CPack's
# own guess is the build machine's, which is wrong for a cross build.
if(CMAKE_CROSSCOMPILING)
  if(CMAKE_LIBRARY_ARCHITECTURE STREQUAL "arm-linux-gnueabihf")
    set(BOARD_DEB_ARCH armhf)
  else()
    message(FATAL_ERROR "No Debian architecture known for ${CMAKE_LIBRARY_ARCHITECTURE}")
  endif()
else()
  find_program(BOARD_DPKG dpkg REQUIRED)
  execute_process(COMMAND ${BOARD_DPKG} --print-architecture
    OUTPUT_VARIABLE BOARD_DEB_ARCH OUTPUT_STRIP_TRAILING_WHITESPACE
    COMMAND_ERROR_IS_FATAL ANY)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${BOARD_TOOLS_PACKAGE})
set(CPACK_PACKAGE_VENDOR "Board tools developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
if(BOARD_BUILD_SIM)
  set(CPACK_COMPONENTS_ALL tools sim)
else()
  set(CPACK_COMPONENTS_ALL tools)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${BOARD_DEB_ARCH})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Board tools developers <board-tools@example.invalid>")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Owner root for every file, whoever builds the package.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# nanpeer needs libsdcore.so, which the board's image provides and no Debian
# package does. The link-only stand-in lets dpkg-shlibdeps resolve the name;
# it belongs to no package, so it adds no dependency (and is not packaged).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/nanpeer/link-stub)

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME ${BOARD_TOOLS_PACKAGE})
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_TOOLS_DESCRIPTION "command-line tools for the board's radio, touch, OTP and companion core
nanpeer publishes or subscribes to NAN (Wi-Fi Aware) services and sets up
IPv6 on the NAN data interface; padprobe serves a host's touch-tuning
requests on a UART; otpctl reads and writes OTP bytes through the nvmem
views; mcushell hands console commands to the companion core.

nanpeer loads libsdcore.so, the board's NAN library, which the board image
provides: it is not part of this package.")

set(CPACK_DEBIAN_SIM_PACKAGE_NAME ${BOARD_SIM_PACKAGE})
set(CPACK_DEBIAN_SIM_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_SIM_PACKAGE_SHLIBDEPS ON)
# Built from the same tree as board-tools, whose changelog it carries.
set(CPACK_DEBIAN_SIM_PACKAGE_SOURCE ${BOARD_TOOLS_PACKAGE})
# The board is a Python program that enters namespaces (unshare, mount,
# ip) and mounts FUSE file systems; the host client talks over pyserial,
# serves its tuning page with aiohttp and the distribution's dygraphs, and
# draws with matplotlib when asked to. unshare and nsenter come from
# util-linux, which is essential: every Debian system has it, so it is not
# named.
set(CPACK_DEBIAN_SIM_PACKAGE_DEPENDS
  "${BOARD_TOOLS_PACKAGE} (= ${PROJECT_VERSION}), python3, fuse3, iproute2, mount")
set(CPACK_DEBIAN_SIM_PACKAGE_RECOMMENDS
  "python3-serial, iputils-ping, python3-aiohttp, libjs-dygraphs")
set(CPACK_DEBIAN_SIM_PACKAGE_SUGGESTS "python3-matplotlib")
set(CPACK_DEBIAN_SIM_DESCRIPTION "simulated board and host client for the board tools
board-sim runs a command as if on the board: the OTP views, the console
control device, the touch controller's attribute files and the NAN radio
(a simulated libsdcore) appear at the board's paths in private
namespaces. padhost is the host side of padprobe's serial protocol, with
a live tuning page served on loopback (padhost ui).

For development machines only; it needs root for its namespaces.")

# Reproducible packages: CPack gives every member of the archives the time
# in SOURCE_DATE_EPOCH. Unless the caller chose one, it is the time of the
# last commit, read when cpack runs (BoardPackagingTime).
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/BoardPackagingTime.cmake)
set(CPACK_BOARD_SOURCE_DIR ${PROJECT_SOURCE_DIR})

include(CPack)
