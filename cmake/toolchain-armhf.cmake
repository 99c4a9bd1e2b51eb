# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
# Cross build for the board's 32-bit ARM cores with Debian's armhf toolchain.
# Debian's multiarch layout keeps the armhf libraries and their CMake package
# files under /usr/lib/arm-linux-gnueabihf, which CMAKE_LIBRARY_ARCHITECTURE
# makes find_package search first. Test executables run through qemu-arm,
# which finds the armhf loader and libraries under /.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabihf)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -L /)
