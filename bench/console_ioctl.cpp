// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// How long one command record takes through the simulated console device.
// Run it in the board: sudo sim/board run -- build/bench/console_ioctl [calls]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    const long calls = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 20000;
    if (calls <= 0) {
        std::fprintf(stderr, "usage: console_ioctl [calls > 0]\n");
        return 2;
    }
    const int fd = ::open("/dev/console-ctrl", O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        std::perror("/dev/console-ctrl");
        return 1;
    }
    unsigned char record[129] = {};
    record[0] = 3;
    std::memcpy(record + 1, "ver", 3);
    const auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < calls; ++i) {
        if (::ioctl(fd, 0UL, record) != 0) {
            std::perror("ioctl");
            return 1;
        }
    }
    const std::chrono::duration<double, std::micro> elapsed =
        std::chrono::steady_clock::now() - start;
    std::printf("console ioctl: %ld calls, %.1f us per call\n", calls,
                elapsed.count() / static_cast<double>(calls));
    ::close(fd);
    return 0;
}
