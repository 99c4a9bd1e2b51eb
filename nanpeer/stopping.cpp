// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The stop request as an eventfd that is written once and never read: from
// then on it is readable, so every wait that polls it ends at once.
#include "stopping.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <ctime>

#include "process_globals.h"

namespace {

// Written by signal handlers; never closed, as a library thread may still
// deliver a signal while the process exits.
std::atomic<int> stop_descriptor{-1};
static_assert(std::atomic<int>::is_always_lock_free);

int64_t now_ms()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

} // namespace

int stopping_init()
{
    if (stop_descriptor.load() >= 0) {
        return 0;
    }
    const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0) {
        return -errno;
    }
    stop_descriptor.store(fd);
    return 0;
}

void request_stop()
{
    const int saved = errno;
    stop_flag.store(1);
    if (const int fd = stop_descriptor.load(); fd >= 0) {
        const uint64_t one = 1;
        // Full only after 2^64 - 2 stops; nothing to do about a failure here.
        [[maybe_unused]] const ssize_t written = write(fd, &one, sizeof one);
    }
    errno = saved;
}

int stopping_fd()
{
    return stop_descriptor.load();
}

int wait_unless_stopping(int fd, int timeout_ms)
{
    const int64_t deadline = now_ms() + timeout_ms;
    for (;;) {
        pollfd watched[2] = {{stopping_fd(), POLLIN, 0}, {fd, POLLIN, 0}};
        int64_t left = -1;
        if (timeout_ms >= 0) {
            left = deadline - now_ms();
            left = left < 0 ? 0 : left;
        }
        const int ready = poll(watched, fd < 0 ? 1 : 2, static_cast<int>(left));
        if (stop_flag.load() != 0 || (watched[0].revents & POLLIN) != 0) {
            return -1;
        }
        if (ready > 0 && watched[1].revents != 0) {
            return 1;
        }
        if (ready == 0) {
            return 0;
        }
        // EINTR: a signal (a stop request shows on the next round).
    }
}
